#pragma once

#include "run/SessionView.h"

#include <QWidget>

class QLabel;
class QTextEdit;

namespace qd {

// The results window: points, percentage, time, grade and the questions
// answered wrongly. Hidden until the test ends; closing it ends the program.
class ResultsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ResultsWindow(QWidget* parent = nullptr);

    // Fills the fields and shows the window; when every point was earned it
    // is cut to 210 pixels, down to the grade, without the wrong-answer list.
    void showResults(const ResultsSummary& results);

signals:
    void closeRequested();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextEdit* testNameBox_ = nullptr;
    QLabel* scoreLabel_ = nullptr;
    QLabel* maxScoreLabel_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QLabel* minutesLabel_ = nullptr;
    QLabel* secondsLabel_ = nullptr;
    QLabel* gradeLabel_ = nullptr;
    QLabel* accommodationsLabel_ = nullptr;
    QLabel* wrongCaption_ = nullptr;
    QTextEdit* wrongListBox_ = nullptr;
};

} // namespace qd
