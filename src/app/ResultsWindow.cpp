#include "app/ResultsWindow.h"

#include "app/ObjectNames.h"
#include "app/Desktop.h"
#include "definition/Cp1251.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace qd {

namespace {

constexpr int kWidth = 526;
constexpr int kHeight = 470;
// Down to the grade line: what shows when every point was earned.
constexpr int kShortHeight = 210;

QString text(const std::string& cp1251)
{
    QString s = QString::fromStdString(fromCp1251(cp1251));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

void setColours(QWidget* w, QPalette::ColorRole textRole, const QColor& text,
                QPalette::ColorRole backRole = QPalette::NoRole, const QColor& back = QColor())
{
    QPalette p = w->palette();
    p.setColor(textRole, text);
    if (backRole != QPalette::NoRole) {
        p.setColor(backRole, back);
    }
    w->setPalette(p);
}

QFont font(int px, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

QLabel* word(const QString& s)
{
    auto* l = new QLabel(s);
    l->setFont(font(18, false));
    setColours(l, QPalette::WindowText, Qt::black);
    return l;
}

QLabel* value(const char* name)
{
    auto* l = new QLabel;
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font(20, true));
    setColours(l, QPalette::WindowText, QColor(255, 0, 0));
    return l;
}

// One line of words and values, left to right, at a fixed place.
QWidget* line(QWidget* parent, int top, std::initializer_list<QWidget*> parts)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (QWidget* w : parts) {
        layout->addWidget(w);
    }
    layout->addStretch();
    row->setGeometry(10, top, kWidth - 20, 30);
    return row;
}

QTextEdit* memo(QWidget* parent, const char* name, const QRect& where)
{
    auto* m = new QTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setReadOnly(true);
    m->setFont(font(18, true));
    m->setGeometry(where);
    return m;
}

} // namespace

ResultsWindow::ResultsWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QLatin1String(resultsWindowNames::window));
    setWindowTitle(QStringLiteral("Результати тестування"));
    // A fixed dialog frame: a title and a close button, nothing to minimise
    // or enlarge it with. The main window is hidden by now, so a minimised
    // results window would leave the student no window at all.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kWidth, kHeight);

    auto* testCaption = word(QStringLiteral("Назва тесту:"));
    testCaption->setParent(this);
    testCaption->setGeometry(10, 6, kWidth - 20, 24);
    m_testNameBox = memo(this, resultsWindowNames::testNameBox, QRect(10, 32, kWidth - 20, 56));
    setColours(m_testNameBox, QPalette::Text, QColor(0, 0, 255));

    m_scoreLabel = value(resultsWindowNames::scoreLabel);
    m_maxScoreLabel = value(resultsWindowNames::maxScoreLabel);
    line(this, 96,
         {word(QStringLiteral("Ви набрали ")), m_scoreLabel, word(QStringLiteral("балів з ")),
          m_maxScoreLabel, word(QStringLiteral("можливих,"))});
    m_percentLabel = value(resultsWindowNames::percentLabel);
    m_minutesLabel = value(resultsWindowNames::minutesLabel);
    m_secondsLabel = value(resultsWindowNames::secondsLabel);
    line(this, 128,
         {word(QStringLiteral("або")), m_percentLabel, word(QStringLiteral(" %    за ")),
          m_minutesLabel, word(QStringLiteral("хв")), m_secondsLabel, word(QStringLiteral("с"))});
    m_gradeLabel = value(resultsWindowNames::gradeLabel);
    line(this, 160, {word(QStringLiteral("Оцінка:")), m_gradeLabel});

    // Under the grade, inside the short window: which accommodations the
    // run had; hidden for a plain run.
    m_accommodationsLabel = word(QString());
    m_accommodationsLabel->setObjectName(QLatin1String(resultsWindowNames::accommodationsLabel));
    m_accommodationsLabel->setParent(this);
    m_accommodationsLabel->setGeometry(10, 186, kWidth - 20, 22);
    m_accommodationsLabel->hide();

    m_wrongCaption = word(QStringLiteral("Неправильні відповіді на питання:"));
    m_wrongCaption->setObjectName(QLatin1String(resultsWindowNames::wrongCaption));
    m_wrongCaption->setParent(this);
    m_wrongCaption->setGeometry(10, 212, kWidth - 20, 24);
    m_wrongListBox =
        memo(this, resultsWindowNames::wrongListBox, QRect(10, 240, kWidth - 20, kHeight - 250));
    setColours(m_wrongListBox, QPalette::Text, QColor(255, 255, 0), QPalette::Base,
               QColor(64, 64, 64));
}

void ResultsWindow::showResults(const ResultsSummary& results)
{
    m_testNameBox->clear();
    m_testNameBox->setPlainText(text(results.testName));
    m_scoreLabel->setText(text(results.points));
    m_maxScoreLabel->setText(QString::number(results.maxScore));
    m_percentLabel->setText(QString::number(results.percent));
    m_minutesLabel->setText(QString::number(results.minutes));
    m_secondsLabel->setText(QString::number(results.seconds));
    m_gradeLabel->setText(text(results.grade));
    m_accommodationsLabel->setText(text(results.accommodations));
    m_accommodationsLabel->setVisible(!results.accommodations.empty());
    if (results.everyPointEarned) {
        m_wrongCaption->hide();
        m_wrongListBox->hide();
        setFixedHeight(kShortHeight);
    } else {
        m_wrongListBox->setPlainText(text(results.wrongList));
        // On a low screen (640 x 480 under a title bar) the framed window
        // would reach below the screen: the wrong-answer list is shortened
        // (it scrolls) so that the whole frame fits.
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const QMargins frame = windowFrameMargins(*this);
            const int room = screen->availableGeometry().height() - frame.top() - frame.bottom();
            const int height = std::clamp(room, kShortHeight + 60, kHeight);
            m_wrongListBox->resize(m_wrongListBox->width(), height - 250);
            setFixedHeight(height);
        }
    }
    show();
    // The main window is hidden: the keyboard belongs here now.
    activateWindow();
    setFocus();
}

void ResultsWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Some window managers minimise or enlarge a window whatever its frame
    // asks for: the results window, the only one the program has left, comes
    // straight back as it was.
    const Qt::WindowStates away = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & away) != 0) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(Qt::WindowNoState);
            show();
            raise();
            activateWindow();
        });
    }
}

void ResultsWindow::keyPressEvent(QKeyEvent* event)
{
    // Without a mouse: Escape closes the window as its close button does
    // (Enter does not: it is the key that ended the test, and a held Enter
    // must not end the program too).
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ResultsWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closeRequested();
}

} // namespace qd
