// image_diff A B [X Y W H]: compares two pictures (any format Qt reads: the
// PNG files of the preview, the PPM screenshots of x11_assist) pixel by
// pixel, in colour without alpha. With a rectangle, A's pixels from (X, Y)
// are compared with B's from (0, 0), so a screenshot of the whole screen can
// be held against a picture of one window. Prints "equal", or the number of
// pixels that differ and the box around them; exit 0 when equal, 1 when
// not, 2 when a picture cannot be read or the sizes do not fit.
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 7) {
        std::fprintf(stderr, "usage: image_diff A B [X Y W H]\n");
        return 2;
    }
    const QImage a = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage b = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (a.isNull() || b.isNull()) {
        std::fprintf(stderr, "image_diff: cannot read %s\n", a.isNull() ? argv[1] : argv[2]);
        return 2;
    }
    int x0 = 0, y0 = 0, w = b.width(), h = b.height();
    if (argc == 7) {
        x0 = std::atoi(argv[3]);
        y0 = std::atoi(argv[4]);
        w = std::atoi(argv[5]);
        h = std::atoi(argv[6]);
    } else if (a.size() != b.size()) {
        std::printf("sizes differ: %dx%d and %dx%d\n", a.width(), a.height(), b.width(),
                    b.height());
        return 1;
    }
    if (x0 < 0 || y0 < 0 || w < 1 || h < 1 || x0 + w > a.width() || y0 + h > a.height() ||
        w > b.width() || h > b.height()) {
        std::fprintf(stderr, "image_diff: the rectangle does not fit the pictures\n");
        return 2;
    }
    long differ = 0;
    int left = w, top = h, right = -1, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y0 + y)) + x0;
        const QRgb* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if ((ra[x] & 0xFFFFFFu) != (rb[x] & 0xFFFFFFu)) {
                ++differ;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (differ == 0) {
        std::printf("equal\n");
        return 0;
    }
    std::printf("%ld pixels differ, within x %d..%d, y %d..%d\n", differ, left, right, top, bottom);
    return 1;
}
