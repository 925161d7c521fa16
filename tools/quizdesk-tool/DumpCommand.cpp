// quizdesk-tool dump [DIR] [--seed S]: the loaded test model as JSON.

#include "ModelJson.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/TestRandom.h"
#include "run/Selection.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <optional>
#include <vector>

namespace qdtool {

namespace {

// ===== The run's draws for --seed
// =========================================== With --seed the random source
// is seeded with S where start-up would take the clock, then drawQuestions
// and shuffleOptions run on the model; the result is every entry of
// askingOrder that drawQuestions wrote.

std::optional<QJsonArray> drawRun(qd::TestModel& model, uint32_t seed)
{
    qd::TestRandom random;
    random.seed(seed);
    std::vector<int32_t> askingOrder;
    qd::Status s = qd::drawQuestions(model, random, askingOrder);
    if (s.ok()) {
        s = qd::shuffleOptions(model, random);
    }
    if (!s.ok()) {
        printFault(s.fault());
        return std::nullopt;
    }
    QJsonArray drawn;
    for (int32_t q : askingOrder) {
        drawn.append(q);
    }
    return drawn;
}
// ============================================================================

} // namespace

int runDump(const QStringList& args)
{
    CommandLine cl(args,
                   tr("Prints the test in DIR, loaded as QuizDesk's start-up loads it, as JSON.\n"
                      "Without --seed nothing is drawn (file order)."));
    addLoadOptions(cl.parser());
    const QCommandLineOption seedOption(
        QStringLiteral("seed"),
        tr("Draw the run's questions and answer orders from seed S (0 to 4294967295) "
           "instead of the clock, and list them as i_r."),
        QStringLiteral("S"));
    cl.parser().addOption(seedOption);
    if (auto done = cl.parse(1)) {
        return *done;
    }
    const auto read = readLoadOptions(cl.parser());
    if (!read.ok()) {
        return cl.usageError(QString::fromStdString(read.fault().message));
    }
    const LoadOptions& options = read.value();
    const auto seedRead = readSeedOption(cl.parser(), seedOption);
    if (!seedRead.ok()) {
        return cl.usageError(QString::fromStdString(seedRead.fault().message));
    }
    const std::optional<uint32_t> seed = seedRead.value();

    CharWidthSource charWidth(options.charW);
    const auto model = loadOrReport(options, charWidth);
    if (!model) {
        return kExitFault;
    }
    QJsonArray drawn;
    if (seed) {
        const auto run = drawRun(*model, *seed);
        if (!run) {
            return kExitFault;
        }
        drawn = *run;
    }
    QJsonObject json = modelToJson(*model);
    if (seed) {
        json.insert(QStringLiteral("i_r"), drawn);
    }
    writeOut(QJsonDocument(json).toJson(QJsonDocument::Indented));
    return kExitOk;
}

} // namespace qdtool
