#include "ModelInvariants.h"

namespace qdfuzz {

namespace {

bool within(int v, int lo, int hi)
{
    return v >= lo && v <= hi;
}

const char* brokenInvariant(const qd::Question& q)
{
    if (!within(q.type, 1, 6) || !within(q.graph, 0, 2)) {
        return "type or graph out of range";
    }
    if (!within(q.nans, 0, qd::kMaxAnswers) || q.ans.size() < std::size_t(q.nans)) {
        return "nans without its answer slots";
    }
    if (!within(q.nrans, 0, qd::kMaxAnswers)) {
        return "nrans out of range";
    }
    if (q.text.size() > std::size_t(qd::kMaxTextLength)) {
        return "stem longer than its capacity";
    }
    for (int i = 0; i < q.nans; ++i) {
        if (!within(q.ord[i], 0, q.nans - 1)) {
            return "ord outside the options";
        }
    }
    const bool columns = (q.type == 4 || q.type == 6) && q.graph != 2;
    if (columns) {
        if (!within(q.ncol, 2, qd::kMaxColumns) || q.col.size() != std::size_t(q.ncol)) {
            return "ncol without its columns";
        }
        int cells = 0;
        for (const qd::Column& c : q.col) {
            if (c.nrow < 1 || c.cell.size() != std::size_t(c.nrow) || c.cord.size() != std::size_t(c.nrow)) {
                return "nrow without its cells";
            }
            cells += c.nrow;
        }
        if (cells != q.nans) {
            return "columns do not hold every option once";
        }
    }
    if (q.type == 4 || (q.type == 6 && q.graph != 2)) {
        if (q.nrans > qd::kMaxGroups || q.grp.size() < std::size_t(q.nrans)) {
            return "nrans without its groups";
        }
        for (int g = 0; g < q.nrans; ++g) {
            if (!within(q.grp[g].cnt, 0, qd::kMaxGroupNumbers)) {
                return "group count out of range";
            }
        }
        if (columns && q.nrans != q.col[0].nrow) {
            return "groups and first-column rows differ";
        }
    }
    if (q.type == 6 && q.graph == 2) {
        if (q.nrans > qd::kMaxTypedKeys || q.sans.size() < std::size_t(q.nrans) ||
            !within(q.ncol, 0, qd::kMaxTypedKeyLength)) {
            return "typed keys out of range";
        }
        for (int k = 0; k < q.nrans; ++k) {
            if (q.sans[k].size() != std::size_t(q.ncol)) {
                return "typed keys of another length than ncol";
            }
        }
    }
    return nullptr;
}

} // namespace

const char* brokenInvariant(const qd::TestModel& m)
{
    if (!within(m.nq_total, 1, qd::kMaxQuestions) || m.stq.size() != std::size_t(m.nq_total)) {
        return "nq_total without its records";
    }
    if (!within(m.nsect, 1, m.nq_total) || m.nqr.size() != std::size_t(m.nsect) || m.nqr[0] != 1) {
        return "sections";
    }
    for (int s = 1; s < m.nsect; ++s) {
        if (m.nqr[s] <= m.nqr[s - 1] || m.nqr[s] > m.nq_total) {
            return "section starts";
        }
    }
    if (!within(m.nq_ask, 1, m.nq_total) || m.line_h < 1 || m.char_w < 1) {
        return "settings out of range";
    }
    if (m.rez_dir.size() > 127) {
        return "rez_dir longer than its capacity";
    }
    for (const qd::Question& q : m.stq) {
        if (const char* broken = brokenInvariant(q)) {
            return broken;
        }
    }
    return nullptr;
}

} // namespace qdfuzz
