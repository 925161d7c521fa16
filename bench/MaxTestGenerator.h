#pragma once

#include <string>
#include <vector>

namespace qdbench {

// A test at the limits: 5000 questions of every type and picture mode
// (options in columns, 50-option questions, long multi-line stems, typed
// keys), both files scrambled, several megabytes. Deterministic.
struct GeneratedTest
{
    std::string voprosi;
    std::string otveti;
    std::vector<int> pictures; // the questions with a picture (#&)
};

GeneratedTest generateMaxTest();

// The same kinds of question, `questions` of them in sections of a
// thousand, `asked` asked in a run; scrambled likewise. The maximal test is
// generateTest(5000, 100).
GeneratedTest generateTest(int questions, int asked);

// Writes voprosi.txt, otveti.txt and a tiny N.bmp for every picture
// question into dir, so that the test passes quizdesk-tool check; false
// on failure.
bool writeTest(const GeneratedTest& test, const std::string& dir);

} // namespace qdbench
