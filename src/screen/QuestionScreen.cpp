#include "screen/QuestionScreen.h"

#include "screen/PictureLoader.h"

#include <algorithm>
#include <utility>

namespace qd {

namespace {

// Picture questions hang 10 pixels below the window's top edge.
constexpr int kPictureTop = 10;

} // namespace

QuestionScreen::QuestionScreen(const TestModel& model, int width, int height,
                               std::filesystem::path pictureDir)
    : model_(model),
      pictureDir_(std::move(pictureDir)),
      bitmap_(width, height)
{
    bitmap_.setTestFont(model.fontSize, model.fontBold != 0, model.lineHeight);
}

int QuestionScreen::displayQuestion(int q)
{
    const Question& question = model_.questions.at(std::size_t(q));
    paintHold_ = false;
    picture_ = QImage();
    pictureRect_ = QRect();
    bitmap_.fillRect(colour::silver, 0, 0, width(), height());

    int stemTop = 0;
    if (question.picture != PictureMode::None) {
        auto loaded = loadQuestionPicture(pictureDir_, q + 1);
        if (auto* f = std::get_if<Fault>(&loaded)) {
            pictureFault(*f);
        } else {
            picture_ = std::get<QImage>(std::move(loaded));
            // Centred; the quotient truncates toward zero, so a picture
            // wider than the window hangs out by half the excess each side.
            const int left = (width() - picture_.width()) / 2;
            pictureRect_ = QRect(left, kPictureTop, picture_.width(), picture_.height());
            stemTop = picture_.height() + 10;
        }
    }

    bitmap_.drawText(question.text, colour::blue, question.indent, stemTop);
    paintHold_ = !picture_.isNull();
    return stemTop;
}

void QuestionScreen::drawAnswers(int q, int whiteTop, const bool* placed)
{
    const Question& question = model_.questions.at(std::size_t(q));
    if (whiteTop != kNoAnswerArea) {
        bitmap_.fillRect(colour::white, 0, whiteTop, width(), height());
    }
    switch (question.type) {
    case QuestionType::SingleChoice:
    case QuestionType::MultipleChoice:
    case QuestionType::Ordering: {
        const int n = std::min({question.optionCount, int(question.options.size()), kMaxAnswers});
        for (int j = 0; j < n; ++j) {
            const AnswerSlot& slot = question.options[std::size_t(j)];
            if (question.type == QuestionType::Ordering) {
                bitmap_.fillRect(colour::blue, slot.left - model_.charWidth, slot.top, slot.left,
                                 slot.bottom);
            }
            bitmap_.drawText(slot.text, placed[j] ? colour::red : colour::black, slot.left,
                             slot.top);
        }
        break;
    }
    case QuestionType::Matching:
    case QuestionType::MatchingColumns:
        for (const Column& column : question.columns) {
            const int n = std::min({int(column.rowCount()), int(column.cells.size()), kMaxAnswers});
            for (int j = 0; j < n; ++j) {
                const AnswerSlot& slot = column.cells[std::size_t(j)];
                bitmap_.drawText(slot.text, placed[j] ? colour::red : colour::black, slot.left,
                                 slot.top);
            }
        }
        break;
    default: // typed answers: nothing to draw
        break;
    }
}

void QuestionScreen::drawOption(const AnswerSlot& slot, uint32_t colour)
{
    bitmap_.drawText(slot.text, colour, slot.left, slot.top);
}

void QuestionScreen::fillRect(uint32_t colour, int left, int top, int right, int bottom)
{
    bitmap_.fillRect(colour, left, top, right, bottom);
}

void QuestionScreen::capturePicture()
{
    // ImageJPG shows the picture unscaled at pictureRect_; that is what the
    // window shows there, so the picture itself is the capture.
    bitmap_.copyImage(picture_, pictureRect_.left(), pictureRect_.top());
    paintHold_ = false;
}

} // namespace qd
