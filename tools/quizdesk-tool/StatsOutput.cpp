#include "StatsOutput.h"

#include "ToolSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace qdtool {

namespace {

// JSON figures keep four decimals: enough for any use, and stable text.
QJsonValue jsonFigure(const std::optional<double>& v)
{
    if (!v) {
        return QJsonValue(QJsonValue::Null);
    }
    return std::round(*v * 1e4) / 1e4;
}

QString optionsText(const qd::QuestionStats& q)
{
    QStringList parts;
    for (const auto& [option, times] : q.options) {
        parts << QStringLiteral("%1:%2").arg(option).arg(times);
    }
    return parts.join(QLatin1Char(' '));
}

QString csvField(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n'))) {
        text.replace(QLatin1String("\""), QLatin1String("\"\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QString csvFigure(const std::optional<double>& v)
{
    return v ? QString::number(std::round(*v * 1e4) / 1e4) : QString();
}

} // namespace

QString figure(const std::optional<double>& v, int decimals)
{
    return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
}

QString gradeName(const std::string& cp1251)
{
    return fromTestText(cp1251);
}

ListedApart listedApart(const qd::ReportSelection& selection, qd::AttemptRule rule)
{
    ListedApart out;
    for (const qd::NamedReport& r : selection.notSat) {
        out.notSat.push_back(r.report.studentName);
    }
    out.repeated = selection.repeated;
    out.rule = rule;
    return out;
}

QByteArray statsTable(const qd::TestStats& stats, const ListedApart& apart)
{
    QString out;
    out += tr("students %1   mean %2 %   median %3 %   sd %4 %   alpha %5 (%6 "
              "questions)   sem %7 %\n")
               .arg(stats.students)
               .arg(figure(stats.mean, 1), figure(stats.median, 1), figure(stats.sd, 1),
                    figure(stats.alpha, 3))
               .arg(stats.alphaQuestions)
               .arg(figure(stats.sem, 1));
    QStringList grades;
    for (const auto& [grade, count] : stats.grades) {
        grades << QStringLiteral("%1 %2").arg(gradeName(grade)).arg(count);
    }
    out += tr("grades   %1\n").arg(grades.join(QStringLiteral(", ")));
    if (!apart.notSat.empty()) {
        QStringList names;
        for (const std::string& n : apart.notSat) {
            names << fromTestText(n);
        }
        out += tr("not sat  %1 (no question answered: in no figure)\n")
                   .arg(names.join(QStringLiteral(", ")));
    }
    if (!apart.repeated.empty()) {
        QStringList names;
        for (const qd::RepeatedStudent& r : apart.repeated) {
            names << tr("%1 (%2 reports, counted %3)")
                         .arg(fromTestText(r.student))
                         .arg(r.reports)
                         .arg(QString::fromStdString(r.taken));
        }
        out += tr("repeated %1; one attempt each: %2\n")
                   .arg(names.join(QStringLiteral(", ")),
                        QString::fromLatin1(qd::attemptRuleName(apart.rule)));
    }
    out += QLatin1Char('\n');

    // The column headings of the item table; a column is as wide as its
    // heading in the reader's language.
    const QStringList head = {tr("question"),  tr("type"), tr("mark"),     tr("sat"),
                              tr("facility%"), tr("sd"),   tr("discrim."), tr("effic.%")};
    int widths[] = {8, 4, 4, 5, 9, 6, 8, 7};
    for (int i = 0; i < head.size(); ++i) {
        widths[i] = std::max(widths[i], int(head[i].size()));
    }
    auto line = [&](const QStringList& cells, const QString& tail) {
        QString l;
        for (int i = 0; i < cells.size(); ++i) {
            l += cells[i].rightJustified(widths[i]) + QStringLiteral("  ");
        }
        return l + tail + QLatin1Char('\n');
    };
    out += line(head, tr("flags"));
    for (const qd::QuestionStats& q : stats.questions) {
        out += line({QString::number(q.question), QString::number(q.type), QString::number(q.mark),
                     QString::number(q.sat), figure(q.facility, 1), figure(q.sd, 2),
                     figure(q.discrimination, 1), figure(q.efficiency, 1)},
                    QString::fromStdString([&] {
                        std::string f;
                        for (const std::string& s : q.flags) {
                            f += (f.empty() ? "" : " ") + s;
                        }
                        return f;
                    }()));
    }
    bool heading = false;
    for (const qd::QuestionStats& q : stats.questions) {
        if (!q.choice || q.sat == 0) {
            continue;
        }
        if (!heading) {
            out += tr("\noptions chosen (option:times)\n");
            heading = true;
        }
        out += QStringLiteral("%1  %2\n")
                   .arg(QString::number(q.question).rightJustified(widths[0]), optionsText(q));
    }
    return out.toUtf8();
}

QByteArray statsCsv(const qd::TestStats& stats)
{
    QString out = QStringLiteral(
        "question,type,mark,sat,facility,sd,discrimination,efficiency,flags,options\n");
    for (const qd::QuestionStats& q : stats.questions) {
        QStringList flags;
        for (const std::string& s : q.flags) {
            flags << QString::fromStdString(s);
        }
        out += QStringList{QString::number(q.question),
                           QString::number(q.type),
                           QString::number(q.mark),
                           QString::number(q.sat),
                           csvFigure(q.facility),
                           csvFigure(q.sd),
                           csvFigure(q.discrimination),
                           csvFigure(q.efficiency),
                           csvField(flags.join(QLatin1Char(' '))),
                           csvField(optionsText(q))}
                   .join(QLatin1Char(','));
        out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

QByteArray statsJson(const qd::TestStats& stats, const ListedApart& apart)
{
    QJsonObject root;
    root.insert(QStringLiteral("students"), stats.students);
    root.insert(QStringLiteral("mean"), jsonFigure(stats.mean));
    root.insert(QStringLiteral("median"), jsonFigure(stats.median));
    root.insert(QStringLiteral("sd"), jsonFigure(stats.sd));
    root.insert(QStringLiteral("alpha"), jsonFigure(stats.alpha));
    root.insert(QStringLiteral("sem"), jsonFigure(stats.sem));
    QJsonObject grades;
    for (const auto& [grade, count] : stats.grades) {
        grades.insert(gradeName(grade), count);
    }
    root.insert(QStringLiteral("grades"), grades);
    QJsonArray questions;
    for (const qd::QuestionStats& q : stats.questions) {
        QJsonObject o;
        o.insert(QStringLiteral("question"), q.question);
        o.insert(QStringLiteral("sat"), q.sat);
        o.insert(QStringLiteral("facility"), jsonFigure(q.facility));
        o.insert(QStringLiteral("sd"), jsonFigure(q.sd));
        o.insert(QStringLiteral("discrimination"), jsonFigure(q.discrimination));
        o.insert(QStringLiteral("efficiency"), jsonFigure(q.efficiency));
        QJsonArray flags;
        for (const std::string& s : q.flags) {
            flags.append(QString::fromStdString(s));
        }
        o.insert(QStringLiteral("flags"), flags);
        if (q.choice) {
            QJsonObject options;
            for (const auto& [option, times] : q.options) {
                options.insert(QString::number(option), times);
            }
            o.insert(QStringLiteral("options"), options);
        } else {
            o.insert(QStringLiteral("options"), QJsonValue(QJsonValue::Null));
        }
        questions.append(o);
    }
    root.insert(QStringLiteral("questions"), questions);
    root.insert(QStringLiteral("attempt"), QString::fromLatin1(qd::attemptRuleName(apart.rule)));
    QJsonArray notSat;
    for (const std::string& n : apart.notSat) {
        notSat.append(fromTestText(n));
    }
    root.insert(QStringLiteral("notSat"), notSat);
    QJsonArray repeated;
    for (const qd::RepeatedStudent& r : apart.repeated) {
        QJsonObject o;
        o.insert(QStringLiteral("student"), fromTestText(r.student));
        o.insert(QStringLiteral("reports"), r.reports);
        o.insert(QStringLiteral("counted"), QString::fromStdString(r.taken));
        repeated.append(o);
    }
    root.insert(QStringLiteral("repeated"), repeated);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace qdtool
