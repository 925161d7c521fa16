// libFuzzer target: arbitrary bytes as a question bank in each exchange
// format the tool imports (GIFT, Aiken, Moodle XML), turned into a test.
// Besides what ASan and UBSan catch, the rule the import relies on is
// checked: a test made from any bank loads, so that import never writes one
// that QuizDesk refuses.
//
// Input: one byte choosing the format (its value modulo 3), then the file.

#include "BankToTest.h"
#include "QuestionBank.h"

#include "definition/TestLoader.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const QByteArray file(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    qdtool::QuestionBank bank;
    switch (data[0] % 3) {
    case 0:
        bank = qdtool::readGift(QString::fromUtf8(file));
        break;
    case 1:
        bank = qdtool::readAiken(QString::fromUtf8(file));
        break;
    default:
        bank = qdtool::readMoodleXml(file);
        break;
    }
    const qdtool::WrittenTest test = qdtool::bankToTest(bank, QStringLiteral("fuzz"));
    if (test.questionCount == 0) {
        return 0;
    }
    const qd::LoadResult loaded = qd::loadTestBytes(
        test.questions, test.answers, qd::WindowGeometry{}, [](int, bool) { return 10; });
    if (!loaded.ok()) {
        std::fprintf(stderr, "an imported test does not load: %s\n",
                     loaded.fault().message.c_str());
        std::abort();
    }
    return 0;
}
