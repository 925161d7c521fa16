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
                               std::filesystem::path pictureDir, double devicePixelRatio)
    : m_model(model),
      m_pictureDir(std::move(pictureDir)),
      m_bitmap(width, height, devicePixelRatio)
{
    m_bitmap.setTestFont(model.fontSize, model.fontBold != 0, model.lineHeight);
    setVisibleArea(m_bitmap.size().width(), m_bitmap.size().height(), m_bitmap.size().height());
}

void QuestionScreen::setDisplay(double scale, bool highContrast)
{
    m_textScale = scale >= 1.0 ? scale : 1.0;
    m_highContrast = highContrast;
    m_bitmap.setDisplay(m_textScale, m_highContrast);
}

void QuestionScreen::setVisibleArea(int width, int height, int typedHeight)
{
    m_visibleWidth = width;
    m_visibleHeight = height;
    m_typedHeight = typedHeight;
}

double QuestionScreen::fittingScale(const Question& q, int stemTop, int pictureWidth) const
{
    // How far the question reaches in test pixels: the stem's lines as
    // drawn (trailing blanks show nothing), every option with the marker
    // bar of an ordering question and the keyboard's focus bar under it,
    // and the picture, which is centred.
    const int charW = m_bitmap.charWidth();
    int right = pictureWidth;
    int bottom = 0;
    std::string_view text = q.text;
    text = text.substr(0, text.find('\0'));
    int x = q.indent;
    int y = stemTop;
    for (std::size_t pos = 0;;) {
        const std::size_t crlf = text.find("\r\n", pos);
        std::string_view line =
            text.substr(pos, crlf == std::string_view::npos ? std::string_view::npos : crlf - pos);
        while (!line.empty() && line.back() == ' ') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            right = std::max(right, x + int(line.size()) * charW);
            bottom = std::max(bottom, y + m_model.lineHeight);
        }
        if (crlf == std::string_view::npos) {
            break;
        }
        pos = crlf + 2;
        x = 0;
        y += m_model.lineHeight;
    }
    auto reach = [&](const AnswerSlot& s) {
        right =
            std::max(right, s.right + (q.type == QuestionType::Ordering ? m_model.charWidth : 0));
        bottom = std::max(bottom, s.bottom + stemTop + 2);
    };
    if (q.picture != PictureMode::PictureOnly) {
        if (q.pickedFromList()) {
            for (int j = 0; j < q.optionCount && j < int(q.options.size()); ++j) {
                reach(q.options[std::size_t(j)]);
            }
        } else if (q.isMatching()) {
            for (const Column& c : q.columns) {
                for (int j = 0; j < c.rowCount() && j < int(c.cells.size()); ++j) {
                    reach(c.cells[std::size_t(j)]);
                }
            }
        }
    }
    double scale = m_textScale;
    if (right > 0) {
        scale = std::min(scale, double(m_visibleWidth) / right);
    }
    const int height = q.answeredByTyping() ? m_typedHeight : m_visibleHeight;
    if (bottom > 0) {
        scale = std::min(scale, double(height) / bottom);
    }
    return std::max(1.0, scale);
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
        if (!loaded.ok()) {
            pictureFault(loaded.fault());
        } else {
            m_picture = std::move(loaded).value();
            stemTop = m_picture.height() + 10;
        }
    }
    // Larger text: as large as asked, or as fits (the window is as wide as
    // the picture, in the test's pixels, divided by the scale).
    int shownWidth = width();
    if (m_textScale != 1.0) {
        const double scale = fittingScale(question, stemTop, m_picture.width());
        m_bitmap.setDisplay(scale, m_highContrast);
        shownWidth = int(width() / scale);
    }
    if (!m_picture.isNull()) {
        // Centred; the quotient truncates toward zero, so a picture wider
        // than the window hangs out by half the excess each side.
        const int left = (shownWidth - m_picture.width()) / 2;
        m_pictureRect = QRect(left, kPictureTop, m_picture.width(), m_picture.height());
    }

    m_bitmap.drawText(question.text, colour::blue, question.indent, stemTop);
    m_stemTop = stemTop;
    m_paintHold = !m_picture.isNull();
    return stemTop;
}

void QuestionScreen::drawAnswers(int q, const ShownAnswers& shown, int whiteTop, const bool* placed)
{
    const Question& question = m_model.questions.at(std::size_t(q));
    if (whiteTop != kNoAnswerArea) {
        m_bitmap.fillRect(colour::white, 0, whiteTop, width(), height());
        // The answer area starts a fifth of a line above the first option,
        // which cuts off the descenders of a stem line right above it (and
        // more of it on a narrow screen, whose lines are closer than the
        // font is high): the stem is drawn again over the white. Its pixels
        // above stay as they were.
        m_bitmap.drawText(question.text, colour::blue, question.indent, m_stemTop);
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
