#include "host/RunHost.h"

#include "run/RunStart.h"
#include "screen/PictureLoader.h"

#include <utility>

namespace qd {

Result<StartedTest> startTest(const std::filesystem::path& dir, const WindowGeometry& window,
                              const CharWidthFn& charWidth, uint32_t seed)
{
    LoadResult loaded = loadTestDir(dir, window, charWidth);
    if (auto* f = std::get_if<Fault>(&loaded)) {
        return *f;
    }
    StartedTest run{std::move(std::get<std::unique_ptr<TestModel>>(loaded)), RunState(), {}};
    if (Status s = prepareRun(*run.model, run.state, seed)) {
        return *s;
    }
    if (Status s = checkPictures(*run.model, questionsAsked(*run.model, run.state), dir)) {
        return *s;
    }
    Result<AccommodationTable> table = AccommodationTable::load(dir);
    if (!table.ok()) {
        return table.fault();
    }
    run.accommodations = std::move(table.value());
    return run;
}

RunHost::RunHost(const TestModel& model, RunState state, Clock& clock, const Clock& linkClock,
                 SessionView& view, TitlePageView& titlePage, const std::filesystem::path& dir)
    : m_titlePage(titlePage),
      m_dir(dir),
      m_session(model, std::move(state), clock, view, m_report, dir),
      m_link(dir, linkClock)
{
    // The session sends the progress and final messages through the link
    // itself (the final one with the report's bytes) and closes it 100 ms
    // after the results.
    m_session.setExamHooks(&m_link);
    TestSession* s = &m_session;
    QObject::connect(&m_link, &ExamLink::linkActiveChanged, &m_link,
                     [s](bool on) { s->setLinkActive(on); });
    QObject::connect(&m_link, &ExamLink::examPermittedChanged, &m_link,
                     [s](bool on) { s->setExamPermitted(on); });
    QObject::connect(&m_link, &ExamLink::linkEvent, &m_link,
                     [this](const LinkEvent& e) { onLinkEvent(e); });
}

// What the title page makes of the link's events.
void RunHost::onLinkEvent(const LinkEvent& event)
{
    switch (event.kind) {
    case LinkEvent::Kind::Connected:
        m_titlePage.examLinkUp();
        break;
    case LinkEvent::Kind::Dropped:
        // A refusal is named first; then the title page is usable again
        // (a start wait ends), and a student refused the examination
        // altogether finds the box unticked.
        if (event.refusedCode != 0) {
            m_titlePage.examLinkRefused(event.refusedCode);
        }
        setTitleControlsEnabled(true);
        m_session.returnToTitlePage();
        if (event.studentRefused) {
            m_titlePage.untickExamBox();
        }
        break;
    case LinkEvent::Kind::AddressUnusable:
        m_titlePage.untickExamBox();
        break;
    case LinkEvent::Kind::Notice:
        m_titlePage.message(event.text);
        break;
    }
}

bool RunHost::examBoxClicked()
{
    if (!m_controlsEnabled) {
        return false;
    }
    // The table is read again on every click (appending its names again on
    // every click made a big table cost seconds and megabytes per click).
    if (Status s = m_students.load(m_dir)) {
        m_titlePage.message(s->message);
    }
    m_titlePage.setStudentNames(m_students.names());
    return true;
}

bool RunHost::beginClicked(const std::string& name, bool exam)
{
    if (m_session.phase() != TestSession::Phase::TitlePage || !m_controlsEnabled) {
        return false;
    }
    m_session.setAccommodation(m_accommodations.forStudent(name));
    m_session.clickBegin(name, exam);
    if (exam && m_session.phase() == TestSession::Phase::Waiting) {
        setTitleControlsEnabled(false);
    }
    return true;
}

void RunHost::setTitleControlsEnabled(bool enabled)
{
    m_controlsEnabled = enabled;
    m_titlePage.setTitleControlsEnabled(enabled);
}

} // namespace qd
