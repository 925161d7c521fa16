#include "BoardThread.h"

#include "definition/Cp1251.h"

namespace qd::server {

BoardThread::BoardThread()
{
    m_thread.setObjectName(QStringLiteral("board"));
}

BoardThread::~BoardThread()
{
    if (m_context != nullptr) {
        QMetaObject::invokeMethod(
            m_context,
            [this] {
                m_board.reset();
                m_journal.reset();
            },
            Qt::BlockingQueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
}

quint16 BoardThread::start(Setup setup)
{
    m_thread.start();
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_context,
        [this, &setup, &port] {
            m_journal = setup.openJournal();
            if (!m_journal) {
                return;
            }
            m_board = std::make_unique<Board>(*m_journal, *setup.clock, std::move(setup.access),
                                              setup.verifying);
            m_board->setJournalHealth([this] {
                const std::lock_guard<std::mutex> hold(m_healthLock);
                return m_health;
            });
            m_board->setGradebook(
                [journal = m_journal.get(), models = setup.tests]() -> Result<Gradebook> {
                    auto reports = journal->finishedReports();
                    if (!reports.ok()) {
                        return reports.fault();
                    }
                    return gradebookOf(reports.value(), models);
                });
            std::vector<BoardTest> tests;
            for (const TestModel* t : setup.tests) {
                tests.push_back(boardTestOf(*t));
            }
            m_board->setTests(std::move(tests));
            m_board->watchCommits(&m_commits);
            port = m_board->listen(setup.address, setup.port);
            if (port != 0) {
                m_url = m_board->url();
            }
        },
        Qt::BlockingQueuedConnection);
    return port;
}

void BoardThread::setJournalHealth(const JournalHealth& health)
{
    const std::lock_guard<std::mutex> hold(m_healthLock);
    m_health = health;
}

void BoardThread::runThere(const std::function<void(Board&)>& work)
{
    QMetaObject::invokeMethod(
        m_context,
        [this, &work] {
            if (m_board) {
                work(*m_board);
            }
        },
        Qt::BlockingQueuedConnection);
}

BoardTest boardTestOf(const TestModel& model)
{
    return BoardTest{QString::fromStdString(fromCp1251(model.testName)).trimmed().toStdString(),
                     model.askCount, model.testMinutes};
}

} // namespace qd::server
