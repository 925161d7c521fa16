#include "app/SessionAccess.h"

#include "definition/Cp1251.h"
#include "run/TestSession.h"

namespace qd {

namespace {

// An option's text as read aloud: without its brackets, its lines joined.
QString spoken(std::string_view cp1251)
{
    QString s = QString::fromStdString(fromCp1251(cp1251));
    if (s.startsWith(QLatin1Char('<'))) {
        s.remove(0, 1);
    }
    if (s.endsWith(QLatin1Char('>'))) {
        s.chop(1);
    }
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    return s.simplified();
}

} // namespace

bool SessionAccess::questionShown() const
{
    return m_session.phase() == TestSession::Phase::Question;
}

QString SessionAccess::questionText() const
{
    const Question& q = m_session.model().questions[std::size_t(m_session.state().currentQuestion)];
    QString s = QString::fromStdString(fromCp1251(q.text));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s.trimmed();
}

int SessionAccess::optionCount() const
{
    if (!questionShown()) {
        return 0;
    }
    int n = 0;
    for (int c = 0; c < m_session.columnsShown(); ++c) {
        n += m_session.rowsIn(c);
    }
    return n;
}

bool SessionAccess::cellOf(int i, int& column, int& row) const
{
    if (!questionShown() || i < 0) {
        return false;
    }
    for (column = 0; column < m_session.columnsShown(); ++column) {
        if (i < m_session.rowsIn(column)) {
            row = i;
            return true;
        }
        i -= m_session.rowsIn(column);
    }
    return false;
}

AccessibleOption SessionAccess::option(int i) const
{
    AccessibleOption o;
    int column = 0, row = 0;
    if (!cellOf(i, column, row)) {
        return o;
    }
    const Question& q = m_session.model().questions[std::size_t(m_session.state().currentQuestion)];
    const RunState& st = m_session.state();
    const AnswerSlot& s = m_session.slotAt(column, row);
    o.name = spoken(s.text);
    o.rect = QRect(QPoint(s.left, s.top), QPoint(s.right, s.bottom));
    o.focused = m_session.focusRow() == row && m_session.focusColumn() == column;
    switch (q.type) {
    case QuestionType::SingleChoice:
        o.role = QAccessible::RadioButton;
        o.chosen = m_session.isChosen(0, row);
        o.description = QStringLiteral("варіант %1").arg(row + 1);
        break;
    case QuestionType::MultipleChoice:
        o.role = QAccessible::CheckBox;
        o.chosen = m_session.isChosen(0, row);
        o.description = QStringLiteral("варіант %1").arg(row + 1);
        break;
    case QuestionType::Ordering:
        o.role = QAccessible::ListItem;
        o.chosen = st.placed[std::size_t(row)];
        o.target = st.selectedPosition == row;
        o.hasMarker = true;
        o.description = QStringLiteral("місце %1").arg(row + 1);
        break;
    case QuestionType::Matching:
        o.role = column == 0 ? QAccessible::RadioButton : QAccessible::CheckBox;
        o.chosen = m_session.isChosen(column, row);
        o.description = QStringLiteral("стовпець %1, рядок %2").arg(column + 1).arg(row + 1);
        break;
    case QuestionType::MatchingColumns:
        o.role = QAccessible::RadioButton;
        o.chosen = m_session.isChosen(column, row);
        o.description = QStringLiteral("стовпець %1, рядок %2").arg(column + 1).arg(row + 1);
        break;
    default:
        break;
    }
    return o;
}

void SessionAccess::pressOption(int i, bool marker)
{
    int column = 0, row = 0;
    if (cellOf(i, column, row)) {
        (void)m_session.pressOption(column, row, marker);
    }
}

} // namespace qd
