#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/SessionView.h"
#include "screen/ScreenBitmap.h"

#include <QImage>
#include <QRect>

#include <filesystem>

namespace qd {

// The drawing half of the session's view: composes the question screen in
// screen_bmp (display, drawAnswerArea, a recoloured option, LoadGraphic's
// placement, the picture capture). The window adds its widgets on top; the
// examiner's dry run uses it headless.
class QuestionScreen : public SessionView
{
public:
    // `model` must outlive the screen; pictures are looked up in pictureDir.
    QuestionScreen(const TestModel& model, int width, int height, std::filesystem::path pictureDir);

    int displayQuestion(int q) override;
    void drawAnswers(int q, int whiteTop, const bool* placed) override;
    void drawOption(const AnswerSlot& slot, uint32_t colour) override;
    void fillRect(uint32_t colour, int left, int top, int right, int bottom) override;
    void capturePicture() override;

    ScreenBitmap& bitmap() { return bitmap_; }
    const QImage& image() const { return bitmap_.image(); }
    int width() const { return bitmap_.size().width(); }
    int height() const { return bitmap_.size().height(); }

    // The picture of the question shown (null when it has none) and where
    // ImageJPG shows it, in window coordinates.
    const QImage& picture() const { return picture_; }
    QRect pictureRect() const { return pictureRect_; }
    // While a shown picture awaits its capture the window must not paint
    // screen_bmp over it.
    bool paintHold() const { return paintHold_; }

protected:
    // A picture that cannot be loaded (the shell reports it as fatal). The
    // question is then drawn without a picture.
    virtual void pictureFault(const Fault& fault) = 0;

private:
    const TestModel& model_;
    std::filesystem::path pictureDir_;
    ScreenBitmap bitmap_;
    QImage picture_;
    QRect pictureRect_;
    bool paintHold_ = false;
};

} // namespace qd
