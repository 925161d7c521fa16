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
    QTextEdit* m_testNameBox = nullptr;
    QLabel* m_scoreLabel = nullptr;
    QLabel* m_maxScoreLabel = nullptr;
    QLabel* m_percentLabel = nullptr;
    QLabel* m_minutesLabel = nullptr;
    QLabel* m_secondsLabel = nullptr;
    QLabel* m_gradeLabel = nullptr;
    QLabel* m_accommodationsLabel = nullptr;
    QLabel* m_wrongCaption = nullptr;
    QTextEdit* m_wrongListBox = nullptr;
};

} // namespace qd
