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
    : m_model(model),
      m_pictureDir(std::move(pictureDir)),
      m_bitmap(width, height)
{
    m_bitmap.setTestFont(model.fontSize, model.fontBold != 0, model.lineHeight);
}

int QuestionScreen::displayQuestion(int q)
{
    const Question& question = m_model.questions.at(std::size_t(q));
    m_paintHold = false;
    m_picture = QImage();
    m_pictureRect = QRect();
    m_bitmap.fillRect(colour::silver, 0, 0, width(), height());

    int stemTop = 0;
    if (question.picture != PictureMode::None) {
        auto loaded = loadQuestionPicture(m_pictureDir, q + 1);
        if (auto* f = std::get_if<Fault>(&loaded)) {
            pictureFault(*f);
        } else {
            m_picture = std::get<QImage>(std::move(loaded));
            // Centred; the quotient truncates toward zero, so a picture
            // wider than the window hangs out by half the excess each side.
            const int left = (width() - m_picture.width()) / 2;
            m_pictureRect = QRect(left, kPictureTop, m_picture.width(), m_picture.height());
            stemTop = m_picture.height() + 10;
        }
    }

    m_bitmap.drawText(question.text, colour::blue, question.indent, stemTop);
    m_paintHold = !m_picture.isNull();
    return stemTop;
}

void QuestionScreen::drawAnswers(int q, const ShownAnswers& shown, int whiteTop, const bool* placed)
{
    const Question& question = m_model.questions.at(std::size_t(q));
    if (whiteTop != kNoAnswerArea) {
        m_bitmap.fillRect(colour::white, 0, whiteTop, width(), height());
    }
    switch (question.type) {
    case QuestionType::SingleChoice:
    case QuestionType::MultipleChoice:
    case QuestionType::Ordering: {
        const int n = std::min({question.optionCount, int(shown.options.size()), kMaxAnswers});
        for (int j = 0; j < n; ++j) {
            const AnswerSlot& slot = shown.options[std::size_t(j)];
            if (question.type == QuestionType::Ordering) {
                m_bitmap.fillRect(colour::blue, slot.left - m_model.charWidth, slot.top, slot.left,
                                  slot.bottom);
            }
            m_bitmap.drawText(slot.text, placed[j] ? colour::red : colour::black, slot.left,
                              slot.top);
        }
        break;
    }
    case QuestionType::Matching:
    case QuestionType::MatchingColumns:
        for (const Column& column : shown.columns) {
            const int n = std::min({int(column.rowCount()), int(column.cells.size()), kMaxAnswers});
            for (int j = 0; j < n; ++j) {
                const AnswerSlot& slot = column.cells[std::size_t(j)];
                m_bitmap.drawText(slot.text, placed[j] ? colour::red : colour::black, slot.left,
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
    m_bitmap.drawText(slot.text, colour, slot.left, slot.top);
}

void QuestionScreen::fillRect(uint32_t colour, int left, int top, int right, int bottom)
{
    m_bitmap.fillRect(colour, left, top, right, bottom);
}

void QuestionScreen::capturePicture()
{
    // The window shows the picture unscaled at m_pictureRect; that is what the
    // window shows there, so the picture itself is the capture.
    m_bitmap.copyImage(m_picture, m_pictureRect.left(), m_pictureRect.top());
    m_paintHold = false;
}

} // namespace qd
