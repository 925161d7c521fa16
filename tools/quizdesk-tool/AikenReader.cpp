// Aiken: a question on one line, its options "A." or "A)" one per line, and
// "ANSWER: X" closing it; single choice only.

#include "QuestionBank.h"
#include "ToolSupport.h"

#include <QRegularExpression>

namespace qdtool {

QuestionBank readAiken(const QString& text)
{
    static const QRegularExpression option(QStringLiteral("^([A-Z])[.)]\\s+(.*)$"));
    static const QRegularExpression answer(QStringLiteral("^ANSWER:\\s*([A-Z])\\s*$"));
    QuestionBank bank;
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::optional<BankQuestion> current;
    QStringList letters;
    auto lose = [&](int line, const QString& what) {
        bank.losses.push_back(Loss{line, current ? current->label() : QString(), what});
        current.reset();
        letters.clear();
    };
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        if (!current) {
            current = BankQuestion{};
            current->kind = BankQuestion::Kind::Choice;
            current->sourceType = QStringLiteral("multichoice");
            current->line = i + 1;
            current->stem = trimmed;
            continue;
        }
        if (const auto m = option.match(trimmed); m.hasMatch()) {
            letters << m.captured(1);
            current->options.push_back(BankOption{m.captured(2).trimmed(), 0});
            continue;
        }
        if (const auto m = answer.match(trimmed); m.hasMatch()) {
            const qsizetype right = letters.indexOf(m.captured(1));
            if (right < 0) {
                lose(current->line,
                     tr("ANSWER %1 names no option of the question; left out").arg(m.captured(1)));
                continue;
            }
            current->options[std::size_t(right)].fraction = 100;
            bank.questions.push_back(std::move(*current));
            current.reset();
            letters.clear();
            continue;
        }
        if (current->options.empty()) {
            current->stem += QLatin1Char(' ') + trimmed; // a question over several lines
            continue;
        }
        // A question's line behind options: the one before had no ANSWER.
        lose(current->line, tr("no ANSWER line; the question is left out"));
        current = BankQuestion{};
        current->kind = BankQuestion::Kind::Choice;
        current->sourceType = QStringLiteral("multichoice");
        current->line = i + 1;
        current->stem = trimmed;
    }
    if (current) {
        lose(current->line, tr("no ANSWER line; the question is left out"));
    }
    return bank;
}

} // namespace qdtool
