// quizdesk_maxtest DIR: writes the generated maximal test into DIR, for
// measuring the tool on it (bench/run.sh).

#include "MaxTestGenerator.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quizdesk_maxtest DIR\n");
        return 2;
    }
    const qdbench::GeneratedTest test = qdbench::generateMaxTest();
    if (!qdbench::writeTest(test, argv[1])) {
        std::fprintf(stderr, "quizdesk_maxtest: cannot write into %s\n", argv[1]);
        return 1;
    }
    std::printf("voprosi.txt %zu bytes, otveti.txt %zu bytes\n", test.voprosi.size(),
                test.otveti.size());
    return 0;
}
