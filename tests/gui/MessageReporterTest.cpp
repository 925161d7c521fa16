#include "app/MessageReporter.h"

#include "MessageRecorder.h"

#include "definition/Cp1251.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MessageReporter, FatalBeepsShowsTheBoxThenEndsWithCodeZero)
{
    MessageRecorder r;
    r.reporter().error(qd::toCp1251("В текущей директории нет файла VOPROSI.TXT!"), true);
    EXPECT_EQ(r.steps,
              (std::vector<std::string>{
                  "beep", "box Програма QUIZDESK: В текущей директории нет файла VOPROSI.TXT!",
                  "exit 0"}));
}

TEST(MessageReporter, NonFatalGoesOn)
{
    MessageRecorder r;
    r.reporter().error(qd::fault("Фамилия и инициалы не должны содержать более %d символов!", 50),
                       false);
    EXPECT_EQ(
        r.steps,
        (std::vector<std::string>{
            "beep",
            "box Програма QUIZDESK: Фамилия и инициалы не должны содержать более 50 символов!"}));
}

TEST(MessageReporter, TheBoxIsAModalErrorBoxWithOneOkButton)
{
    // The real box, answered by a timer as soon as it is up.
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        modal = box->isModal();
        buttons = box->standardButtons();
        box->accept();
    });
    qd::MessageReporter::Actions a = qd::MessageReporter::systemActions();
    bool exited = false;
    a.exit = [&](int) { exited = true; };
    qd::MessageReporter(a).error(qd::toCp1251("Не удалось создать файл результатов!"), false);
    EXPECT_EQ(caption, QStringLiteral("Програма QUIZDESK"));
    EXPECT_EQ(text, QStringLiteral("Не удалось создать файл результатов!"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_TRUE(modal);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_FALSE(exited);
}

} // namespace
