#include "screen/TestFont.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

TEST(TestFont, IsLiberationMonoWithTheAskedCellHeight)
{
    for (int h : {6, 10, 16, 24, 28}) {
        for (bool bold : {false, true}) {
            const QFont f = qd::testFont(h, bold);
            const QFontMetrics m(f);
            EXPECT_LE(m.height(), h) << h;
            EXPECT_GE(m.height(), h - 1) << h;
            EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("Liberation Mono"));
            EXPECT_TRUE(QFontInfo(f).fixedPitch());
            // Cyrillic and Latin letters share the advance.
            EXPECT_EQ(m.horizontalAdvance(QChar(0x0416)), m.horizontalAdvance(QLatin1Char('i')));
            EXPECT_EQ(qd::testFontCharWidth(h, bold), m.horizontalAdvance(QLatin1Char('W')));
        }
    }
}
