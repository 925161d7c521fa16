#include "DryRunView.h"

#include "ToolSupport.h"

#include "definition/Cp1251.h"

namespace qdtool {

namespace {

// The strips at the window's bottom edge, as the window lays them out.
constexpr int kStatusStripHeight = 100;
constexpr int kAnswerStripHeight = 50;

} // namespace

DryRunView::DryRunView(const qd::TestModel& model, int width, int height,
                       std::filesystem::path pictureDir)
    : QuestionScreen(model, width, height, std::move(pictureDir))
{
}

void DryRunView::start(Timer& timer, bool running)
{
    timer.running = running;
    timer.next = now + timer.period;
}

bool DryRunView::reachesScreen(int x, int y) const
{
    if (!questionScreen || results) {
        return false;
    }
    if (x < 0 || y < 0 || x >= width() || y >= height()) {
        return false;
    }
    int strips = kStatusStripHeight;
    if (answerBox) {
        strips += kAnswerStripHeight;
    }
    if (y >= height() - strips) {
        return false;
    }
    return !pictureRect().contains(x, y);
}

void DryRunView::message(const std::string& text)
{
    writeOut("message " + messageLine(text) + '\n');
}

void DryRunView::pictureFault(const qd::Fault& fault)
{
    if (!fatal) {
        fatal = fault;
    }
}

QByteArray messageLine(const std::string& cp1251)
{
    const std::string utf8 = qd::fromCp1251(cp1251);
    QByteArray out;
    for (const char c : utf8) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace qdtool
