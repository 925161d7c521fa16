#include "IncidentLog.h"

#include <algorithm>

namespace qd::server {

std::string IncidentLog::keyOf(const Incident& i, const std::string& group)
{
    std::string key = i.address;
    key += '\0';
    key += i.kind;
    key += '\0';
    key += group;
    return key;
}

std::string IncidentLog::groupKey(const Incident& i, const std::string& group)
{
    std::string key = keyOf(i, group);
    const auto it = m_groups.find(key);
    if (it != m_groups.end() && i.at - it->second.first < kWindowSeconds) {
        return key;
    }
    Window& w = m_windows[i.address + '\0' + i.kind];
    if (i.at - w.start >= kWindowSeconds) {
        w = Window{i.at, 0};
    }
    if (w.groups >= kStudentsPerWindow) {
        return keyOf(i, "\x01others");
    }
    ++w.groups;
    return key;
}

void IncidentLog::add(const Incident& incident, const std::string& group)
{
    const std::string key = groupKey(incident, group);
    const auto it = m_groups.find(key);
    if (it != m_groups.end()) {
        Group& g = it->second;
        if (incident.at - g.first < kWindowSeconds) {
            ++g.times;
            g.last = std::max(g.last, incident.at);
            m_dirty.insert(key);
            return;
        }
        // The window is over: its count is written before a new row starts.
        if (g.times > g.writing) {
            m_journal.repeatIncident(g.id, g.times, g.last);
            g.writing = g.times;
            m_batch.insert(key);
        }
        m_dirty.erase(key);
        if (m_batch.count(key) != 0) {
            // Its last count is in this batch; the group it started gives
            // way to the new one, and the count stands written either way.
            m_batch.erase(key);
        }
        m_groups.erase(it);
    }
    if (m_groups.size() >= kMaxGroups) {
        prune(incident.at);
    }
    if (m_windows.size() >= kMaxGroups) {
        m_windows.clear();
    }
    const auto id = m_journal.addIncident(incident);
    if (!id) {
        return; // the statement failed, and with it the batch
    }
    Group g;
    g.id = *id;
    g.first = incident.at;
    g.last = incident.at;
    m_groups.emplace(key, g);
    m_batch.insert(key);
}

int IncidentLog::unwritten(const Incident& incident, const std::string& group) const
{
    const auto it = m_groups.find(keyOf(incident, group));
    if (it == m_groups.end() || incident.at - it->second.first >= kWindowSeconds) {
        return 0;
    }
    return it->second.times - it->second.writing;
}

void IncidentLog::flush(int64_t now, bool force)
{
    if (m_dirty.empty() || (!force && now - m_lastFlush < kFlushSeconds)) {
        return;
    }
    m_lastFlush = now;
    for (const std::string& key : m_dirty) {
        Group& g = m_groups.at(key);
        if (g.times > g.writing) {
            m_journal.repeatIncident(g.id, g.times, g.last);
            g.writing = g.times;
            m_batch.insert(key);
        }
    }
    m_dirty.clear();
}

void IncidentLog::committed()
{
    for (const std::string& key : m_batch) {
        const auto it = m_groups.find(key);
        if (it != m_groups.end()) {
            it->second.written = it->second.writing;
            it->second.newRow = false;
        }
    }
    m_batch.clear();
}

void IncidentLog::failed()
{
    for (const std::string& key : m_batch) {
        const auto it = m_groups.find(key);
        if (it == m_groups.end()) {
            continue;
        }
        if (it->second.newRow) {
            // Its row is gone with the batch: the incident comes again (the
            // server queues it again, the client sends its message again).
            m_dirty.erase(key);
            m_groups.erase(it);
            continue;
        }
        it->second.writing = it->second.written;
        if (it->second.times > it->second.written) {
            m_dirty.insert(key);
        }
    }
    m_batch.clear();
}

void IncidentLog::prune(int64_t now)
{
    for (auto it = m_groups.begin(); it != m_groups.end();) {
        const bool clean = m_dirty.count(it->first) == 0 && m_batch.count(it->first) == 0;
        if (clean && now - it->second.first >= kWindowSeconds) {
            it = m_groups.erase(it);
        } else {
            ++it;
        }
    }
    // Still full (a flood from many addresses at once): the written groups
    // go; their kinds start new rows when they come again.
    for (auto it = m_groups.begin(); it != m_groups.end() && m_groups.size() >= kMaxGroups;) {
        if (m_dirty.count(it->first) == 0 && m_batch.count(it->first) == 0) {
            it = m_groups.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace qd::server
