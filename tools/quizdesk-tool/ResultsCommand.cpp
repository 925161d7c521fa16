// quizdesk-tool results [DIR] --reports FOLDER | --db DB --html OUT.html: one
// self-contained page of an exam's results for the screen and for printing
// on A4: the gradebook, a histogram of the percentages (an SVG drawn here),
// the item table with its flags and the options chosen in every choice
// question.

#include "ReportsInput.h"
#include "StatsOutput.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "definition/WholeFile.h"
#include "results/ItemAnalysis.h"

#include <QFile>

#include <algorithm>
#include <array>

namespace qdtool {

namespace {

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

QString testText(const std::string& cp1251)
{
    return esc(fromTestText(cp1251));
}

// Names in the order of the Ukrainian alphabet (Russian letters among
// them), the same on every machine whatever its locale: the page is made
// again by make example-reports and must come out the same.
QList<int> alphabetKey(const QString& name)
{
    static const QString alphabet = QStringLiteral("АБВГҐДЕЁЄЖЗИІЇЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
    QList<int> key;
    for (const QChar c : name.toUpper()) {
        const int at = alphabet.indexOf(c);
        key << (at >= 0 ? 0x10000 + at : int(c.unicode()));
    }
    return key;
}

// Ten bars of ten points each (the last one takes 100 too).
QString histogram(const std::vector<const qd::ParsedReport*>& finished)
{
    std::array<int, 10> bins{};
    for (const qd::ParsedReport* r : finished) {
        bins[std::size_t(std::clamp(r->percent / 10, 0, 9))] += 1;
    }
    const int top = std::max(1, *std::max_element(bins.begin(), bins.end()));
    const int width = 640, height = 240, left = 40, bottom = 36, topMargin = 14;
    const int plotH = height - bottom - topMargin;
    const int barW = (width - left - 10) / 10;
    QString svg =
        QStringLiteral(
            "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"histogram\" viewBox=\"0 0 %1 %2\" "
            "width=\"%1\" height=\"%2\" role=\"img\" aria-label=\"%3\">\n")
            .arg(width)
            .arg(height)
            .arg(esc(tr("Histogram of the percentages")));
    // Horizontal guides with the counts.
    const int step = std::max(1, (top + 4) / 5);
    for (int v = 0; v <= top; v += step) {
        const int y = topMargin + plotH - plotH * v / top;
        svg +=
            QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" class=\"guide\"/>"
                           "<text x=\"%4\" y=\"%5\" class=\"axis\" text-anchor=\"end\">%6</text>\n")
                .arg(left)
                .arg(y)
                .arg(width - 6)
                .arg(left - 6)
                .arg(y + 4)
                .arg(v);
    }
    for (int b = 0; b < 10; ++b) {
        const int h = plotH * bins[std::size_t(b)] / top;
        const int x = left + b * barW + 3;
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" class=\"bar\"/>")
                   .arg(x)
                   .arg(topMargin + plotH - h)
                   .arg(barW - 6)
                   .arg(h);
        if (bins[std::size_t(b)] > 0) {
            svg += QStringLiteral(
                       "<text x=\"%1\" y=\"%2\" class=\"count\" text-anchor=\"middle\">%3</text>")
                       .arg(x + (barW - 6) / 2)
                       .arg(topMargin + plotH - h - 3)
                       .arg(bins[std::size_t(b)]);
        }
        svg += QStringLiteral(
                   "<text x=\"%1\" y=\"%2\" class=\"axis\" text-anchor=\"middle\">%3</text>\n")
                   .arg(x + (barW - 6) / 2)
                   .arg(height - bottom + 16)
                   .arg(b < 9 ? QStringLiteral("%1–%2").arg(b * 10).arg(b * 10 + 9)
                              : QStringLiteral("90–100"));
    }
    svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" class=\"baseline\"/>\n")
               .arg(left)
               .arg(topMargin + plotH)
               .arg(width - 6);
    svg +=
        QStringLiteral("<text x=\"%1\" y=\"%2\" class=\"axis\" text-anchor=\"middle\">%3</text>\n")
            .arg(left + (width - left) / 2)
            .arg(height - 4)
            .arg(esc(tr("percentage")));
    svg += QStringLiteral("</svg>\n");
    return svg;
}

// A table's head: each column's title, and whether it holds text (set
// left) rather than figures.
QString headRow(const QList<std::pair<QString, bool>>& columns)
{
    QString row = QStringLiteral("<thead><tr>");
    for (const auto& [title, text] : columns) {
        row += (text ? QStringLiteral("<th class=\"text\">%1</th>") : QStringLiteral("<th>%1</th>"))
                   .arg(esc(title));
    }
    return row + QStringLiteral("</tr></thead>\n<tbody>\n");
}

QString pageStyle()
{
    return QStringLiteral(R"(
@page { size: A4; margin: 14mm 12mm; }
* { box-sizing: border-box; }
body { font-family: "Liberation Sans", Arial, sans-serif; font-size: 10pt; color: #111; margin: 0 auto; max-width: 186mm; padding: 8mm 0; }
h1 { font-size: 16pt; margin: 0 0 2mm; }
h2 { font-size: 12pt; margin: 7mm 0 2mm; border-bottom: 1px solid #999; break-after: avoid; }
p.sub { margin: 0 0 3mm; color: #333; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #bbb; padding: 1.2mm 2mm; text-align: right; }
th { background: #eee; }
td.text, th.text { text-align: left; }
td.date { white-space: nowrap; }
tr { break-inside: avoid; }
tr.flagged td { background: #fde8e8; }
tr.unfinished td { color: #777; font-style: italic; }
.summary td { text-align: left; border: none; padding: 0.6mm 3mm 0.6mm 0; }
.summary { width: auto; }
svg.histogram { display: block; margin: 2mm 0; max-width: 100%; height: auto; }
svg .bar { fill: #4a78b5; }
svg .guide { stroke: #ddd; stroke-width: 1; }
svg .baseline { stroke: #333; stroke-width: 1; }
svg .axis { font-size: 11px; fill: #333; }
svg .count { font-size: 11px; fill: #111; }
.options { display: grid; grid-template-columns: 1fr 1fr; gap: 3mm 6mm; }
.options table { break-inside: avoid; }
.options caption { text-align: left; font-weight: bold; padding-bottom: 1mm; }
.share { display: inline-block; height: 2.6mm; background: #4a78b5; vertical-align: middle; }
.key { font-weight: bold; }
.note { color: #555; font-size: 9pt; }
)");
}

} // namespace

int runResults(const QStringList& args)
{
    CommandLine cl(args,
                   tr("Writes one self-contained HTML page of the exam's results (the\n"
                      "gradebook, a histogram of the percentages, the item table with its\n"
                      "flags, the options chosen in every choice question) that prints on A4.\n"
                      "The figures are those of 'quizdesk-tool stats'."));
    addReportsOptions(cl.parser(), ReportsUse::Analysis);
    const QCommandLineOption htmlOption(QStringLiteral("html"), tr("The page to write."),
                                        QStringLiteral("OUT.html"));
    cl.parser().addOption(htmlOption);
    if (auto done = cl.parse(1)) {
        return *done;
    }
    if (!cl.parser().isSet(htmlOption)) {
        return cl.usageError(tr("--html OUT.html is required"));
    }
    int exit = kExitOk;
    const auto exam = loadExamReports(cl, ReportsUse::Analysis, &exit);
    if (!exam) {
        return exit;
    }
    const qd::TestModel& model = *exam->model;
    const qd::ReportSelection& selection = exam->selection;
    const auto finished = selection.countedReports();
    const qd::TestStats stats = qd::analyseReports(model, finished);

    QString html;
    html +=
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"uk\">\n<head>\n<meta charset=\"utf-8\">\n");
    html += QStringLiteral("<title>%1</title>\n")
                .arg(esc(tr("Results: %1").arg(fromTestText(model.testName).trimmed())));
    html += QStringLiteral("<style>%1</style>\n</head>\n<body>\n").arg(pageStyle());
    html += QStringLiteral("<h1>%1</h1>\n").arg(testText(model.testName).trimmed());
    html += QStringLiteral("<p class=\"sub\">%1 · %2</p>\n")
                .arg(testText(model.subjectName).trimmed(),
                     esc(tr("%1 students · %2 questions, %3 asked of each")
                             .arg(selection.counted.size() + selection.unfinished.size() +
                                  selection.notSat.size())
                             .arg(model.questionCount)
                             .arg(model.askCount)));

    // Summary and histogram.
    html += QStringLiteral("<h2>%1</h2>\n<table class=\"summary\">\n").arg(esc(tr("Summary")));
    auto summaryRow = [&](const QString& what, const QString& value) {
        html += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n").arg(esc(what), value);
    };
    summaryRow(tr("Finished reports"), QString::number(stats.students));
    summaryRow(tr("Mean / median"),
               QStringLiteral("%1 % / %2 %").arg(figure(stats.mean, 1), figure(stats.median, 1)));
    summaryRow(tr("Standard deviation"), QStringLiteral("%1 %").arg(figure(stats.sd, 1)));
    summaryRow(tr("Cronbach's alpha"), esc(tr("%1 (over %2 questions every student sat)")
                                               .arg(figure(stats.alpha, 3))
                                               .arg(stats.alphaQuestions)));
    summaryRow(tr("Standard error of measurement"),
               QStringLiteral("%1 %").arg(figure(stats.sem, 1)));
    QStringList grades;
    for (const auto& [grade, count] : stats.grades) {
        grades << QStringLiteral("%1: %2").arg(esc(gradeName(grade))).arg(count);
    }
    summaryRow(tr("Grades"), grades.join(QStringLiteral(", ")));
    html += QStringLiteral("</table>\n");
    html += histogram(finished);

    // Gradebook, by name: the counted reports, those cut short and those
    // with no question answered.
    std::vector<const qd::ParsedReport*> listed;
    for (const auto* part : {&selection.counted, &selection.unfinished, &selection.notSat}) {
        for (const qd::NamedReport& r : *part) {
            listed.push_back(&r.report);
        }
    }
    std::vector<std::size_t> order(listed.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::vector<QList<int>> keys;
    for (std::size_t i = 0; i < order.size(); ++i) {
        keys.push_back(alphabetKey(fromTestText(listed[i]->studentName)));
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    html += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(esc(tr("Gradebook")));
    html += headRow({{QStringLiteral("#"), false},
                     {tr("Student"), true},
                     {tr("Date"), true},
                     {tr("Points"), false},
                     {tr("Max"), false},
                     {QStringLiteral("%"), false},
                     {tr("Time"), false},
                     {tr("Grade"), true}});
    int n = 0;
    for (std::size_t i : order) {
        const qd::ParsedReport& r = *listed[i];
        const QString date = QStringLiteral("%1.%2.%3 %4:%5")
                                 .arg(r.day, 2, 10, QLatin1Char('0'))
                                 .arg(r.month, 2, 10, QLatin1Char('0'))
                                 .arg(r.year)
                                 .arg(r.hour, 2, 10, QLatin1Char('0'))
                                 .arg(r.minute, 2, 10, QLatin1Char('0'));
        if (qd::notSat(r)) {
            html +=
                QStringLiteral("<tr class=\"unfinished\"><td>%1</td><td class=\"text\">%2</td>"
                               "<td class=\"text date\">%3</td><td></td><td></td><td></td>"
                               "<td></td><td class=\"text\">%4</td></tr>\n")
                    .arg(++n)
                    .arg(testText(r.studentName), date, esc(tr("not sat (no question answered)")));
        } else if (r.finished) {
            html += QStringLiteral(
                        "<tr><td>%1</td><td class=\"text\">%2</td><td class=\"text "
                        "date\">%3</td><td>%4</td>"
                        "<td>%5</td><td>%6</td><td>%7:%8</td><td class=\"text\">%9</td></tr>\n")
                        .arg(++n)
                        .arg(testText(r.studentName), date, QString::fromStdString(r.scoreText))
                        .arg(r.maxScore)
                        .arg(r.percent)
                        .arg(r.minutes)
                        .arg(r.seconds, 2, 10, QLatin1Char('0'))
                        .arg(testText(r.grade));
        } else {
            double sofar = 0.0;
            for (const qd::ReportRow& row : r.rows) {
                sofar += row.points;
            }
            html += QStringLiteral(
                        "<tr class=\"unfinished\"><td>%1</td><td class=\"text\">%2</td>"
                        "<td class=\"text date\">%3</td><td>%4</td><td></td><td></td><td></td>"
                        "<td class=\"text\">%5</td></tr>\n")
                        .arg(++n)
                        .arg(testText(r.studentName), date,
                             QString::fromStdString(qd::twoDecimals(sofar)),
                             esc(tr("report stops after %1 questions").arg(r.rows.size())));
        }
    }
    html += QStringLiteral("</tbody>\n</table>\n");
    if (!selection.repeated.empty()) {
        html += QStringLiteral("<h2>%1</h2>\n<p class=\"note\">%2</p>\n<table>\n")
                    .arg(esc(tr("Repeated names")),
                         esc(tr("One report a student is counted: the %1.")
                                 .arg(QString::fromLatin1(
                                     qd::attemptRuleName(attemptRule(cl.parser()))))));
        html += headRow({{tr("Student"), true}, {tr("Reports"), false}, {tr("Counted"), true}});
        for (const qd::RepeatedStudent& r : selection.repeated) {
            html += QStringLiteral("<tr><td class=\"text\">%1</td><td>%2</td><td "
                                   "class=\"text\">%3</td></tr>\n")
                        .arg(testText(r.student))
                        .arg(r.reports)
                        .arg(esc(QString::fromStdString(r.taken)));
        }
        html += QStringLiteral("</tbody>\n</table>\n");
    }

    // Item table.
    html += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(esc(tr("Questions")));
    html += headRow({{tr("Question"), false},
                     {tr("Type"), false},
                     {tr("Mark"), false},
                     {tr("Sat"), false},
                     {tr("Facility %"), false},
                     {tr("SD"), false},
                     {tr("Discrimination"), false},
                     {tr("Efficiency %"), false},
                     {tr("Flags"), true}});
    for (const qd::QuestionStats& q : stats.questions) {
        QStringList flags;
        for (const std::string& f : q.flags) {
            flags << esc(QString::fromStdString(f));
        }
        html += QStringLiteral(
                    "<tr%1><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td>"
                    "<td>%8</td><td>%9</td>")
                    .arg(flags.isEmpty() ? QString() : QStringLiteral(" class=\"flagged\""))
                    .arg(q.question)
                    .arg(q.type)
                    .arg(q.mark)
                    .arg(q.sat)
                    .arg(figure(q.facility, 1), figure(q.sd, 2), figure(q.discrimination, 1),
                         figure(q.efficiency, 1));
        html += QStringLiteral("<td class=\"text\">%1</td></tr>\n")
                    .arg(flags.join(QStringLiteral(", ")));
    }
    html += QStringLiteral("</tbody>\n</table>\n<p class=\"note\">%1</p>\n")
                .arg(esc(tr("Facility: mean points / mark. "
                            "Discrimination: 100 × the correlation of a question's points with "
                            "the rest of the test. Efficiency: that covariance over the largest "
                            "possible. Standard deviations divide by n − 1; “-” is undefined "
                            "(too few students, no spread). Flags: efficiency under 15 %, "
                            "negative discrimination, facility over 95 % or under 5 %.")));

    // Options chosen in the choice questions, the keyed ones in bold.
    QString options;
    for (const qd::QuestionStats& q : stats.questions) {
        if (!q.choice || q.sat == 0) {
            continue;
        }
        const qd::Question& mq = model.questions[std::size_t(q.question - 1)];
        options += QStringLiteral("<table>\n<caption>%1</caption>\n")
                       .arg(esc(tr("Question %1 (%2 students)").arg(q.question).arg(q.sat)));
        options += headRow({{tr("Option"), false}, {tr("Chosen"), false}, {tr("Share"), true}});
        for (const auto& [option, times] : q.options) {
            const bool key =
                std::find(mq.correctAnswers.begin(),
                          mq.correctAnswers.begin() +
                              std::clamp(mq.correctCount, 0, qd::kMaxAnswers),
                          option) !=
                mq.correctAnswers.begin() + std::clamp(mq.correctCount, 0, qd::kMaxAnswers);
            const double share = q.sat > 0 ? 100.0 * times / q.sat : 0.0;
            options += QStringLiteral(
                           "<tr%1><td>%2%3</td><td>%4</td><td class=\"text\"><span class=\"share\" "
                           "style=\"width:%5mm\"></span> %6 %</td></tr>\n")
                           .arg(key ? QStringLiteral(" class=\"key\"") : QString())
                           .arg(option)
                           .arg(key ? QStringLiteral(" ✓") : QString())
                           .arg(times)
                           .arg(QString::number(std::min(share, 100.0) * 0.3, 'f', 1))
                           .arg(QString::number(share, 'f', 0));
        }
        options += QStringLiteral("</tbody>\n</table>\n");
    }
    if (!options.isEmpty()) {
        html += QStringLiteral("<h2>%1</h2>\n<p class=\"note\">%2</p>\n<div "
                               "class=\"options\">\n%3</div>\n")
                    .arg(esc(tr("Options chosen")),
                         esc(tr("Options by their number in the test file; ✓ marks the key of "
                                "the test in the folder given. Share: of the students who sat "
                                "the question.")),
                         options);
    }
    html += QStringLiteral("</body>\n</html>\n");

    const QString path = cl.parser().value(htmlOption);
    const QByteArray bytes = html.toUtf8();
    if (qd::Status s = qd::writeWholeFile(
            pathOf(path), std::string_view(bytes.constData(), std::size_t(bytes.size())));
        !s.ok()) {
        printError(tr("cannot write %1: %2").arg(path, QString::fromStdString(s.fault().message)));
        return kExitFault;
    }
    return kExitOk;
}

} // namespace qdtool
