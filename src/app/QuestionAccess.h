#pragma once

#include <QAccessible>
#include <QRect>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

namespace qd {

// One option of the question shown, as a screen reader presents it.
struct AccessibleOption
{
    QString name;        // its text, without the brackets, lines joined
    QString description; // where it stands: "стовпець 2, рядок 1", "місце 3"
    QAccessible::Role role = QAccessible::RadioButton;
    bool chosen = false;    // chosen, placed (ordering) or matched
    bool target = false;    // ordering: its marker bar is the target of a move
    bool hasMarker = false; // ordering: a second action picks the marker bar
    bool focused = false;   // the keyboard's focus is on it
    QRect rect;             // in the window's client area
};

// What the drawn question screen holds, for screen readers: the question
// screen is one picture, so its text and options are described here from
// the run itself, and an option's action presses it as the mouse would.
class QuestionAccessSource
{
public:
    virtual ~QuestionAccessSource() = default;
    virtual bool questionShown() const = 0;
    virtual QString questionText() const = 0;
    virtual int optionCount() const = 0;
    virtual AccessibleOption option(int i) const = 0;
    // A press on option i (on its marker bar with `marker`), as the mouse.
    virtual void pressOption(int i, bool marker) = 0;
};

// The question screen's place in the window, for accessibility only: it
// draws nothing and takes no mouse event (the window under it does both),
// and stands for the question text and the options in the accessibility
// tree (AT-SPI on Linux).
class QuestionArea : public QWidget
{
    Q_OBJECT

public:
    explicit QuestionArea(QWidget* parent);

    void setSource(QuestionAccessSource* source) { m_source = source; }
    QuestionAccessSource* source() const { return m_source; }
    // The question screen's pixels per test pixel (a student's larger text).
    void setScale(double scale) { m_scale = scale; }
    double scale() const { return m_scale; }
    // The options' states may have changed: screen readers are told.
    void notifyChanged();
    // Another question is shown: screen readers are told that the screen's
    // items changed (children changed), with their new names, so that they
    // read the new question. Runs once the session has shown it.
    void notifyQuestionChanged();

    // Installs the accessibility factory for question areas (once).
    static void installAccessibility();

private:
    // Names and descriptions that changed since they were last told.
    void tellTexts(QAccessibleInterface* me);

    QuestionAccessSource* m_source = nullptr;
    double m_scale = 1.0;
    int m_focused = -1; // the item with the keyboard's focus when last told
    // Each item's name and description when last told: a screen reader
    // keeps them until told that they changed (an ordering move, another
    // question).
    std::vector<std::pair<QString, QString>> m_told;
};

} // namespace qd
