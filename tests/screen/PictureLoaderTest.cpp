#include "screen/PictureLoader.h"

#include "definition/Cp1251.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <jpeglib.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples" / "demo";
const fs::path kPictures = fs::path(QUIZDESK_SOURCE_DIR) / "tests" / "fixtures" / "pictures";

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

// A whole mid-grey JPEG of w x h pixels, baseline.
QByteArray greyJpeg(int w, int h)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(w), 128);
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height) {
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// The colours of the left and right halves (sampled a quarter in).
std::pair<QColor, QColor> halves(const QImage& image)
{
    const int y = image.height() / 2;
    return {image.pixelColor(image.width() / 4, y), image.pixelColor(image.width() * 3 / 4, y)};
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 24 && std::abs(a.green() - b.green()) <= 24 &&
           std::abs(a.blue() - b.blue()) <= 24;
}

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
        good.left(good.size() / 2), // truncated: corrupt-data warning
        good.left(20),              // header cut
        flipped,                    // markers destroyed
        QByteArray("BM this is no jpeg at all"),
        bytesOf(kDemo / "8.bmp"),
    };
    for (const QByteArray& bytes : cases) {
        EXPECT_TRUE(qd::decodeJpeg(bytes).isNull()) << bytes.size();
    }
}

TEST(DecodeJpeg, APictureBeyondAnyScreenIsRefused)
{
    // The bombs: a few hundred bytes of progressive JPEG claiming 27,000 and
    // 60,000 pixels a side. Refused from the header (bench/picture_bomb.sh
    // measures what loading them costs).
    for (const char* bomb : {"bomb-27000.jpg", "bomb-60000.jpg"}) {
        EXPECT_TRUE(qd::decodeJpeg(bytesOf(kPictures / bomb)).isNull()) << bomb;
    }
    // Whole pictures at and past the limits: a side of 16,384 pixels, an
    // area of 32 Mi pixels.
    const struct
    {
        int w, h;
        bool taken;
    } cases[] = {
        {16384, 1, true},
        {16385, 1, false},
        {1, 16385, false},
        {8192, 4097, false},
    };
    for (const auto& c : cases) {
        const QImage image = qd::decodeJpeg(greyJpeg(c.w, c.h));
        EXPECT_EQ(!image.isNull(), c.taken) << c.w << " x " << c.h;
        if (c.taken) {
            EXPECT_EQ(image.size(), QSize(c.w, c.h));
        }
    }
}

TEST(DecodeJpeg, AWholePictureIsTakenDespiteWarningsOneCutShortIsNot)
{
    // Blue over yellow, 64 x 48, side by side.
    for (const char* whole : {"stray-bytes.jpg", "no-end-marker.jpg"}) {
        const QImage image = qd::decodeJpeg(bytesOf(kPictures / whole));
        ASSERT_FALSE(image.isNull()) << whole;
        EXPECT_EQ(image.size(), QSize(64, 48)) << whole;
        const auto [left, right] = halves(image);
        EXPECT_TRUE(near(left, QColor(0, 0, 255))) << whole << " " << left.name().toStdString();
        EXPECT_TRUE(near(right, QColor(255, 255, 0))) << whole << " " << right.name().toStdString();
    }
    EXPECT_TRUE(qd::decodeJpeg(bytesOf(kPictures / "cut-progressive.jpg")).isNull());
    // A valid file of 190 scans: more passes than any encoder asks for.
    EXPECT_TRUE(qd::decodeJpeg(bytesOf(kPictures / "many-scans.jpg")).isNull());
}

TEST(DecodeJpeg, GreyAndCmykPicturesAreConverted)
{
    const struct
    {
        const char* file;
        QColor left, right;
    } cases[] = {
        {"grey.jpg", QColor(0, 0, 0), QColor(255, 255, 255)},
        {"cmyk.jpg", QColor(255, 0, 0), QColor(0, 0, 255)}, // Adobe's inverted inks
        {"ycck.jpg", QColor(255, 0, 0), QColor(0, 0, 255)},
    };
    for (const auto& c : cases) {
        const QImage image = qd::decodeJpeg(bytesOf(kPictures / c.file));
        ASSERT_FALSE(image.isNull()) << c.file;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << c.file;
        EXPECT_EQ(image.size(), QSize(32, 16)) << c.file;
        const auto [left, right] = halves(image);
        EXPECT_TRUE(near(left, c.left)) << c.file << " " << left.name().toStdString();
        EXPECT_TRUE(near(right, c.right)) << c.file << " " << right.name().toStdString();
    }
}

TEST(DecodeBmp, ABitmapThatWouldNeedMoreThanTheMemoryBudgetIsRefused)
{
    // 64 bytes of run-length bitmap, 8,192 x 4,096 pixels: within the size
    // limits, but 160 MB to read as 8-bit and convert.
    EXPECT_TRUE(qd::decodeBmp(bytesOf(kPictures / "bomb-rle8.bmp")).isNull());
}

TEST(DecodeBmp, ATopDownBitmapIsTakenTheRightWayUp)
{
    const QImage image = qd::decodeBmp(bytesOf(kPictures / "top-down.bmp"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(6, 4));
    EXPECT_EQ(image.pixelColor(2, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(2, 3), QColor(Qt::blue));
}

TEST_F(PictureDir, AFolderWhoseNameIsNotUtf8)
{
    // Code page 1251 bytes, as a folder copied from a Windows machine has.
    const fs::path odd = dir() / "\xea\xe0\xf2"; // "кат"
    fs::create_directories(odd);
    fs::copy_file(kDemo / "7.jpg", odd / "7.jpg");
    fs::copy_file(kPictures / "top-down.bmp", odd / "8.bmp");
    auto seven = qd::loadQuestionPicture(odd, 7);
    auto eight = qd::loadQuestionPicture(odd, 8);
    ASSERT_TRUE(std::holds_alternative<QImage>(seven));
    ASSERT_TRUE(std::holds_alternative<QImage>(eight));
    EXPECT_EQ(std::get<QImage>(eight).size(), QSize(6, 4));
    fs::remove_all(odd); // QTemporaryDir removes through Unicode names
}

TEST_F(PictureDir, OnlyRegularFilesAreRead)
{
    // A pipe under the picture's name would block the window forever.
    ASSERT_EQ(::mkfifo((dir() / "3.jpg").c_str(), 0600), 0);
    fs::copy_file(kPictures / "top-down.bmp", dir() / "3.bmp");
    fs::create_directory(dir() / "4.jpg");
    fs::copy_file(kPictures / "top-down.bmp", dir() / "4.bmp");
    for (int n : {3, 4}) {
        auto picture = qd::loadQuestionPicture(dir(), n);
        ASSERT_TRUE(std::holds_alternative<QImage>(picture)) << n;
        EXPECT_EQ(std::get<QImage>(picture).size(), QSize(6, 4)) << n;
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
        const std::string expected = "Не удалось загрузить файл " + std::to_string(n) +
                                     ".jpg либо " + std::to_string(n) + ".bmp!";
        EXPECT_EQ(std::get<qd::Fault>(picture).message, qd::toCp1251(expected));
    }
}

TEST_F(PictureDir, CheckCoversThePictureQuestionsOfTheRunOnly)
{
    qd::TestModel model;
    model.questions.resize(6);
    model.questions[1].picture = qd::PictureMode::WithOptions; // question 2: has 2.jpg
    model.questions[3].picture = qd::PictureMode::PictureOnly; // question 4: missing
    model.questions[4].picture = qd::PictureMode::WithOptions; // question 5: missing
    write(dir() / "2.jpg", bytesOf(kDemo / "7.jpg"));

    EXPECT_TRUE(qd::checkPictures(model, {0, 1, 2, 5}, dir()).ok());
    EXPECT_TRUE(qd::checkPictures(model, {}, dir()).ok());
    // The first missing picture in asking order is named.
    const qd::Status fault = qd::checkPictures(model, {1, 4, 3}, dir());
    ASSERT_FALSE(fault.ok());
    EXPECT_EQ(fault.fault().message, qd::toCp1251("Не удалось загрузить файл 5.jpg либо 5.bmp!"));
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
