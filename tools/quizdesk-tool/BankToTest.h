#pragma once

// Turns questions read from an exchange format into the two files of a
// QuizDesk test (code page 1251, CR LF) and its pictures, listing every
// part that the test cannot hold as the source meant it.

#include "QuestionBank.h"

#include <string>
#include <vector>

namespace qdtool {

struct TestPicture
{
    std::string fileName; // "n.jpg" or "n.bmp"
    QByteArray bytes;
};

struct WrittenTest
{
    std::string questions; // voprosi.txt, plain
    std::string answers;   // otveti.txt, plain
    std::vector<TestPicture> pictures;
    std::vector<Loss> losses;
    int questionCount = 0;
};

// testName names the test in the header when the source carries no header
// of its own (the imported file's base name).
WrittenTest bankToTest(const QuestionBank& bank, const QString& testName);

} // namespace qdtool
