#pragma once

#include "Board.h"
#include "journal/SqlJournal.h"

#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace qd::server {

// The board on a thread of its own, with its own connection to the
// journal (a connection serves the thread that opened it): no page, export
// or slow browser can hold the exam server's loop, and the exam server
// only bumps a counter when it commits.
class BoardThread
{
public:
    struct Setup
    {
        // Opens the board's journal; called on the board's thread. Null
        // when it cannot (it says why itself).
        std::function<std::unique_ptr<SqlJournal>()> openJournal;
        const Clock* clock = nullptr;
        BoardAccess access;
        bool verifying = false;
        std::vector<const TestModel*> tests; // outlive the thread
        QHostAddress address = QHostAddress(QHostAddress::LocalHost);
        quint16 port = 0;
    };

    BoardThread();
    // Closes the board and its journal on its thread, then ends it.
    ~BoardThread();
    BoardThread(const BoardThread&) = delete;
    BoardThread& operator=(const BoardThread&) = delete;

    // Starts the thread, opens the journal and listens there; the port, 0
    // when the journal could not be opened or the port not taken.
    quint16 start(Setup setup);
    std::string url() const { return m_url; }

    // Any thread: the exam server committed a batch.
    void committed() { m_commits.fetch_add(1, std::memory_order_relaxed); }
    // Any thread: whether the exam server's journal takes messages.
    void setJournalHealth(const JournalHealth& health);

    // Runs `work` on the board's thread and waits for it (tests: the board
    // busy, the listener's counts).
    void runThere(const std::function<void(Board&)>& work);

private:
    QThread m_thread;
    QObject* m_context = nullptr; // lives on m_thread
    std::unique_ptr<SqlJournal> m_journal;
    std::unique_ptr<Board> m_board;
    std::atomic<uint64_t> m_commits{0};
    mutable std::mutex m_healthLock;
    JournalHealth m_health;
    std::string m_url;
};

// A test as the board shows it: its name (blanks trimmed, UTF-8), the
// questions asked in one sitting and the test's minutes.
BoardTest boardTestOf(const TestModel& model);

} // namespace qd::server
