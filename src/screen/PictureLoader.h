#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"

#include <QByteArray>
#include <QImage>

#include <filesystem>
#include <variant>
#include <vector>

namespace qd {

// Decodes a JPEG through libjpeg-turbo. Data that is not one whole valid
// JPEG (truncated, corrupt, an unsupported colour model, an absurd size)
// gives a null image; it never ends the program.
QImage decodeJpeg(const QByteArray& bytes);

// The picture of question `number` (1-based, as in the test file): the file
// "<number>.jpg" in dir, or, when that cannot be loaded for any reason,
// "<number>.bmp". Neither: "Не удалось загрузить файл %d.jpg либо %d.bmp!".
std::variant<QImage, Fault> loadQuestionPicture(const std::filesystem::path& dir, int number);

// Loads the picture of every picture question among questionIndexes (record
// indexes, as the run's question order holds them) so that a missing or
// broken file is reported before a student starts, not in the middle of the
// test. Returns the first fault.
Status checkPictures(const TestModel& model, const std::vector<int>& questionIndexes,
                     const std::filesystem::path& dir);

} // namespace qd
