// quizdesk-tool check [DIR]: loads the test as the program's start-up does
// and says so in one line, or shows the first fault as the program would.
// Beyond one run's questions, it checks the picture of every picture
// question, so that no draw can lead a student to a missing file.

#include "CheckHints.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Accommodations.h"
#include "screen/PictureLoader.h"

#include <numeric>

namespace qdtool {

namespace {

// What a typed question accepts, as the scorer compares it (blanks removed,
// lower case). A single key holding a list separator is most likely meant as
// several answers, which a plain type 5 cannot hold: no student could type
// it. That is a warning, since the test loads and runs as written.
void showTypedKeys(const qd::TestModel& model)
{
    for (std::size_t i = 0; i < model.questions.size(); ++i) {
        const qd::Question& q = model.questions[i];
        if (q.type != qd::QuestionType::TypedText) {
            continue;
        }
        const int n = int(i) + 1;
        if (!q.acceptedTexts.empty()) {
            QStringList spellings;
            for (const std::string& t : q.acceptedTexts) {
                spellings << QLatin1Char('"') + fromTestText(t) + QLatin1Char('"');
            }
            writeOut(tr("question %1 accepts: %2\n")
                         .arg(n)
                         .arg(spellings.join(QLatin1String(", ")))
                         .toUtf8());
            continue;
        }
        for (const char separator : {',', ';', '|'}) {
            if (q.expectedText.find(separator) != std::string::npos) {
                writeErr(tr("quizdesk-tool: warning: question %1 expects the single "
                            "answer \"%2\", which holds '%3'; for several accepted "
                            "answers write the entry as \"%1) 7 / one | other / "
                            "points\"\n")
                             .arg(n)
                             .arg(fromTestText(q.expectedText))
                             .arg(QLatin1Char(separator))
                             .toUtf8());
                break;
            }
        }
    }
}

} // namespace

int runCheck(const QStringList& args)
{
    CommandLine cl(args, tr("Loads the test in DIR exactly as QuizDesk's start-up does.\n"
                            "Prints a summary, or the program's own fault message (exit 1)."));
    addLoadOptions(cl.parser());
    if (auto done = cl.parse(1)) {
        return *done;
    }
    const auto read = readLoadOptions(cl.parser());
    if (!read.ok()) {
        return cl.usageError(QString::fromStdString(read.fault().message));
    }
    const LoadOptions& options = read.value();
    CharWidthSource charWidth(options.charW);
    const std::filesystem::path dir = pathOf(options.dir);
    qd::LoadResult loaded =
        qd::loadTestDir(dir, options.window, [&charWidth](int fontSize, bool bold) {
            return charWidth(fontSize, bold);
        });
    if (!loaded.ok()) {
        // The program's message first, byte for byte; then what the files
        // suggest is behind it.
        printFault(loaded.fault());
        if (const auto hint = hintFor(readTestFiles(dir), loaded.fault())) {
            writeErr((tr("hint: ") + *hint + QLatin1Char('\n')).toUtf8());
        }
        return kExitFault;
    }
    const std::unique_ptr<qd::TestModel> model = std::move(loaded).value();
    std::vector<int> everyQuestion(std::size_t(model->questionCount));
    std::iota(everyQuestion.begin(), everyQuestion.end(), 0);
    if (const qd::Status s = qd::checkPictures(*model, everyQuestion, dir); !s.ok()) {
        printFault(s.fault());
        return kExitFault;
    }
    const qd::Result<qd::AccommodationTable> accommodations = qd::AccommodationTable::load(dir);
    if (!accommodations.ok()) {
        printFault(accommodations.fault());
        return kExitFault;
    }
    writeOut(tr("OK: questions %1, sections %2, asked %3\n")
                 .arg(model->questionCount)
                 .arg(model->sectionCount)
                 .arg(model->askCount)
                 .toUtf8());
    if (const qd::AccommodationTable& t = accommodations.value(); !t.empty()) {
        const qd::Accommodation everyone = t.forStudent("*");
        writeOut(
            tr("accommodations: students %1, everyone %2\n")
                .arg(t.studentCount())
                .arg(everyone.any() ? QString::fromStdString(everyone.settingsText()) : tr("none"))
                .toUtf8());
    }
    showTypedKeys(*model);
    if (const auto hint = loadedTestHint(readTestFiles(dir), model->questionCount)) {
        writeErr((tr("quizdesk-tool: warning: ") + *hint + QLatin1Char('\n')).toUtf8());
    }
    return kExitOk;
}

} // namespace qdtool
