#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qd {

// Capacities of a test. Storage is sized to what a question really uses;
// these are the limits the loader enforces with their messages.
constexpr int kMaxQuestions = 5000;
constexpr int kMaxAnswers = 50; // options (or cells of a column) per question
constexpr int kMaxColumns = 10; // columns of a matching question
constexpr int kMaxGroups = 49;  // groups of types 4 and 6
constexpr int kMaxGroupNumbers = 30;
constexpr int kMaxTextLength = 3998;
constexpr int kMaxTypedKeys = 49; // typed type-6 answer strings
constexpr int kMaxTypedKeyLength = 8;
// The answers file's type number of a typed question with several accepted
// spellings, separated by kAcceptedSeparator between its slashes.
constexpr int32_t kTypedAlternativesNumber = 7;
constexpr char kAcceptedSeparator = '|';

// Packed 0x00BBGGRR colours of the question screen and the status shape.
namespace colour {
constexpr uint32_t black = 0x000000;
constexpr uint32_t blue = 0xFF0000;
constexpr uint32_t red = 0x0000FF;
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t silver = 0xC0C0C0;
constexpr uint32_t statusGreen = 0x8000;
constexpr uint32_t statusRed = 0xFF;
} // namespace colour

// One answer option: where its "<" and ">" stand on the question's
// character grid, its text (with the brackets and any CR LF inside), and
// its pixel rectangle relative to the text origin.
struct AnswerSlot
{
    int32_t startRow = 0;
    int32_t startColumn = 0;
    int32_t endRow = 0;
    int32_t endColumn = 0;
    std::string text;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// A column of a matching question (types 4 and 6): copies of the slots of
// its options in text order, and the display order of its cells.
struct Column
{
    std::vector<AnswerSlot> cells;
    std::vector<int32_t> displayOrder; // one per cell; identity after loading

    int rowCount() const { return int(cells.size()); }
};

// A correct group of a matching question, one per row of the first column:
// the row's label letter and the numbers it is matched with.
struct Group
{
    char label = 0;
    int32_t numberCount = 0;
    std::array<int32_t, kMaxGroupNumbers> numbers{};
};

// The kinds of question. The numbers are those of the answers file, the
// report and the dump; typeNumber gives them back.
enum class QuestionType : int32_t {
    SingleChoice = 1,   // one option is picked
    MultipleChoice = 2, // any number of options are picked
    Ordering = 3,       // the options are put in order
    Matching = 4,       // each row of the first column takes rows of the second
    TypedText = 5,      // a text is typed
    MatchingColumns = 6 // each row of the first column takes one row of every further column
};

constexpr int32_t typeNumber(QuestionType type)
{
    return int32_t(type);
}

// Where a question's picture stands. With PictureOnly the options are part
// of the picture and the answer is typed. The numbers are those of the dump;
// pictureModeNumber gives them back.
enum class PictureMode : int32_t { None = 0, WithOptions = 1, PictureOnly = 2 };

constexpr int32_t pictureModeNumber(PictureMode mode)
{
    return int32_t(mode);
}

struct Question
{
    QuestionType type{};
    PictureMode picture = PictureMode::None;
    int32_t stemLength = 0;  // characters of the stem
    int32_t indent = 0;      // pixel x of the stem's first line
    std::string text;        // the stem
    int32_t optionCount = 0; // options in the text
    // The optionCount options in text order. A type-5 question holds one
    // empty slot whose `top` is the window's bottom edge (its answer area is
    // off-screen).
    std::vector<AnswerSlot> options;
    std::array<int32_t, kMaxAnswers> correctAnswers{}; // first correctCount used; 1-based
    std::vector<Column> columns;                       // columnCount columns (types 4, 6)
    std::array<int32_t, kMaxAnswers> displayOrder{};   // display order of the options
    // Correct answers of a choice or ordering question, groups of a matching
    // question, answer strings of a typed type 6.
    int32_t correctCount = 0;
    std::vector<Group> groups; // correctCount groups (types 4, 6)
    std::string expectedText;  // type 5: expected text
    // A typed question written with type number 7 in the answers file (a
    // number the original format refuses, so no older test can hold it by
    // accident): every spelling of acceptedTexts earns the mark, and
    // expectedText is the first of them. Empty for a plain type 5.
    std::vector<std::string> acceptedTexts;
    std::vector<std::string> acceptedStrings; // typed type 6: answer strings
    // Columns of a matching question; for a typed type 6 the length of its
    // answer strings.
    int32_t columnCount = 0;
    int32_t mark = 0;

    // Answered in the typing box rather than with the mouse.
    bool answeredByTyping() const
    {
        return picture == PictureMode::PictureOnly || type == QuestionType::TypedText;
    }
    // The options form one list the student picks from or orders.
    bool pickedFromList() const
    {
        return type == QuestionType::SingleChoice || type == QuestionType::MultipleChoice ||
               type == QuestionType::Ordering;
    }
    bool isChoice() const
    {
        return type == QuestionType::SingleChoice || type == QuestionType::MultipleChoice;
    }
    bool isMatching() const
    {
        return type == QuestionType::Matching || type == QuestionType::MatchingColumns;
    }
};

struct TestModel
{
    // Decoded source texts (not NUL-terminated; size is the length).
    std::string questionsText; // questions, tabs expanded
    std::string answersText;   // answers
    int32_t answersEnd = 0;

    // Header settings, in the order the header holds them.
    std::string subjectName;
    std::string testName;
    int32_t questionCount = 0;
    int32_t sectionCount = 0;
    std::vector<int32_t> sectionStarts;
    int32_t askCount = 0;
    int32_t fontSize = 0;
    int32_t fontBold = 0;
    int32_t questionSeconds = 0;
    int32_t testMinutes = 0;
    int32_t satisfactoryPercent = 0;
    int32_t goodPercent = 0;
    int32_t excellentPercent = 0;
    int32_t gradeByTime = 0;
    int32_t excellentSeconds = 0;
    int32_t goodSeconds = 0;
    int32_t satisfactorySeconds = 0;
    int32_t randomSectionOrder = 0;
    int32_t randomQuestionOrder = 0;
    int32_t randomOptionOrder = 0;
    // Extra settings behind the last answer entry.
    int16_t keyboardLayout = 0;
    std::string reportDir;

    // Display metrics.
    int32_t lineHeight = 0;
    int32_t charWidth = 0;

    std::vector<Question> questions; // questionCount records
};

} // namespace qd
