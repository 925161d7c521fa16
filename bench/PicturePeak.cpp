// The peak memory of loading one question picture the way the program does
// (the file "1.jpg" or "1.bmp" in a folder), measured by getrusage:
//   quizdesk_picture_peak DIR
// Prints whether the picture was taken, the peak resident memory of the
// whole process before and after the load, and their difference.

#include "screen/PictureLoader.h"

#include <cstdio>
#include <variant>

#include <sys/resource.h>

namespace {

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quizdesk_picture_peak DIR\n");
        return 2;
    }
    const long before = peakKb();
    const auto picture = qd::loadQuestionPicture(argv[1], 1);
    const long after = peakKb();
    if (const auto* image = std::get_if<QImage>(&picture)) {
        std::printf("taken %dx%d", image->width(), image->height());
    } else {
        std::printf("refused");
    }
    std::printf(", peak %ld kB (%ld kB before the load, +%ld kB)\n", after, before, after - before);
    return 0;
}
