#pragma once

#include <string>
#include <string_view>

namespace qd {

// What the test flow needs of the exam link in examination mode. The link
// object implements it; outside examination mode none is installed. The
// link also tells the session when it is up and when the server admitted
// the student (TestSession::setLinkActive, setExamPermitted).
class ExamHooks
{
public:
    virtual ~ExamHooks() = default;

    // "Почати тестування" in examination mode with a name: read the server
    // address and connect. False (address unreadable, already reported)
    // keeps the title page.
    virtual bool open(const std::string& studentName) = 0;

    // A later question is shown: the progress of the questions finished so
    // far (answeredCount, whether the last one was fully right, the score).
    virtual void progress(int answeredCount, bool lastRight, float score) = 0;

    // Every scored question, the last one included, right after it is
    // scored: the same fields, kept for the next message without sending
    // anything. The final message carries those of the last question
    // answered, which no progress() call reports.
    virtual void answered(int answeredCount, bool lastRight, float score)
    {
        (void)answeredCount;
        (void)lastRight;
        (void)score;
    }

    // Whether the server has answered the last message sent (a checkpoint
    // records it).
    virtual bool acknowledged() const { return false; }

    // The results are shown: the verdict with the finished report's bytes
    // (empty without a report).
    virtual void finished(int percent, const std::string& grade, std::string_view report) = 0;
};

} // namespace qd
