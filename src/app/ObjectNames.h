#pragma once

// The object names of the windows' widgets: the window tests, the screenshot
// tool and the benchmarks find the widgets by them, and they are kept as they
// have always been so that older scripts of examiners keep finding them too.
// Every one of them is set here and nowhere else.

namespace qd {

namespace mainWindowNames {
inline constexpr char window[] = "Form1";
inline constexpr char questionTimer[] = "Timer";
inline constexpr char serverWaitTimer[] = "TimerWaitServer";
inline constexpr char keyHelp[] = "KeyHelp";
inline constexpr char titlePicture[] = "Zast";
inline constexpr char cornerImage[] = "ImageJPG";
inline constexpr char headerPanel[] = "GroupBoxA";
inline constexpr char centreLabel[] = "LAcad";
inline constexpr char programNameLabel[] = "PrName";
inline constexpr char titlePanel[] = "GroupBoxZ";
inline constexpr char subjectCaption[] = "LNameD";
inline constexpr char testNameCaption[] = "LTestName";
inline constexpr char enterNameCaption[] = "LEnterName";
inline constexpr char subjectBox[] = "MDiscipline";
inline constexpr char testNameBox[] = "MTestName";
inline constexpr char studentNameBox[] = "EditStName";
inline constexpr char examCheckBox[] = "CB_ExamTest";
inline constexpr char beginButton[] = "BeginTest";
inline constexpr char authorLabel[] = "LAvtor";
inline constexpr char resumeLine[] = "LResume";
inline constexpr char layoutLine[] = "LLayout";
inline constexpr char answerStrip[] = "GroupBox3";
inline constexpr char answerCaption[] = "Label5";
inline constexpr char answerEdit[] = "Edit";
inline constexpr char statusStrip[] = "GroupBox1";
inline constexpr char questionCountCaption[] = "Label1";
inline constexpr char questionNumberCaption[] = "Label2";
inline constexpr char lastAnswerCaption[] = "Label3";
inline constexpr char questionTimeCaption[] = "Label6";
inline constexpr char testEndCaption[] = "Label7";
inline constexpr char scoreCaption[] = "Label4";
inline constexpr char scoreLabel[] = "Smarks";
inline constexpr char minutesLeftLabel[] = "L_tend";
inline constexpr char minutesCaption[] = "Label8";
inline constexpr char countersBox[] = "GroupBox2";
inline constexpr char questionCountLabel[] = "N_quest";
inline constexpr char questionNumberLabel[] = "I_quest";
inline constexpr char answerShape[] = "Answer";
inline constexpr char nextButton[] = "Ready";
inline constexpr char questionTimeBar[] = "ProgressBar";
} // namespace mainWindowNames

namespace resultsWindowNames {
inline constexpr char window[] = "FormRez";
inline constexpr char testNameBox[] = "TestName";
inline constexpr char scoreLabel[] = "Smarks";
inline constexpr char maxScoreLabel[] = "Max_marks";
inline constexpr char percentLabel[] = "Percent";
inline constexpr char minutesLabel[] = "Minute";
inline constexpr char secondsLabel[] = "Second";
inline constexpr char gradeLabel[] = "Mark";
inline constexpr char accommodationsLabel[] = "Accommodations";
inline constexpr char wrongCaption[] = "NotRight";
inline constexpr char wrongListBox[] = "NotRigtAns";
} // namespace resultsWindowNames

} // namespace qd
