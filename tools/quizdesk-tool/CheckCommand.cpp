// quizdesk-tool check [DIR]: loads the test as the program's start-up does
// and says so in one line, or shows the first fault as the program would.
// Beyond one run's questions, it checks the picture of every picture
// question, so that no draw can lead a student to a missing file.

#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Accommodations.h"
#include "screen/PictureLoader.h"

#include <numeric>

namespace qdtool {

int runCheck(const QStringList& args)
{
    CommandLine cl(
        args, QStringLiteral("Loads the test in DIR exactly as QuizDesk's start-up does.\n"
                             "Prints a summary, or the program's own fault message (exit 1)."));
    addLoadOptions(cl.parser());
    if (auto done = cl.parse(1)) {
        return *done;
    }
    QString error;
    const auto options = readLoadOptions(cl.parser(), &error);
    if (!options) {
        return cl.usageError(error);
    }
    CharWidthSource charWidth(options->charW);
    const auto model = loadOrReport(*options, charWidth);
    if (!model) {
        return kExitFault;
    }
    std::vector<int> everyQuestion(std::size_t(model->questionCount));
    std::iota(everyQuestion.begin(), everyQuestion.end(), 0);
    const std::filesystem::path dir = pathOf(options->dir);
    if (const qd::Status s = qd::checkPictures(*model, everyQuestion, dir)) {
        printFault(*s);
        return kExitFault;
    }
    const qd::Result<qd::AccommodationTable> accommodations = qd::AccommodationTable::load(dir);
    if (!accommodations.ok()) {
        printFault(accommodations.fault());
        return kExitFault;
    }
    writeOut(QStringLiteral("OK: questions %1, sections %2, asked %3\n")
                 .arg(model->questionCount)
                 .arg(model->sectionCount)
                 .arg(model->askCount)
                 .toUtf8());
    if (const qd::AccommodationTable& t = accommodations.value(); !t.empty()) {
        const qd::Accommodation everyone = t.forStudent("*");
        writeOut(QStringLiteral("accommodations: students %1, everyone %2\n")
                     .arg(t.studentCount())
                     .arg(everyone.any() ? QString::fromStdString(everyone.settingsText())
                                         : QStringLiteral("none"))
                     .toUtf8());
    }
    return kExitOk;
}

} // namespace qdtool
