#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"

#include <QByteArray>
#include <QImage>

#include <filesystem>
#include <variant>
#include <vector>

namespace qd {

// The largest picture a question may show: no screen the program runs on is
// wider or higher than kMaxPictureSide, and kMaxPicturePixels (32 Mi, more
// than an 8K screen) keeps the decoded picture at 128 MB, 4 bytes a pixel.
// Anything larger is refused from its header, before a byte of it is
// decoded, so that a forged header cannot ask for gigabytes.
constexpr int kMaxPictureSide = 16384;
constexpr long long kMaxPicturePixels = 32LL << 20;
bool pictureSizeAllowed(long long width, long long height);

// What decoding one picture may hold at once, decided from its header too:
// the decoded picture (4 bytes a pixel) and, for a progressive or
// multi-scan JPEG, all its coefficients (2 bytes a sample), kept while its
// scans are read; for a bitmap, the picture in its own format and its
// conversion. A picture of kMaxPicturePixels fits when nothing else is
// needed. libjpeg's own working memory is capped at kMaxJpegMemory besides.
constexpr long long kMaxPictureMemory = 128LL << 20;
constexpr long kMaxJpegMemory = 64L << 20;
// Scans of one JPEG: encoders write about ten; each scan of a progressive
// picture costs a pass over all its coefficients.
constexpr int kMaxJpegScans = 100;

// Decodes a JPEG through libjpeg-turbo into a 32-bit RGB picture. Colour,
// greyscale and CMYK (Adobe's inverted or plain) pictures are converted. A
// picture that decodes completely is taken even when libjpeg warns about
// it (stray bytes before a marker, a missing end marker); one whose data
// ends before its last pixel row, an error, a size beyond the limits above
// or too many scans give a null image. It never ends the program.
QImage decodeJpeg(const QByteArray& bytes);

// Decodes a Windows bitmap (bottom-up or top-down) into a 32-bit RGB
// picture; a null image when it is broken or beyond the size limits.
QImage decodeBmp(const QByteArray& bytes);

// The picture of question `number` (1-based, as in the test file): the file
// "<number>.jpg" in dir, or, when that cannot be loaded for any reason,
// "<number>.bmp". Neither: "Не удалось загрузить файл %d.jpg либо %d.bmp!".
// Paths are used as bytes: a directory whose name is not UTF-8 works. Only
// regular files are read, streamed rather than read whole.
Result<QImage> loadQuestionPicture(const std::filesystem::path& dir, int number);

// Loads the picture of every picture question among questionIndexes (record
// indexes, as the run's question order holds them) so that a missing or
// broken file is reported before a student starts, not in the middle of the
// test. Returns the first fault.
Status checkPictures(const TestModel& model, const std::vector<int>& questionIndexes,
                     const std::filesystem::path& dir);

} // namespace qd
