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
// the off-screen picture (the stem, the answer area, a recoloured option, the question picture's
// placement, the picture capture). The window adds its widgets on top; the
// examiner's dry run uses it headless.
class QuestionScreen : public SessionView
{
public:
    // `model` must outlive the screen; pictures are looked up in pictureDir.
    QuestionScreen(const TestModel& model, int width, int height, std::filesystem::path pictureDir);

    int displayQuestion(int q) override;
    void drawAnswers(int q, const ShownAnswers& shown, int whiteTop, const bool* placed) override;
    void drawOption(const AnswerSlot& slot, uint32_t colour) override;
    void fillRect(uint32_t colour, int left, int top, int right, int bottom) override;
    void capturePicture() override;

    ScreenBitmap& bitmap() { return m_bitmap; }
    const QImage& image() const { return m_bitmap.image(); }
    int width() const { return m_bitmap.size().width(); }
    int height() const { return m_bitmap.size().height(); }

    // The picture of the question shown (null when it has none) and where
    // the window shows it, in window coordinates.
    const QImage& picture() const { return m_picture; }
    QRect pictureRect() const { return m_pictureRect; }
    // While a shown picture awaits its capture the window must not paint
    // the off-screen picture over it.
    bool paintHold() const { return m_paintHold; }

protected:
    // A picture that cannot be loaded (the shell reports it as fatal). The
    // question is then drawn without a picture.
    virtual void pictureFault(const Fault& fault) = 0;

private:
    const TestModel& m_model;
    std::filesystem::path m_pictureDir;
    ScreenBitmap m_bitmap;
    QImage m_picture;
    QRect m_pictureRect;
    bool m_paintHold = false;
};

} // namespace qd
