#include "definition/WholeFile.h"

#include <QIODevice>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

using namespace qd;
namespace fs = std::filesystem;

namespace {

std::string contentsOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t modeOf(const fs::path& file)
{
    struct stat st
    {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// The names in a folder: a failed write leaves no temporary file behind.
std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class WholeFile : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    fs::path dir{tmp.path().toStdString()};
};

} // namespace

TEST_F(WholeFile, WritesANewFileAndReplacesAnOldOneKeepingItsPermissions)
{
    const fs::path file = dir / "students.dbf";
    ASSERT_TRUE(writeWholeFile(file, "first").ok());
    EXPECT_EQ(contentsOf(file), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(file), 0666 & ~mask);

    // The examiner made it readable by the server's group only; a new
    // roster must not open it to everyone, nor shut the server out.
    for (const mode_t mode : {mode_t(0640), mode_t(0604), mode_t(0600)}) {
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        const Status s = writeWholeFile(file, std::string(100000, 'x'));
        ASSERT_TRUE(s.ok()) << s.fault().message;
        EXPECT_EQ(modeOf(file), mode);
        EXPECT_EQ(contentsOf(file).size(), 100000u);
    }
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"students.dbf"});
}

TEST_F(WholeFile, AFailureSaysWhyAndLeavesTheOldFileAndNoTemporary)
{
    const fs::path old = dir / "old.txt";
    ASSERT_TRUE(writeWholeFile(old, "kept").ok());
    fs::create_directory(dir / "sub");
    struct Case
    {
        const char* what;
        fs::path path;
    };
    // Paths no user, root included, can write: a read-only folder would
    // not fail for root.
    const Case cases[] = {
        {"a folder that is not there", dir / "missing" / "file.txt"},
        {"a path that is a folder", dir / "sub"},
        {"a folder that is a file", old / "file.txt"},
    };
    for (const Case& c : cases) {
        const Status s = writeWholeFile(c.path, "new");
        ASSERT_FALSE(s.ok()) << c.what;
        EXPECT_FALSE(s.fault().message.empty()) << c.what;
    }
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_TRUE(fs::is_empty(dir / "sub"));
    EXPECT_EQ(contentsOf(old), "kept");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"old.txt", "sub"}));
}

TEST_F(WholeFile, AWriterThatFailsAbandonsTheFile)
{
    const fs::path file = dir / "picture.png";
    ASSERT_TRUE(writeWholeFile(file, "old picture").ok());
    const Status s = writeWholeFile(file, [](QIODevice& out) {
        out.write("half a picture");
        return false;
    });
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(contentsOf(file), "old picture");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"picture.png"});
}
