// libFuzzer target: the checkpoint reader. The input is a checkpoint file's
// bytes as they are, or (first byte odd) a body behind a first line that
// names its true length and checksum, so that the fuzzer reaches the JSON
// and the fields and not only the checksum. A checkpoint that reads must be
// written again to the same bytes' meaning, and is then checked against the
// demo test drawn from its seed, as the title page does.

#include "definition/TestLoader.h"
#include "run/Checkpoint.h"
#include "run/RunStart.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "checkpoint invariant broken: %s\n", what);
        std::abort();
    }
}

const qd::TestModel* demo()
{
    static std::unique_ptr<qd::TestModel> model = [] {
        qd::LoadResult r = qd::loadTestDir(QUIZDESK_SOURCE_DIR "/examples/demo",
                                           qd::WindowGeometry{}, [](int, bool) { return 10; });
        check(r.ok(), "the demo test loads");
        return std::move(r.value());
    }();
    return model.get();
}

bool same(const qd::Checkpoint& a, const qd::Checkpoint& b)
{
    bool answers = a.answers.size() == b.answers.size();
    for (std::size_t i = 0; answers && i < a.answers.size(); ++i) {
        answers = a.answers[i].question == b.answers[i].question &&
                  std::memcmp(&a.answers[i].points, &b.answers[i].points, sizeof(float)) == 0 &&
                  a.answers[i].right == b.answers[i].right;
    }
    return answers && a.testId == b.testId && a.studentName == b.studentName &&
           a.examMode == b.examMode && a.seed == b.seed && a.askingOrder == b.askingOrder &&
           a.optionOrders == b.optionOrders && a.finishedCount == b.finishedCount &&
           a.unaskedCount == b.unaskedCount && a.maxScore == b.maxScore &&
           a.wrongQuestions == b.wrongQuestions && a.openQuestion == b.openQuestion &&
           a.questionUsedMs == b.questionUsedMs && a.testUsedMs == b.testUsedMs &&
           a.writtenAtMs == b.writtenAtMs && a.reportName == b.reportName &&
           a.reportText == b.reportText && a.registered == b.registered &&
           a.acknowledged == b.acknowledged && a.resumeCount == b.resumeCount;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size > 0 && (data[0] & 1) != 0) {
        const std::string body = bytes.substr(1);
        const QByteArray sum =
            QCryptographicHash::hash(QByteArray(body.data(), qsizetype(body.size())),
                                     QCryptographicHash::Sha256)
                .toHex();
        bytes = "QuizDesk checkpoint 1 " + std::to_string(body.size()) + ' ' + sum.toStdString() +
                '\n' + body;
    }
    auto decoded = qd::decodeCheckpoint(bytes);
    auto* c = std::get_if<qd::Checkpoint>(&decoded);
    if (c == nullptr) {
        check(!std::get<qd::CheckpointRefusal>(decoded).message.empty(), "a refusal says why");
        return 0;
    }
    auto again = qd::decodeCheckpoint(qd::encodeCheckpoint(*c));
    const auto* back = std::get_if<qd::Checkpoint>(&again);
    check(back != nullptr && same(*c, *back), "a checkpoint read is written back the same");

    qd::TestModel model = *demo();
    qd::RunState st;
    if (!qd::prepareRun(model, st, c->seed).ok()) {
        return 0;
    }
    (void)qd::checkpointFits(*c, model, st);
    return 0;
}
