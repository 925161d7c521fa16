#pragma once

// Questions read from an exchange format (GIFT, Moodle XML, Aiken) before
// they become a QuizDesk test, and what could not be carried over. The
// readers fill it with what the source says; BankToTest decides what
// QuizDesk can hold and lists the rest.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace qdtool {

// Something of the source that the test will not hold as the source meant
// it: where it stands, which question, and what is lost.
struct Loss
{
    int line = 0;
    QString question; // the question's name, or its first words
    QString what;
};

struct BankOption
{
    QString text;
    double fraction = 0; // percent of the question's points; 100 = right
};

struct BankPicture
{
    QString name; // as the source names it, with its extension
    QByteArray bytes;
};

struct BankQuestion
{
    enum class Kind {
        Choice,      // options, each with its fraction (true/false too)
        ShortAnswer, // typed; options are the accepted answers
        Matching,    // pairs
        Ordering,    // options in the right order
        Unsupported  // sourceType says what it is
    };
    Kind kind = Kind::Unsupported;
    QString sourceType; // the source's own word: "multichoice", "essay", ...
    int line = 0;
    QString name;
    QString category;
    QString stem;
    bool singleAnswer = true; // Choice: one option is picked
    bool caseSensitive = false;
    std::vector<BankOption> options;
    std::vector<std::pair<QString, QString>> pairs; // an empty left is a spare right
    std::optional<double> points;
    int orderingGrading = 0; // Moodle ordering: 0 = each item in its place
    std::vector<BankPicture> pictures;
    QStringList notes; // losses the reader saw (lost markup, extra pictures)

    // The name the loss list shows: the source's name, else the stem's start.
    QString label() const;
};

// The settings of an exported QuizDesk test, carried in the file's comments
// so that a round trip restores the header; absent in other files.
struct CarriedHeader
{
    QStringList values; // the twenty header items as written, in order
};

struct QuestionBank
{
    std::vector<BankQuestion> questions;
    std::vector<Loss> losses; // parts the reader could not read at all
    std::optional<CarriedHeader> header;
};

// Readers. Each takes the file's text (UTF-8 already decoded) and never
// fails: what it cannot read becomes a loss with its line.
QuestionBank readGift(const QString& text);
QuestionBank readAiken(const QString& text);
QuestionBank readMoodleXml(const QByteArray& bytes);

// HTML of a question or answer as plain text: tags dropped (a <br>, </p> or
// </div> becomes a line break), entities decoded, blanks squeezed.
QString htmlToText(const QString& html);

// The comment line that carries a header, shared by the writers and readers.
inline constexpr const char* kHeaderComment = "quizdesk-header:";

} // namespace qdtool
