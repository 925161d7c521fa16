#include "definition/Cp1251.h"
#include "definition/Fault.h"

#include <gtest/gtest.h>

using namespace qd;

// A fault knows how its message is written: the student's side shows it in
// code page 1251, the tools and the server print it in UTF-8, and neither
// turns the other's message into mojibake.
TEST(Fault, EitherEncodingReadsRightOnBothSides)
{
    const Fault student = fault("Не вдалося прочитати файл %d!", 7);
    EXPECT_EQ(student.encoding, TextEncoding::Cp1251);
    EXPECT_EQ(student.message, toCp1251("Не вдалося прочитати файл 7!"));
    EXPECT_EQ(student.cp1251(), student.message);
    EXPECT_EQ(student.utf8(), "Не вдалося прочитати файл 7!");

    const Fault server{"cannot read the roster /srv/списки: No such file"};
    EXPECT_EQ(server.encoding, TextEncoding::Utf8);
    EXPECT_EQ(server.utf8(), server.message);
    EXPECT_EQ(server.cp1251(), toCp1251("cannot read the roster /srv/списки: No such file"));
}

TEST(Fault, StatusAndResultReadTheSameWay)
{
    const Status done;
    EXPECT_TRUE(done.ok());
    const Status failed = fault("Ошибка!");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.fault().utf8(), "Ошибка!");

    const Result<int> value = 3;
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value.value(), 3);
    const Result<int> none = Fault{"no value"};
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.fault().message, "no value");
}
