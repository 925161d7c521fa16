// The main window's controls, made at the places of the layout tables (for
// a window of the reference size; MainWindowFit.cpp moves them to the
// screen's).

#include "app/MainWindow.h"
#include "app/ObjectNames.h"
#include "app/QuestionAccess.h"
#include "app/WindowLayout.h"
#include "screen/PictureLoader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

namespace qd {

using namespace windowLayout;

namespace {

QImage titlePicture()
{
    QFile file(QStringLiteral(":/images/Zast.jpg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return decodeJpeg(file.readAll());
}

} // namespace

void MainWindow::buildTitlePage()
{
    m_titlePicture = new QLabel(this);
    m_titlePicture->setObjectName(QLatin1String(mainWindowNames::titlePicture));
    m_titlePicture->setAlignment(Qt::AlignCenter);
    m_titlePicture->setPixmap(QPixmap::fromImage(titlePicture()));
    keepMouse(m_titlePicture);

    m_cornerImage = new QLabel(this);
    m_cornerImage->setObjectName(QLatin1String(mainWindowNames::cornerImage));
    m_cornerImage->setGeometry(453, 10, 129, 129);
    m_cornerImage->setEnabled(false);
    m_cornerImage->hide();
    keepMouse(m_cornerImage);

    // The panels are opaque: on a low screen the title picture lies behind
    // them, not over the texts.
    m_headerPanel = new QGroupBox(this);
    m_headerPanel->setObjectName(QLatin1String(mainWindowNames::headerPanel));
    m_headerPanel->setAutoFillBackground(true);
    keepMouse(m_headerPanel);
    m_centreLabel =
        label(m_headerPanel, mainWindowNames::centreLabel,
              QStringLiteral("Центр комп'ютерного тестування знань"), 0, 8, serif(28), kBlack);
    m_centreLabel->setAlignment(Qt::AlignCenter);
    m_programNameLabel = label(m_headerPanel, mainWindowNames::programNameLabel,
                               QStringLiteral("QUIZDESK — програма тестування студентів"), 0, 46,
                               serif(27, true), kBlue);
    m_programNameLabel->setAlignment(Qt::AlignCenter);

    m_titlePanel = new QGroupBox(this);
    m_titlePanel->setObjectName(QLatin1String(mainWindowNames::titlePanel));
    m_titlePanel->resize(kLayoutWidth, kTitlePanelHeight);
    m_titlePanel->setAutoFillBackground(true);
    keepMouse(m_titlePanel);
    const QFont caption = pixelFont(17, true);
    m_subjectCaption = label(m_titlePanel, mainWindowNames::subjectCaption,
                             QStringLiteral("Найменування дисципліни:"), 98, 10, caption, kBlack);
    m_testNameCaption = label(m_titlePanel, mainWindowNames::testNameCaption,
                              QStringLiteral("Назва тесту:"), 679, 10, caption, kBlack);
    m_enterNameCaption =
        label(m_titlePanel, mainWindowNames::enterNameCaption,
              QStringLiteral("Введіть Ваші прізвище та ім'я:"), 89, 128, caption, kBlack);

    auto memo = [this](const char* name, int left) {
        auto* m = new QTextEdit(m_titlePanel);
        m->setObjectName(QString::fromLatin1(name));
        m->setReadOnly(true);
        m->setFont(pixelFont(17, true));
        setTextColour(m, QPalette::Text, kBlue);
        m->setGeometry(left, 39, 468, 80);
        // Read only: Tab goes from the name box to the check box and the
        // button (a screen reader still reads them).
        m->setFocusPolicy(Qt::NoFocus);
        return m;
    };
    m_subjectBox = memo(mainWindowNames::subjectBox, 10);
    m_testNameBox = memo(mainWindowNames::testNameBox, 492);

    m_studentNameBox = new QComboBox(m_titlePanel);
    m_studentNameBox->setObjectName(QLatin1String(mainWindowNames::studentNameBox));
    m_studentNameBox->setEditable(true);
    m_studentNameBox->setInsertPolicy(QComboBox::NoInsert);
    m_studentNameBox->setFont(pixelFont(17, true));
    m_studentNameBox->setGeometry(39, 158, 425, 33);
    connect(m_studentNameBox, &QComboBox::editTextChanged, this, &MainWindow::nameEdited);

    m_examCheckBox = new QCheckBox(QStringLiteral("Екзаменаційне тестування"), m_titlePanel);
    m_examCheckBox->setObjectName(QLatin1String(mainWindowNames::examCheckBox));
    m_examCheckBox->setAutoFillBackground(true);
    m_examCheckBox->setBackgroundRole(QPalette::Window);
    setTextColour(m_examCheckBox, QPalette::Window, kAqua);
    setTextColour(m_examCheckBox, QPalette::WindowText, kBlack);
    m_examCheckBox->setGeometry(630, 128, 120, 21);
    connect(m_examCheckBox, &QCheckBox::clicked, this, &MainWindow::examClicked);

    m_beginButton = new QPushButton(QStringLiteral("Почати тестування"), m_titlePanel);
    m_beginButton->setObjectName(QLatin1String(mainWindowNames::beginButton));
    m_beginButton->setFont(serif(27));
    m_beginButton->setGeometry(610, 158, 282, 40);
    // Enter on the focused button presses it, as Space does.
    m_beginButton->setAutoDefault(true);
    connect(m_beginButton, &QPushButton::clicked, this, &MainWindow::beginClicked);

    m_authorLabel = label(m_titlePanel, mainWindowNames::authorLabel,
                          QStringLiteral("Розробка: команда QuizDesk, 2026"), 0, 0,
                          pixelFont(16, true, true), kBlue);
    m_authorLabel->setAlignment(Qt::AlignCenter);

    // Stands on the title picture right above the panel, across the window.
    m_resumeLine =
        label(this, mainWindowNames::resumeLine, QString(), 0, 0, pixelFont(17, true), kBlue);
    m_resumeLine->setAlignment(Qt::AlignCenter);
    m_resumeLine->setAutoFillBackground(true);
    m_resumeLine->hide();
}

void MainWindow::buildQuestionControls()
{
    const QFont strip = pixelFont(17, true);

    m_questionArea = new QuestionArea(this);
    m_questionArea->hide();

    m_answerStrip = new QGroupBox(this);
    m_answerStrip->setObjectName(QLatin1String(mainWindowNames::answerStrip));
    m_answerStrip->resize(kLayoutWidth, kAnswerStripHeight);
    // The strips are panels of the form: they cover the question screen
    // under them with the form's own background.
    m_answerStrip->setAutoFillBackground(true);
    m_answerStrip->hide();
    keepMouse(m_answerStrip);
    m_answerCaption = label(m_answerStrip, mainWindowNames::answerCaption,
                            QStringLiteral("Введіть відповідь:"), 5, 10, strip, kBlack);
    m_answerEdit = new QLineEdit(m_answerStrip);
    m_answerEdit->setObjectName(QLatin1String(mainWindowNames::answerEdit));
    m_answerEdit->setFont(strip);
    m_answerEdit->setMaxLength(kMaxAnswerLength);
    setTextColour(m_answerEdit, QPalette::Text, kRed);
    connect(m_answerEdit, &QLineEdit::textChanged, this, &MainWindow::answerTextChanged);
    // A screen reader names the box by its caption.
    m_answerCaption->setBuddy(m_answerEdit);

    m_statusStrip = new QGroupBox(this);
    m_statusStrip->setObjectName(QLatin1String(mainWindowNames::statusStrip));
    m_statusStrip->resize(kLayoutWidth, kStatusHeight);
    m_statusStrip->setAutoFillBackground(true);
    m_statusStrip->hide();
    keepMouse(m_statusStrip);
    m_questionCountCaption =
        label(m_statusStrip, mainWindowNames::questionCountCaption,
              QStringLiteral("Кількість питань у  тесті:"), 20, 10, strip, kBlack);
    m_questionNumberCaption =
        label(m_statusStrip, mainWindowNames::questionNumberCaption,
              QStringLiteral("Номер поточного питання:"), 20, 39, strip, kBlack);
    m_lastAnswerCaption =
        label(m_statusStrip, mainWindowNames::lastAnswerCaption,
              QStringLiteral("Відповідь на попереднє питання:"), 20, 69, strip, kBlack);
    m_questionTimeCaption = label(m_statusStrip, mainWindowNames::questionTimeCaption,
                                  QStringLiteral("Час на 1 питання:"), 394, 10, strip, kBlack);
    m_testEndCaption = label(m_statusStrip, mainWindowNames::testEndCaption,
                             QStringLiteral("Завершення тесту за"), 394, 39, strip, kBlack);
    m_scoreCaption = label(m_statusStrip, mainWindowNames::scoreCaption,
                           QStringLiteral("Набрано балів:"), 394, 69, strip, kBlack);
    m_scoreLabel = label(m_statusStrip, mainWindowNames::scoreLabel, QStringLiteral("0"), 551, 69,
                         strip, kBlue);
    reserveWidth(m_scoreLabel, QStringLiteral("000.00"));
    m_minutesLeftLabel = label(m_statusStrip, mainWindowNames::minutesLeftLabel,
                               QStringLiteral("000"), 610, 39, strip, kBlue);
    reserveWidth(m_minutesLeftLabel, QStringLiteral("000"));
    m_minutesCaption = label(m_statusStrip, mainWindowNames::minutesCaption, QStringLiteral("хв"),
                             650, 39, strip, kBlack);

    m_countersBox = new QGroupBox(m_statusStrip);
    m_countersBox->setObjectName(QLatin1String(mainWindowNames::countersBox));
    m_countersBox->setGeometry(325, 0, 50, 100);
    m_questionCountLabel =
        label(m_countersBox, mainWindowNames::questionCountLabel, QString(), 10, 10, strip, kBlue);
    m_questionNumberLabel = label(m_countersBox, mainWindowNames::questionNumberLabel,
                                  QStringLiteral("1"), 10, 39, strip, kBlue);
    m_answerShape = new QFrame(m_countersBox);
    m_answerShape->setObjectName(QLatin1String(mainWindowNames::answerShape));
    m_answerShape->setFrameShape(QFrame::Box);
    m_answerShape->setAutoFillBackground(true);
    setTextColour(m_answerShape, QPalette::Window, Qt::white);
    m_answerShape->setGeometry(10, 69, 31, 21);

    m_nextButton = new QPushButton(QStringLiteral("Наст. питання"), m_statusStrip);
    m_nextButton->setObjectName(QLatin1String(mainWindowNames::nextButton));
    m_nextButton->setFont(strip);
    m_nextButton->setGeometry(807, 20, 139, 60);
    connect(m_nextButton, &QPushButton::clicked, this, &MainWindow::readyClicked);

    m_questionTimeBar = new QProgressBar(m_statusStrip);
    m_questionTimeBar->setObjectName(QLatin1String(mainWindowNames::questionTimeBar));
    m_questionTimeBar->setRange(0, 100);
    m_questionTimeBar->setValue(0);
    m_questionTimeBar->setTextVisible(false);
    m_questionTimeBar->setGeometry(561, 10, 225, 20);
}

} // namespace qd
