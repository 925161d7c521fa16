// libFuzzer target: arbitrary bytes as a question picture, decoded both as a
// JPEG and as a Windows bitmap, the way the loader decodes "<n>.jpg" and
// "<n>.bmp". ASan and UBSan catch what goes wrong inside our code; run.sh
// runs it with a memory limit of 256 MB, so that a picture bomb that gets
// past the size limits shows as a failure. A picture that is taken must
// keep within those limits.

#include "screen/PictureLoader.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(const QImage& image, const char* kind)
{
    if (image.isNull()) {
        return; // refused: the usual outcome
    }
    if (!qd::pictureSizeAllowed(image.width(), image.height()) ||
        image.format() != QImage::Format_RGB32) {
        std::fprintf(stderr, "%s taken at %d x %d, format %d\n", kind, image.width(),
                     image.height(), int(image.format()));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Qt's image readers warn about every broken bitmap; the fuzzer's
    // output is for findings.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    check(qd::decodeJpeg(bytes), "JPEG");
    check(qd::decodeBmp(bytes), "BMP");
    return 0;
}
