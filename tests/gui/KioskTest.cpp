#include "app/CommandLine.h"
#include "app/Kiosk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Kiosk, CommandLine)
{
    const auto plain = qd::parseCommandLine({});
    EXPECT_FALSE(plain.kiosk);
    EXPECT_TRUE(plain.exitKeys.isEmpty());
    EXPECT_TRUE(plain.error.empty());

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--kiosk", "--exit-keys", "Ctrl+Alt+Shift+End"},
          std::vector<std::string>{"--exit-keys=Ctrl+Alt+Shift+End", "--kiosk"}}) {
        const auto c = qd::parseCommandLine(args);
        EXPECT_TRUE(c.kiosk);
        EXPECT_TRUE(c.error.empty()) << c.error;
        EXPECT_EQ(c.exitKeys, QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_End));
    }
    // Qt's own words (-platform ...) are Qt's business.
    EXPECT_TRUE(qd::parseCommandLine({"-platform", "xcb"}).error.empty());
    EXPECT_TRUE(qd::parseCommandLine({"--keyboard-layout"}).printLayout);

    // No keys, no key, two keys: refused rather than a kiosk with no way out
    // that the administrator believes is there.
    for (const char* keys : {"", "Ctrl+Alt+Nothing", "Ctrl+A, Ctrl+B"}) {
        const auto c = qd::parseCommandLine({"--kiosk", "--exit-keys", keys});
        EXPECT_FALSE(c.error.empty()) << keys;
        EXPECT_TRUE(c.exitKeys.isEmpty()) << keys;
    }
    EXPECT_FALSE(qd::parseCommandLine({"--kiosk", "--exit-keys"}).error.empty());
}

TEST(Kiosk, ExitKeys)
{
    const QKeySequence keys(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_End);
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    EXPECT_TRUE(qd::isExitKey(keys, QKeyCombination(all, Qt::Key_End)));
    // End on the keypad is the same key.
    EXPECT_TRUE(qd::isExitKey(keys, QKeyCombination(all | Qt::KeypadModifier, Qt::Key_End)));
    EXPECT_FALSE(
        qd::isExitKey(keys, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_End)));
    EXPECT_FALSE(qd::isExitKey(keys, QKeyCombination(all | Qt::MetaModifier, Qt::Key_End)));
    EXPECT_FALSE(qd::isExitKey(keys, QKeyCombination(all, Qt::Key_Home)));
    EXPECT_FALSE(qd::isExitKey(QKeySequence(), QKeyCombination(all, Qt::Key_End)));
}

TEST(Kiosk, LayoutNames)
{
    EXPECT_EQ(qd::xkbLayoutName(0), "us");
    EXPECT_EQ(qd::xkbLayoutName(1), "ru");
    EXPECT_EQ(qd::xkbLayoutName(2), "ua");
    EXPECT_EQ(qd::xkbLayoutName(3), "");
    EXPECT_EQ(qd::xkbLayoutName(-1), "");
}

} // namespace
