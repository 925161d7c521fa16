#include "BoardRows.h"

#include "Exports.h"

#include <unordered_map>

namespace qd::server {

bool BoardRows::replace(std::vector<std::pair<int64_t, QByteArray>> rows)
{
    std::unordered_map<int64_t, std::size_t> before;
    before.reserve(m_rows.size());
    for (std::size_t k = 0; k < m_rows.size(); ++k) {
        before.emplace(m_rows[k].id, k);
    }
    const uint64_t next = m_generation + 1;
    bool changed = rows.size() != m_rows.size();
    std::vector<Row> fresh;
    fresh.reserve(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        auto& [id, json] = rows[k];
        const auto it = before.find(id);
        if (it != before.end() && m_rows[it->second].json == json) {
            Row& old = m_rows[it->second];
            // Same row, same place: nothing to send.
            changed = changed || it->second != k;
            fresh.push_back(Row{id, std::move(old.json), old.changed});
            continue;
        }
        changed = true;
        fresh.push_back(Row{id, std::move(json), next});
    }
    m_rows = std::move(fresh);
    if (!changed) {
        return false;
    }
    m_generation = next;
    std::vector<QByteArray> all;
    all.reserve(m_rows.size());
    for (const Row& r : m_rows) {
        all.push_back(r.json);
    }
    m_all = jsonArray(all);
    return true;
}

BoardRows::Changes BoardRows::since(uint64_t since) const
{
    if (since < m_base || since > m_generation) {
        return Changes{true, m_all};
    }
    std::vector<QByteArray> changed;
    for (const Row& r : m_rows) {
        if (r.changed > since) {
            changed.push_back(r.json);
        }
    }
    return Changes{false, jsonArray(changed)};
}

} // namespace qd::server
