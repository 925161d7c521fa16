#include "screen/PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

namespace qd {

namespace {

// libjpeg reports errors through a callback that must not return: it jumps
// back to decodeInto, which gives up on the picture. Warnings that the data
// ended early jump back the same way; other warnings are only counted.
struct ErrorManager
{
    jpeg_error_mgr pub;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool outputStarted;
};

ErrorManager& managerOf(j_common_ptr cinfo)
{
    return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(managerOf(cinfo).jump, 1);
}

// Where data ends early libjpeg warns and paints the rest grey; such a
// picture is refused. An entropy-coded segment that stops short of its
// blocks says so (JWRN_HIT_MARKER). The end of the file (JWRN_JPEG_EOF)
// counts while the header and, for a progressive or multi-scan picture,
// all its scans are read: a scan may be missing. Later, the decoder merely
// reads ahead past the last block; a picture that lacks only its end marker
// is whole. Other warnings (stray bytes before a marker, for instance)
// leave the picture whole too.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) {
        return; // trace messages
    }
    ErrorManager& m = managerOf(cinfo);
    const int code = cinfo->err->msg_code;
    if (code == JWRN_HIT_MARKER || (code == JWRN_JPEG_EOF && !m.outputStarted)) {
        std::longjmp(m.jump, 1);
    }
    ++cinfo->err->num_warnings;
}

// Called by libjpeg as it works through the data: bounds the scans.
void onProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        std::longjmp(managerOf(cinfo).jump, 1);
    }
}

// QImage::Format_RGB32 as bytes in memory: 0xFFRRGGBB in the machine's order.
constexpr J_COLOR_SPACE kRgb32Space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// One row of CMYK samples into 32-bit RGB. Adobe's files store the inks
// inverted (255 is no ink), which libjpeg passes on as it is.
void cmykRow(const JSAMPLE* in, QRgb* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

// What decoding the picture holds at once, from its header: the picture
// (4 bytes a pixel) and, when its scans must all be read before the first
// row comes out, the coefficients of every component.
long long memoryNeeded(j_decompress_ptr cinfo)
{
    long long bytes = 4LL * cinfo->image_width * cinfo->image_height;
    if (jpeg_has_multiple_scans(cinfo)) {
        for (int c = 0; c < cinfo->num_components; ++c) {
            const jpeg_component_info& comp = cinfo->comp_info[c];
            bytes += static_cast<long long>(comp.width_in_blocks) * comp.height_in_blocks *
                     DCTSIZE2 * static_cast<long long>(sizeof(JCOEF));
        }
    }
    return bytes;
}

// Where the JPEG comes from: bytes in memory or an open file.
struct JpegSource
{
    const unsigned char* data = nullptr;
    unsigned long size = 0;
    FILE* file = nullptr;
};

// Kept free of objects with destructors: a longjmp back to setjmp must not
// skip any. `out` belongs to the caller.
bool decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& errors, const JpegSource& source,
                QImage* out)
{
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onError;
    errors.pub.emit_message = onMessage;
    errors.progress.progress_monitor = onProgress;
    errors.outputStarted = false;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    cinfo.progress = &errors.progress;
    if (source.file != nullptr) {
        jpeg_stdio_src(&cinfo, source.file);
    } else {
        jpeg_mem_src(&cinfo, source.data, source.size);
    }
    jpeg_read_header(&cinfo, TRUE);
    // Refused on the header's word alone: nothing is allocated for it yet.
    if (!pictureSizeAllowed(cinfo.image_width, cinfo.image_height) ||
        memoryNeeded(&cinfo) > kMaxPictureMemory) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : kRgb32Space;
    jpeg_start_decompress(&cinfo);
    errors.outputStarted = true;
    if (cinfo.output_components != 4 || cinfo.output_width != cinfo.image_width ||
        cinfo.output_height != cinfo.image_height) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // CMYK rows pass through a row of libjpeg's own pool, freed with it.
    JSAMPARRAY cmykBuffer = nullptr;
    if (cmyk) {
        cmykBuffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * 4, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        uchar* line = out->scanLine(int(cinfo.output_scanline));
        JSAMPROW row = cmyk ? cmykBuffer[0] : line;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        if (cmyk) {
            cmykRow(row, reinterpret_cast<QRgb*>(line), cinfo.output_width, cinfo.saw_Adobe_marker);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

QImage decodeJpegFrom(const JpegSource& source)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    QImage image;
    if (!decodeInto(cinfo, errors, source, &image)) {
        return {};
    }
    return image;
}

QImage decodeBmpFrom(QIODevice& device)
{
    QImageReader reader(&device, "bmp");
    reader.setDecideFormatFromContent(false);
    // A top-down bitmap states a negative height.
    const QSize size = reader.size();
    const long long width = size.width();
    const long long height = std::llabs(size.height());
    if (width <= 0 || height == 0 || !pictureSizeAllowed(width, height)) {
        return {};
    }
    // Read in its own format, then converted unless that is 32-bit RGB
    // already; an unknown format counts as the worst, 4 bytes and a copy.
    const QImage::Format format = reader.imageFormat();
    long long bytesPerPixel = 8;
    if (format == QImage::Format_RGB32) {
        bytesPerPixel = 4;
    } else if (format != QImage::Format_Invalid) {
        bytesPerPixel = (QImage::toPixelFormat(format).bitsPerPixel() + 7) / 8 + 4;
    }
    if (bytesPerPixel * width * height > kMaxPictureMemory) {
        return {};
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return image;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

// Opens a regular file for reading, by its path's bytes; -1 for anything
// else (missing, a folder, a pipe that would block the window).
int openRegularFile(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QImage loadJpeg(const std::filesystem::path& file)
{
    const int fd = openRegularFile(file);
    if (fd < 0) {
        return {};
    }
    FILE* stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        ::close(fd);
        return {};
    }
    JpegSource source;
    source.file = stream;
    QImage image = decodeJpegFrom(source);
    std::fclose(stream);
    return image;
}

QImage loadBmp(const std::filesystem::path& file)
{
    const int fd = openRegularFile(file);
    if (fd < 0) {
        return {};
    }
    QFile device;
    if (!device.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return decodeBmpFrom(device);
}

} // namespace

bool pictureSizeAllowed(long long width, long long height)
{
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

QImage decodeJpeg(const QByteArray& bytes)
{
    if (bytes.isEmpty()) {
        return {};
    }
    JpegSource source;
    source.data = reinterpret_cast<const unsigned char*>(bytes.constData());
    source.size = static_cast<unsigned long>(bytes.size());
    return decodeJpegFrom(source);
}

QImage decodeBmp(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return {};
    }
    return decodeBmpFrom(buffer);
}

Result<QImage> loadQuestionPicture(const std::filesystem::path& dir, int number)
{
    const std::string stem = std::to_string(number);
    QImage image = loadJpeg(dir / (stem + ".jpg"));
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
        if (q < 0 || q >= int(model.questions.size()) ||
            model.questions[std::size_t(q)].picture == PictureMode::None) {
            continue;
        }
        auto picture = loadQuestionPicture(dir, q + 1);
        if (!picture.ok()) {
            return picture.fault();
        }
    }
    return {};
}

} // namespace qd
