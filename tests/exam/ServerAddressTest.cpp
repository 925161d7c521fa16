#include "definition/Cp1251.h"
#include "exam/ServerAddress.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

using namespace qd;

namespace {

void writeFile(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

} // namespace

TEST(ServerAddress, EndsAtTheFirstBlankOrLineBreakAndKeepsNoOlderTail)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path path = dir.path().toStdString();
    const std::filesystem::path file = path / "IPaddress.txt";

    struct Case
    {
        std::string text, address;
    };
    const std::vector<Case> cases = {
        {"192.168.100.200", "192.168.100.200"},
        {"10.0.0.1", "10.0.0.1"}, // after a longer one: nothing of it left
        {"10.0.0.2\r\n", "10.0.0.2"},
        {"10.0.0.3\n", "10.0.0.3"},
        {"10.0.0.4 server in room 12\r\n", "10.0.0.4"},
        {"10.0.0.5\tlab", "10.0.0.5"},
        {std::string("10.0.0.6\0junk", 13), "10.0.0.6"},
        {std::string(300, '7'), std::string(127, '7')},
        {"", ""},
    };
    std::string address = "stale";
    for (const Case& c : cases) {
        writeFile(file, c.text);
        EXPECT_TRUE(readServerAddress(path, address).ok());
        EXPECT_EQ(address, c.address) << c.text;
    }
}

TEST(ServerAddress, MissingFileIsReportedAndLeavesNoAddress)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string address = "10.0.0.1";
    const Status s = readServerAddress(dir.path().toStdString(), address);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.fault().message, toCp1251("Программа проведения экзамена не запущена!\n"
                                          "Не удается получить IP адрес.\n"));
    EXPECT_TRUE(address.empty());
}
