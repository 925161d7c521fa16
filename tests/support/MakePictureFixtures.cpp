// Writes the crafted pictures of tests/fixtures/pictures (the picture
// loader's tests, the measurement of the bomb under bench/ and the seeds of
// the picture fuzzer):
//   make_picture_fixtures DIR
// Each is small and shows one fault or one case of the loader. The output is
// the same on every run; the files are committed, this is how they were made.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<unsigned char>;

struct Picture
{
    int width;
    int height;
    int components;               // 1 grey, 3 RGB, 4 CMYK
    std::vector<JSAMPLE> samples; // rows top to bottom
};

enum class Kind { Baseline, Progressive, ManyScans };

// A valid progressive script of 190 scans: the DC coefficients of all three
// components, then every AC coefficient of each component in a scan of its
// own. No encoder writes that; it costs a pass per scan to read.
std::vector<jpeg_scan_info> manyScans()
{
    std::vector<jpeg_scan_info> scans;
    scans.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int c = 0; c < 3; ++c) {
        for (int k = 1; k < 64; ++k) {
            scans.push_back({1, {c, 0, 0, 0}, k, k, 0, 0});
        }
    }
    return scans;
}

Bytes encode(const Picture& p, J_COLOR_SPACE in, J_COLOR_SPACE stored, Kind kind)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(p.width);
    cinfo.image_height = JDIMENSION(p.height);
    cinfo.input_components = p.components;
    cinfo.in_color_space = in;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, stored);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.optimize_coding = TRUE;
    const std::vector<jpeg_scan_info> script = manyScans();
    if (kind == Kind::Progressive) {
        jpeg_simple_progression(&cinfo);
    } else if (kind == Kind::ManyScans) {
        cinfo.scan_info = script.data();
        cinfo.num_scans = int(script.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(
            &p.samples[std::size_t(cinfo.next_scanline) * std::size_t(p.width * p.components)]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes bytes(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// Left half one colour, right half another (samples as the colour space has
// them).
Picture halves(int w, int h, const std::vector<JSAMPLE>& left, const std::vector<JSAMPLE>& right)
{
    Picture p{w, h, int(left.size()), {}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto& c = x < w / 2 ? left : right;
            p.samples.insert(p.samples.end(), c.begin(), c.end());
        }
    }
    return p;
}

// The offset of the first marker FF code at or after `from`.
std::size_t findMarker(const Bytes& b, unsigned char code, std::size_t from = 0)
{
    for (std::size_t i = from; i + 1 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] == code) {
            return i;
        }
    }
    std::fprintf(stderr, "marker %02X not found\n", code);
    std::exit(1);
}

// Rewrites the frame header's height and width.
void setSize(Bytes& b, unsigned char sof, int width, int height)
{
    const std::size_t at = findMarker(b, sof);
    b[at + 5] = static_cast<unsigned char>(height >> 8);
    b[at + 6] = static_cast<unsigned char>(height);
    b[at + 7] = static_cast<unsigned char>(width >> 8);
    b[at + 8] = static_cast<unsigned char>(width);
}

void put16(Bytes& b, int v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(Bytes& b, int32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, (v >> 16) & 0xFFFF);
}

// A 24-bit Windows bitmap written top-down (negative height): red rows on
// top, blue rows below.
Bytes topDownBmp(int w, int h)
{
    const int stride = (w * 3 + 3) / 4 * 4;
    Bytes b = {'B', 'M'};
    put32(b, 54 + stride * h);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, w);
    put32(b, -h);
    put16(b, 1);
    put16(b, 24);
    put32(b, 0); // BI_RGB
    put32(b, stride * h);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool top = y < h / 2;
            b.push_back(top ? 0 : 255); // B
            b.push_back(0);             // G
            b.push_back(top ? 255 : 0); // R
        }
        for (int pad = w * 3; pad < stride; ++pad) {
            b.push_back(0);
        }
    }
    return b;
}

// An 8-bit run-length bitmap of w x h whose data is only its end code: a
// few dozen bytes for a picture of any size.
Bytes rle8Bomb(int w, int h)
{
    Bytes b = {'B', 'M'};
    const int palette = 2 * 4;
    const int data = 2;
    put32(b, 54 + palette + data);
    put32(b, 0);
    put32(b, 54 + palette);
    put32(b, 40);
    put32(b, w);
    put32(b, h);
    put16(b, 1);
    put16(b, 8);
    put32(b, 1); // BI_RLE8
    put32(b, data);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 2); // colours used
    put32(b, 0);
    for (const unsigned char grey : {0, 255}) {
        b.insert(b.end(), {grey, grey, grey, 0});
    }
    b.insert(b.end(), {0x00, 0x01}); // end of bitmap
    return b;
}

void save(const std::string& dir, const char* name, const Bytes& b)
{
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", name);
        std::exit(1);
    }
    std::printf("%s %zu bytes\n", name, b.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_picture_fixtures DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Picture flag = halves(64, 48, {0, 0, 255}, {255, 255, 0}); // blue | yellow

    // A progressive picture of 8 x 8 whose frame header claims 27,000 (and
    // 60,000) pixels a side: libjpeg would set aside the coefficients of the
    // whole claimed picture (2.3 GB, 10 GB) before the data runs out.
    const Bytes tiny =
        encode(halves(8, 8, {200}, {40}), JCS_GRAYSCALE, JCS_GRAYSCALE, Kind::Progressive);
    Bytes bomb = tiny;
    setSize(bomb, 0xC2, 27000, 27000);
    save(dir, "bomb-27000.jpg", bomb);
    bomb = tiny;
    setSize(bomb, 0xC2, 60000, 60000);
    save(dir, "bomb-60000.jpg", bomb);

    // Whole pictures that libjpeg warns about: two stray bytes before a
    // marker; the end marker missing.
    const Bytes whole = encode(flag, JCS_RGB, JCS_YCbCr, Kind::Baseline);
    Bytes stray = whole;
    const std::size_t sof = findMarker(stray, 0xC0);
    stray.insert(stray.begin() + std::ptrdiff_t(sof), {0x12, 0x34});
    save(dir, "stray-bytes.jpg", stray);
    save(dir, "no-end-marker.jpg", Bytes(whole.begin(), whole.end() - 2));

    // Data that ends early: a progressive picture cut inside its last scan.
    const Bytes progressive = encode(flag, JCS_RGB, JCS_YCbCr, Kind::Progressive);
    std::size_t lastScan = 0;
    for (std::size_t i = 0; i + 1 < progressive.size(); ++i) {
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA) {
            lastScan = i;
        }
    }
    const std::size_t data =
        lastScan + 2 + std::size_t(progressive[lastScan + 2] << 8 | progressive[lastScan + 3]);
    const std::size_t cut = data + (progressive.size() - 2 - data) / 2;
    save(dir, "cut-progressive.jpg",
         Bytes(progressive.begin(), progressive.begin() + std::ptrdiff_t(cut)));

    save(dir, "many-scans.jpg", encode(flag, JCS_RGB, JCS_YCbCr, Kind::ManyScans));

    // Other colour models: grey (black | white) and CMYK with Adobe's
    // inverted inks (red | blue), stored as CMYK and as YCCK.
    save(dir, "grey.jpg",
         encode(halves(32, 16, {0}, {255}), JCS_GRAYSCALE, JCS_GRAYSCALE, Kind::Baseline));
    const Picture inks = halves(32, 16, {255, 0, 0, 255}, {0, 0, 255, 255});
    save(dir, "cmyk.jpg", encode(inks, JCS_CMYK, JCS_CMYK, Kind::Baseline));
    save(dir, "ycck.jpg", encode(inks, JCS_CMYK, JCS_YCCK, Kind::Baseline));

    // A bitmap stored top-down.
    save(dir, "top-down.bmp", topDownBmp(6, 4));
    // A run-length bitmap of 8,192 x 4,096 pixels in 64 bytes: within the
    // size limits, but read as 8-bit and converted it needs 160 MB.
    save(dir, "bomb-rle8.bmp", rle8Bomb(8192, 4096));
    return 0;
}
