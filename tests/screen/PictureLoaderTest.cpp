#include "screen/PictureLoader.h"

#include "definition/Cp1251.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples" / "demo";

QByteArray bytesOf(const fs::path& file)
{
    QFile f(QString::fromStdString(file.string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file;
    return f.readAll();
}

void write(const fs::path& file, const QByteArray& bytes)
{
    QFile f(QString::fromStdString(file.string()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct PictureDir : ::testing::Test
{
    QTemporaryDir tmp;
    fs::path dir() const { return fs::path(tmp.path().toStdString()); }
};

TEST(DecodeJpeg, DecodesAWholeJpegToItsSizeAndColours)
{
    // The demo flag: blue over yellow, 240 x 160.
    const QImage flag = qd::decodeJpeg(bytesOf(kDemo / "7.jpg"));
    ASSERT_FALSE(flag.isNull());
    EXPECT_EQ(flag.size(), QSize(240, 160));
    EXPECT_EQ(flag.format(), QImage::Format_RGB32);
    const QColor top = flag.pixelColor(120, 40);
    const QColor bottom = flag.pixelColor(120, 120);
    EXPECT_GT(top.blue(), 150);
    EXPECT_LT(top.red(), 40);
    EXPECT_GT(bottom.red(), 200);
    EXPECT_GT(bottom.green(), 180);
    EXPECT_LT(bottom.blue(), 60);
}

TEST(DecodeJpeg, BrokenDataIsAFailureNotAnExit)
{
    const QByteArray good = bytesOf(kDemo / "9.jpg");
    QByteArray flipped = good;
    for (int i = 2; i < 200; ++i) {
        flipped[i] = char(flipped[i] ^ 0x5A);
    }
    const QByteArray cases[] = {
        QByteArray(),
        good.left(good.size() / 2),          // truncated: corrupt-data warning
        good.left(20),                       // header cut
        flipped,                             // markers destroyed
        QByteArray("BM this is no jpeg at all"),
        bytesOf(kDemo / "8.bmp"),
    };
    for (const QByteArray& bytes : cases) {
        EXPECT_TRUE(qd::decodeJpeg(bytes).isNull()) << bytes.size();
    }
}

TEST_F(PictureDir, JpegFirstThenBitmap)
{
    QImage red(30, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString((dir() / "8.bmp").string()), "BMP"));
    ASSERT_TRUE(red.save(QString::fromStdString((dir() / "5.bmp").string()), "BMP"));
    write(dir() / "7.jpg", bytesOf(kDemo / "7.jpg"));
    write(dir() / "5.jpg", bytesOf(kDemo / "7.jpg").left(300)); // broken: the bitmap is used

    auto seven = qd::loadQuestionPicture(dir(), 7);
    ASSERT_TRUE(std::holds_alternative<QImage>(seven));
    EXPECT_EQ(std::get<QImage>(seven).size(), QSize(240, 160));
    for (int n : {8, 5}) {
        auto picture = qd::loadQuestionPicture(dir(), n);
        ASSERT_TRUE(std::holds_alternative<QImage>(picture)) << n;
        EXPECT_EQ(std::get<QImage>(picture).size(), QSize(30, 20));
        EXPECT_EQ(std::get<QImage>(picture).pixelColor(3, 3), QColor(Qt::red));
    }
}

TEST_F(PictureDir, NeitherFileGivesTheMessageWithTheNumberTwice)
{
    write(dir() / "12.jpg", "not a picture");
    write(dir() / "12.bmp", "not a picture either");
    for (int n : {3, 12}) {
        auto picture = qd::loadQuestionPicture(dir(), n);
        ASSERT_TRUE(std::holds_alternative<qd::Fault>(picture));
        const std::string expected = "Не удалось загрузить файл " + std::to_string(n) + ".jpg либо " +
                                     std::to_string(n) + ".bmp!";
        EXPECT_EQ(std::get<qd::Fault>(picture).message, qd::toCp1251(expected));
    }
}

TEST_F(PictureDir, CheckCoversThePictureQuestionsOfTheRunOnly)
{
    qd::TestModel model;
    model.stq.resize(6);
    model.stq[1].graph = 1; // question 2: has 2.jpg
    model.stq[3].graph = 2; // question 4: missing
    model.stq[4].graph = 1; // question 5: missing
    write(dir() / "2.jpg", bytesOf(kDemo / "7.jpg"));

    EXPECT_FALSE(qd::checkPictures(model, {0, 1, 2, 5}, dir()).has_value());
    EXPECT_FALSE(qd::checkPictures(model, {}, dir()).has_value());
    // The first missing picture in asking order is named.
    const qd::Status fault = qd::checkPictures(model, {1, 4, 3}, dir());
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(fault->message, qd::toCp1251("Не удалось загрузить файл 5.jpg либо 5.bmp!"));
}

TEST(DemoPictures, AreThereAndLoadTheWayTheTestAsks)
{
    // Question 8 has deliberately no JPEG: it shows the bitmap.
    EXPECT_FALSE(fs::exists(kDemo / "8.jpg"));
    const std::pair<int, QSize> pictures[] = {{7, {240, 160}}, {8, {300, 150}}, {9, {540, 176}}};
    for (const auto& [n, size] : pictures) {
        auto picture = qd::loadQuestionPicture(kDemo, n);
        ASSERT_TRUE(std::holds_alternative<QImage>(picture)) << n;
        EXPECT_EQ(std::get<QImage>(picture).size(), size) << n;
    }
}

} // namespace
