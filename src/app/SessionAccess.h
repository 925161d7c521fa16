#pragma once

#include "app/QuestionAccess.h"

namespace qd {

class TestSession;

// The question screen as screen readers see it, read from the test session:
// the stem, every option with its role and state (chosen, placed, matched),
// and an option's action as the mouse's press on it.
class SessionAccess : public QuestionAccessSource
{
public:
    explicit SessionAccess(TestSession& session) : m_session(session) {}

    bool questionShown() const override;
    QString questionText() const override;
    int optionCount() const override;
    AccessibleOption option(int i) const override;
    void pressOption(int i, bool marker) override;

private:
    // Option i as (column, row); false when there is none.
    bool cellOf(int i, int& column, int& row) const;

    TestSession& m_session;
};

} // namespace qd
