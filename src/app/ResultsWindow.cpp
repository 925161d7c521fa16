#include "app/ResultsWindow.h"

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
    setObjectName(QStringLiteral("FormRez"));
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
    testNameBox_ = memo(this, "TestName", QRect(10, 32, kWidth - 20, 56));
    setColours(testNameBox_, QPalette::Text, QColor(0, 0, 255));

    scoreLabel_ = value("Smarks");
    maxScoreLabel_ = value("Max_marks");
    line(this, 96,
         {word(QStringLiteral("Ви набрали ")), scoreLabel_, word(QStringLiteral("балів з ")),
          maxScoreLabel_, word(QStringLiteral("можливих,"))});
    percentLabel_ = value("Percent");
    minutesLabel_ = value("Minute");
    secondsLabel_ = value("Second");
    line(this, 128,
         {word(QStringLiteral("або")), percentLabel_, word(QStringLiteral(" %    за ")),
          minutesLabel_, word(QStringLiteral("хв")), secondsLabel_, word(QStringLiteral("с"))});
    gradeLabel_ = value("Mark");
    line(this, 160, {word(QStringLiteral("Оцінка:")), gradeLabel_});

    // Under the grade, inside the short window: which accommodations the
    // run had; hidden for a plain run.
    accommodationsLabel_ = word(QString());
    accommodationsLabel_->setObjectName(QStringLiteral("Accommodations"));
    accommodationsLabel_->setParent(this);
    accommodationsLabel_->setGeometry(10, 186, kWidth - 20, 22);
    accommodationsLabel_->hide();

    wrongCaption_ = word(QStringLiteral("Неправильні відповіді на питання:"));
    wrongCaption_->setObjectName(QStringLiteral("NotRight"));
    wrongCaption_->setParent(this);
    wrongCaption_->setGeometry(10, 212, kWidth - 20, 24);
    wrongListBox_ = memo(this, "NotRigtAns", QRect(10, 240, kWidth - 20, kHeight - 250));
    setColours(wrongListBox_, QPalette::Text, QColor(255, 255, 0), QPalette::Base,
               QColor(64, 64, 64));
}

void ResultsWindow::showResults(const ResultsSummary& results)
{
    testNameBox_->clear();
    testNameBox_->setPlainText(text(results.testName));
    scoreLabel_->setText(text(results.points));
    maxScoreLabel_->setText(QString::number(results.maxScore));
    percentLabel_->setText(QString::number(results.percent));
    minutesLabel_->setText(QString::number(results.minutes));
    secondsLabel_->setText(QString::number(results.seconds));
    gradeLabel_->setText(text(results.grade));
    accommodationsLabel_->setText(text(results.accommodations));
    accommodationsLabel_->setVisible(!results.accommodations.empty());
    if (results.everyPointEarned) {
        wrongCaption_->hide();
        wrongListBox_->hide();
        setFixedHeight(kShortHeight);
    } else {
        wrongListBox_->setPlainText(text(results.wrongList));
        // On a low screen (640 x 480 under a title bar) the framed window
        // would reach below the screen: the wrong-answer list is shortened
        // (it scrolls) so that the whole frame fits.
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const QMargins frame = windowFrameMargins(*this);
            const int room = screen->availableGeometry().height() - frame.top() - frame.bottom();
            const int height = std::clamp(room, kShortHeight + 60, kHeight);
            wrongListBox_->resize(wrongListBox_->width(), height - 250);
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
