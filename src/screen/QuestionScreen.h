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
    // width and height are the window's, in its logical pixels; the picture
    // holds devicePixelRatio device pixels for each (a scaled screen).
    QuestionScreen(const TestModel& model, int width, int height, std::filesystem::path pictureDir,
                   double devicePixelRatio = 1.0);

    int displayQuestion(int q) override;
    void drawAnswers(int q, const ShownAnswers& shown, int whiteTop, const bool* placed) override;
    void drawOption(const AnswerSlot& slot, uint32_t colour) override;
    void fillRect(uint32_t colour, int left, int top, int right, int bottom) override;
    void capturePicture() override;

    // A student's larger text (1 to 3) and high contrast. Each question is
    // then drawn `scale` times larger, or, when that would run past the
    // visible area (right or bottom), as large as fits it; never smaller
    // than the test's own size. The layout stays the test's: the whole
    // picture grows alike, so a point maps back by the question's scale.
    void setDisplay(double scale, bool highContrast);
    // The part of the window that shows the question screen, in window
    // pixels: its width, its height above the strips, and that height for a
    // typed question (above the answer box too). The whole window until set.
    void setVisibleArea(int width, int height, int typedHeight);

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
    // The scale at which question q fits the visible area (see setDisplay).
    double fittingScale(const Question& q, int stemTop, int pictureWidth) const;

    const TestModel& m_model;
    std::filesystem::path m_pictureDir;
    ScreenBitmap m_bitmap;
    QImage m_picture;
    QRect m_pictureRect;
    bool m_paintHold = false;
    int m_stemTop = 0;
    double m_textScale = 1.0;
    bool m_highContrast = false;
    int m_visibleWidth = 0;
    int m_visibleHeight = 0;
    int m_typedHeight = 0;
};

} // namespace qd
