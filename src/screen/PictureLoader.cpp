#include "screen/PictureLoader.h"

#include <QImageReader>
#include <QString>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

namespace qd {

namespace {

// Larger pictures than this cannot be meant for a question screen; refusing
// them keeps a forged header from asking for gigabytes.
constexpr long long kMaxPixels = 1LL << 26;

// libjpeg reports errors through a callback that must not return: it jumps
// back to decodeInto, which gives up on the picture.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings are signs of corrupt data: count them, print nothing.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) {
        ++cinfo->err->num_warnings;
    }
}

// Kept free of objects with destructors: a longjmp back to setjmp must not
// skip any.
bool decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& errors, const unsigned char* data,
                unsigned long size, QImage* out)
{
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onError;
    errors.pub.emit_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_RGB;
    jpeg_start_decompress(&cinfo);
    const long long pixels = (long long)cinfo.output_width * cinfo.output_height;
    if (cinfo.output_components != 3 || pixels <= 0 || pixels > kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    const bool clean = errors.pub.num_warnings == 0;
    jpeg_destroy_decompress(&cinfo);
    return clean;
}

QByteArray readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QImage loadBmp(const std::filesystem::path& file)
{
    QImageReader reader(QString::fromStdString(file.string()), "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || (long long)size.width() * size.height() > kMaxPixels) {
        return {};
    }
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage decodeJpeg(const QByteArray& bytes)
{
    if (bytes.isEmpty()) {
        return {};
    }
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    QImage image;
    if (!decodeInto(cinfo, errors, reinterpret_cast<const unsigned char*>(bytes.constData()),
                    (unsigned long)bytes.size(), &image)) {
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

std::variant<QImage, Fault> loadQuestionPicture(const std::filesystem::path& dir, int number)
{
    const std::string stem = std::to_string(number);
    QImage image = decodeJpeg(readFile(dir / (stem + ".jpg")));
    if (image.isNull()) {
        image = loadBmp(dir / (stem + ".bmp"));
    }
    if (image.isNull()) {
        return fault("Не удалось загрузить файл %d.jpg либо %d.bmp!", number, number);
    }
    return image;
}

Status checkPictures(const TestModel& model, const std::vector<int>& questionIndexes,
                     const std::filesystem::path& dir)
{
    for (const int q : questionIndexes) {
        if (q < 0 || q >= int(model.stq.size()) || model.stq[std::size_t(q)].graph == 0) {
            continue;
        }
        auto picture = loadQuestionPicture(dir, q + 1);
        if (auto* f = std::get_if<Fault>(&picture)) {
            return *f;
        }
    }
    return std::nullopt;
}

} // namespace qd
