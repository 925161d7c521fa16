#pragma once

// Tiny test files for the loader's tests, written in UTF-8 and converted to
// code page 1251: a header of twenty items (each replaceable) and a load
// with a fixed character width.

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace qdtest {

constexpr int kTestCharW = 8;

// The values of the twenty header items, in header order.
using HeaderValues = std::array<std::string, 20>;

// Two questions in one section, both asked; font 16, not bold.
inline HeaderValues defaultHeader(int nq = 2)
{
    const std::string n = std::to_string(nq);
    return {"Хімія", "Кислоти", n,    "1", "1",   n,     "16",  "0", "60", "10",
            "60",    "75",      "90", "0", "300", "600", "900", "0", "0",  "0"};
}

// The header as an examiner writes it: "label: value" lines, the two texts
// closed by "#". The first label begins with the letters a scrambled
// answers file starts with; no label holds a colon or the mark of question 1.
inline std::string headerText(const HeaderValues& v)
{
    static const char* const labels[20] = {"Назва дисципліни",
                                           "Тест",
                                           "Питань",
                                           "Розділів",
                                           "Перші питання розділів",
                                           "Задавати",
                                           "Шрифт",
                                           "Жирний",
                                           "Секунд на питання",
                                           "Хвилин на тест",
                                           "Задовільно від",
                                           "Добре від",
                                           "Відмінно від",
                                           "Оцінка за часом",
                                           "Відмінно до",
                                           "Добре до",
                                           "Задовільно до",
                                           "Розділи випадково",
                                           "Питання випадково",
                                           "Відповіді випадково"};
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out += std::string(labels[i]) + ": " + v[i] + (i < 2 ? "#" : "") + "\r\n";
    }
    return out;
}

// The header with some items replaced: {index 0..19, value}.
inline std::string headerWith(std::vector<std::pair<int, std::string>> changes, int nq = 2)
{
    HeaderValues v = defaultHeader(nq);
    for (auto& [i, value] : changes) {
        v[std::size_t(i)] = value;
    }
    return headerText(v);
}

inline qd::LoadResult loadUtf8(const std::string& questions, const std::string& answers,
                               int width = 1024, int height = 768)
{
    return qd::loadTestBytes(qd::toCp1251(questions), qd::toCp1251(answers), {0, 0, width, height},
                             [](int, bool) { return kTestCharW; });
}

// The loaded model, or nullptr (the fault is then reported by gtest).
inline const qd::TestModel* modelOf(const qd::LoadResult& r)
{
    if (!r.ok()) {
        ADD_FAILURE() << "load failed: " << r.fault().utf8();
        return nullptr;
    }
    return r.value().get();
}

// The fault's message in UTF-8, or "" when the load succeeded.
inline std::string faultOf(const qd::LoadResult& r)
{
    return r.ok() ? std::string() : r.fault().utf8();
}

} // namespace qdtest
