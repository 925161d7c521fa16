// quizdesk-tool preview [DIR] [-o FOLDER] [--seed S] [--width W] [--height H]:
// pictures of a test as a student sees it, for the examiner to check by
// looking. The student's own main window runs the test off screen, through
// the same start-up and test session as the program, and each screen is
// grabbed as the window paints it: the title page, then every question with
// nothing answered. The questions come in the order the run drawn from the
// seed asks them, so that a student started on that draw sees exactly these
// screens; the questions that draw leaves out follow in file order, so that
// every question of the test is shown. An HTML page lists the pictures.

#include "CheckHints.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "app/MainWindow.h"
#include "app/MessageReporter.h"
#include "app/QuizDeskApp.h"
#include "app/ResultsWindow.h"
#include "app/StartUp.h"
#include "definition/Cp1251.h"
#include "definition/WholeFile.h"
#include "run/ManualClock.h"
#include "run/RunStart.h"

#include <QApplication>
#include <QDir>
#include <QIODevice>
#include <QPixmap>

#include <functional>
#include <vector>

namespace qdtool {

namespace {

// The window of a common school monitor, as check and dump assume.
constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;
// Bounds of one picture: an 8K screen. Larger would only fill the memory.
constexpr qint64 kMaxWidth = 7680;
constexpr qint64 kMaxHeight = 4320;

struct Shown
{
    int record = 0;   // record index in the test file
    int position = 0; // 1-based place in the walk (the run's number)
    bool asked = false;
    QString file;
};

// Writes the whole file, or says why not; nothing is left half written.
bool writeWhole(const QString& path, const std::function<bool(QIODevice&)>& fill)
{
    if (qd::Status s = qd::writeWholeFile(pathOf(path), fill); !s.ok()) {
        printError(tr("cannot write %1: %2").arg(path, QString::fromStdString(s.fault().message)));
        return false;
    }
    return true;
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    return writeWhole(path,
                      [&bytes](QIODevice& file) { return file.write(bytes) == bytes.size(); });
}

bool savePicture(QWidget& window, const QString& path)
{
    const QPixmap picture = window.grab();
    return writeWhole(path, [&picture](QIODevice& file) { return picture.save(&file, "PNG"); });
}

// The order of the walk: the questions the run asks, in its order, then
// every other question of the test in file order.
std::vector<Shown> walkOrder(const qd::TestModel& model, const qd::RunState& state)
{
    std::vector<Shown> order;
    std::vector<bool> seen(model.questions.size(), false);
    for (int record : qd::questionsAsked(model, state)) {
        order.push_back({record, int(order.size()) + 1, true, {}});
        seen[std::size_t(record)] = true;
    }
    for (std::size_t r = 0; r < seen.size(); ++r) {
        if (!seen[r]) {
            order.push_back({int(r), int(order.size()) + 1, false, {}});
        }
    }
    return order;
}

QString kindName(const qd::Question& q)
{
    if (q.picture == qd::PictureMode::PictureOnly) {
        return QStringLiteral("picture, typed answer");
    }
    switch (q.type) {
    case qd::QuestionType::SingleChoice:
        return QStringLiteral("single choice");
    case qd::QuestionType::MultipleChoice:
        return QStringLiteral("multiple choice");
    case qd::QuestionType::Ordering:
        return QStringLiteral("ordering");
    case qd::QuestionType::Matching:
        return QStringLiteral("matching");
    case qd::QuestionType::TypedText:
        return QStringLiteral("typed answer");
    case qd::QuestionType::MatchingColumns:
        return QStringLiteral("matching columns");
    }
    return QString();
}

// The stem's first line that holds any text, for the page's captions.
QString firstLine(const std::string& stem)
{
    const QStringList lines = fromTestText(stem).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty()) {
            return line.trimmed();
        }
    }
    return QString();
}

// The fault on stderr as check prints it: the message, then a hint.
void reportFault(const QString& text, const std::filesystem::path& dir)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n')) {
        bytes.append('\n');
    }
    writeErr(bytes);
    const qd::Fault fault{text.toStdString()};
    if (const auto hint = hintFor(readTestFiles(dir), fault)) {
        writeErr((tr("hint: ") + *hint + QLatin1Char('\n')).toUtf8());
    }
}

QString indexPage(const qd::TestModel& model, int askCount, const std::vector<Shown>& shown,
                  uint32_t seed, int width, int height)
{
    auto esc = [](const QString& text) { return text.toHtmlEscaped(); };
    const QString subject = esc(fromTestText(model.subjectName).trimmed());
    const QString test = esc(fromTestText(model.testName).trimmed());
    QString html =
        QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>Preview: %1</title>\n<style>\n"
                       "body { font-family: sans-serif; margin: 1em; }\n"
                       ".pictures { display: flex; flex-wrap: wrap; gap: 1.5em; }\n"
                       "figure { margin: 0; width: 28em; max-width: 100%; }\n"
                       "img { border: 1px solid #888; width: 100%; height: auto; }\n"
                       "figcaption { margin: 0.3em 0; }\n"
                       ".left-out { color: #a00; }\n"
                       "</style>\n</head>\n<body>\n<h1>%1</h1>\n<p>%2</p>\n"
                       "<p>Seed %3, window %4 &times; %5. The run on this seed asks %6 of the "
                       "%7 questions, in the order below; the questions it leaves out follow "
                       "in file order.</p>\n")
            .arg(test, subject)
            .arg(seed)
            .arg(width)
            .arg(height)
            .arg(askCount)
            .arg(model.questionCount);
    // Side by side as far as the window allows; each opens at full size.
    html += QStringLiteral("<div class=\"pictures\">\n<figure>\n<a href=\"title.png\"><img "
                           "src=\"title.png\" alt=\"Title page\"></a>\n"
                           "<figcaption>Title page</figcaption>\n</figure>\n");
    for (const Shown& s : shown) {
        const qd::Question& q = model.questions[std::size_t(s.record)];
        const QString where = s.asked ? QStringLiteral("asked as number %1").arg(s.position)
                                      : QStringLiteral("<span class=\"left-out\">not asked on "
                                                       "this seed</span>");
        html += QStringLiteral(
                    "<figure id=\"q%1\">\n<a href=\"%2\"><img src=\"%2\" alt=\"Question %1\"></a>\n"
                    "<figcaption><b>Question %1</b> (%3, %4 points), %5: %6"
                    "</figcaption>\n</figure>\n")
                    .arg(s.record + 1)
                    .arg(s.file, kindName(q))
                    .arg(q.mark)
                    .arg(where, esc(firstLine(q.text)));
    }
    html += QStringLiteral("</div>\n</body>\n</html>\n");
    return html;
}

} // namespace

int runPreview(const QStringList& args)
{
    CommandLine cl(args, tr("Pictures of the test in DIR as the student's window shows it: the "
                            "title page\nand every question with nothing answered, as PNG files, "
                            "and index.html\nlisting them. The questions come in the order the "
                            "run drawn from the seed\nasks them, then those it leaves out, in "
                            "file order."));
    QCommandLineParser& parser = cl.parser();
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 tr("Directory holding voprosi.txt and otveti.txt (default: .)."),
                                 QStringLiteral("[DIR]"));
    const QCommandLineOption outOption(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        tr("Folder for the pictures and index.html (default: preview), made when "
           "missing."),
        QStringLiteral("FOLDER"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"),
        tr("Draw the run's questions and answer orders from seed S, 0 to 4294967295 "
           "(default 0)."),
        QStringLiteral("S"));
    const QCommandLineOption widthOption(
        QStringLiteral("width"),
        tr("Window width in pixels, up to %1 (default %2).").arg(kMaxWidth).arg(kDefaultWidth),
        QStringLiteral("W"));
    const QCommandLineOption heightOption(
        QStringLiteral("height"),
        tr("Window height in pixels, up to %1 (default %2).").arg(kMaxHeight).arg(kDefaultHeight),
        QStringLiteral("H"));
    parser.addOptions({outOption, seedOption, widthOption, heightOption});
    if (auto done = cl.parse(1)) {
        return *done;
    }
    const QString dirArg = parser.positionalArguments().isEmpty() ? QStringLiteral(".")
                                                                  : parser.positionalArguments()[0];
    const auto seedRead = readSeedOption(parser, seedOption);
    if (!seedRead.ok()) {
        return cl.usageError(QString::fromStdString(seedRead.fault().message));
    }
    const std::optional<uint32_t> seed = seedRead.value();
    int size[2] = {kDefaultWidth, kDefaultHeight};
    const struct
    {
        const QCommandLineOption& option;
        qint64 max;
    } sides[2] = {{widthOption, kMaxWidth}, {heightOption, kMaxHeight}};
    for (int i = 0; i < 2; ++i) {
        if (!parser.isSet(sides[i].option)) {
            continue;
        }
        const QString text = parser.value(sides[i].option);
        const auto v = parseNumber(text, 1, sides[i].max);
        if (!v) {
            return cl.usageError(
                QStringLiteral("--%1 wants a whole number from 1 to %2, not \"%3\"")
                    .arg(sides[i].option.names().constFirst())
                    .arg(sides[i].max)
                    .arg(text));
        }
        size[i] = int(*v);
    }
    const QString outArg =
        parser.isSet(outOption) ? parser.value(outOption) : QStringLiteral("preview");

    // The student's window needs a widget application; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int argc = 1;
    char name[] = "quizdesk-tool";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    qd::l10n::keepDecimalPoint();

    // A fault of the test is printed as the program would show it in its
    // box, with check's hint at its likely cause, and the tool ends with 1
    // instead of the program's 0.
    std::optional<QString> fault;
    qd::MessageReporter::Actions actions;
    actions.box = [&fault](const QString&, const QString& text) {
        if (!fault) {
            fault = text;
        }
    };
    const qd::MessageReporter reporter(actions);

    const std::filesystem::path dir = pathOf(dirArg);
    qd::MainWindow form;
    qd::ResultsWindow results;
    auto run = qd::startUp(form, reporter, dir, QRect(0, 0, size[0], size[1]), seed.value_or(0));
    if (!run) {
        reportFault(fault.value_or(QString()), dir);
        return kExitFault;
    }
    // Every question is walked through: the run's own first, then the rest,
    // each shown as the next question of the same run. The status strip
    // still gives the count of questions a student is asked.
    std::vector<Shown> shown = walkOrder(*run->model, run->state);
    const int askCount = run->model->askCount;
    run->state.askingOrder.clear();
    for (const Shown& s : shown) {
        run->state.askingOrder.push_back(s.record);
    }
    run->model->askCount = int(shown.size());

    const QDir out(outArg);
    if (!out.mkpath(QStringLiteral("."))) {
        printError(tr("cannot create the folder %1").arg(outArg));
        return kExitFault;
    }
    // No time passes: no question runs out while it is looked at.
    qd::ManualClock clock;
    qd::QuizDeskApp app(std::move(*run), form, results, reporter, clock, dir);
    // Shown and active, as the student's window is on a lab screen: the
    // answer box shows its focus and caret.
    form.show();
    form.activateWindow();
    QApplication::processEvents();
    if (!savePicture(form, out.filePath(QStringLiteral("title.png")))) {
        return kExitFault;
    }
    // Nameless: the run writes no report.
    qd::TestSession& session = app.session();
    session.clickBegin(std::string(), false);
    session.waitTick();
    app.view().setQuestionCount(askCount);
    const int digits = int(QString::number(shown.size()).size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (fault) {
            reportFault(*fault, dir);
            return kExitFault;
        }
        if (session.phase() != qd::TestSession::Phase::Question) {
            printError(tr("the run ended before question %1").arg(shown[i].record + 1));
            return kExitFault;
        }
        // The tick that puts a question's picture on the screen.
        qd::Status s = session.questionTick();
        Shown& item = shown[i];
        item.file =
            QStringLiteral("question-%1.png").arg(item.record + 1, digits, 10, QLatin1Char('0'));
        if (s.ok() && !savePicture(form, out.filePath(item.file))) {
            return kExitFault;
        }
        if (s.ok() && i + 1 < shown.size()) {
            s = session.clickNext();
        }
        if (!s.ok()) {
            reportFault(QString::fromStdString(s.fault().utf8()), dir);
            return kExitFault;
        }
    }
    const QString index = out.filePath(QStringLiteral("index.html"));
    const auto& model = app.session().model();
    if (!writeWhole(
            index,
            indexPage(model, askCount, shown, seed.value_or(0), size[0], size[1]).toUtf8())) {
        return kExitFault;
    }
    writeOut(QDir::toNativeSeparators(index).toUtf8() + '\n');
    return kExitOk;
}

} // namespace qdtool
