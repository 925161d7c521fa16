#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qd {

// Capacities of a test. Storage is sized to what a question really uses;
// these are the limits the loader enforces with their messages.
constexpr int kMaxQuestions = 5000;
constexpr int kMaxAnswers = 50;     // options per question (MAXNANS)
constexpr int kMaxColumns = 10;     // columns of a matching question
constexpr int kMaxGroups = 49;      // groups of types 4 and 6
constexpr int kMaxGroupNumbers = 30;
constexpr int kMaxTextLength = 3998;
constexpr int kMaxTypedKeys = 49;   // typed type-6 answer strings
constexpr int kMaxTypedKeyLength = 8;

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
    int32_t row1 = 0;
    int32_t col1 = 0;
    int32_t row2 = 0;
    int32_t col2 = 0;
    std::string str;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// A column of a matching question (types 4 and 6): copies of the slots of
// its options in text order, and the display order of its cells.
struct Column
{
    int16_t nrow = 0;
    std::vector<AnswerSlot> cell; // nrow entries
    std::vector<int32_t> cord;    // nrow entries; identity after loading
};

// A correct group of a matching question, one per row of the first column.
struct Group
{
    char lbl = 0;
    int32_t cnt = 0;
    std::array<int32_t, kMaxGroupNumbers> numbers{};
};

struct Question
{
    int32_t type = 0;   // 1..6
    int32_t graph = 0;  // 0 none, 1 picture + options, 2 picture only (typed)
    int32_t lenq = 0;   // characters of the stem
    int32_t indent = 0; // pixel x of the stem's first line
    std::string text;   // the stem
    int32_t nans = 0;   // options in the text
    // The nans options in text order. A type-5 question holds one empty slot
    // whose `top` is the window's bottom edge (its answer area is off-screen).
    std::vector<AnswerSlot> ans;
    std::array<int32_t, kMaxAnswers> rans{}; // first nrans used; 1-based
    std::vector<Column> col;                 // ncol columns (types 4, 6)
    std::array<int32_t, kMaxAnswers> ord{};  // display order of the options
    int32_t nrans = 0;
    std::vector<Group> grp;                  // nrans groups (types 4, 6)
    std::string tans;                        // type 5: expected text
    std::vector<std::string> sans;           // typed type 6: answer strings
    int32_t ncol = 0;
    int32_t mark = 0;
};

struct TestModel
{
    // Decoded source texts (not NUL-terminated; size is the length).
    std::string bufV; // questions, tabs expanded
    std::string bufO; // answers
    int32_t posO_end = 0;

    // Header settings, in the order the header holds them.
    std::string disc_name;
    std::string test_name;
    int32_t nq_total = 0;
    int32_t nsect = 0;
    std::vector<int32_t> nqr;
    int32_t nq_ask = 0;
    int32_t font_size = 0;
    int32_t font_bold = 0;
    int32_t t_quest = 0;
    int32_t t_test = 0;
    int32_t pc_sat = 0;
    int32_t pc_good = 0;
    int32_t pc_exc = 0;
    int32_t by_time = 0;
    int32_t t_exc = 0;
    int32_t t_good = 0;
    int32_t t_sat = 0;
    int32_t rnd_sect = 0;
    int32_t rnd_quest = 0;
    int32_t rnd_ans = 0;
    // Extra settings behind the last answer entry.
    int16_t kb_layout = 0;
    std::string rez_dir;

    // Display metrics.
    int32_t line_h = 0;
    int32_t char_w = 0;

    std::vector<Question> stq; // nq_total records
};

} // namespace qd
