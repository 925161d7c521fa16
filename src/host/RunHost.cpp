#include "host/RunHost.h"

#include "definition/Cp1251.h"
#include "run/RunStart.h"
#include "screen/PictureLoader.h"

#include <algorithm>
#include <utility>

namespace qd {

Result<StartedTest> startTest(const std::filesystem::path& dir, const WindowGeometry& window,
                              const CharWidthFn& charWidth, uint32_t seed)
{
    LoadResult loaded = loadTestDir(dir, window, charWidth);
    if (!loaded.ok()) {
        return loaded.fault();
    }
    StartedTest run{std::move(loaded).value(), RunState(), {}, nullptr};
    run.undrawn = std::make_unique<const TestModel>(*run.model);
    if (Status s = prepareRun(*run.model, run.state, seed); !s.ok()) {
        return s.fault();
    }
    if (Status s = checkPictures(*run.model, questionsAsked(*run.model, run.state), dir); !s.ok()) {
        return s.fault();
    }
    Result<AccommodationTable> table = AccommodationTable::load(dir);
    if (!table.ok()) {
        return table.fault();
    }
    run.accommodations = std::move(table.value());
    return run;
}

RunHost::RunHost(TestModel& model, RunState state, Clock& clock, const Clock& linkClock,
                 SessionView& view, TitlePageView& titlePage, const std::filesystem::path& dir)
    : m_model(model),
      m_titlePage(titlePage),
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
    if (Status s = m_students.load(m_dir); !s.ok()) {
        m_titlePage.message(s.fault().cp1251());
    }
    m_titlePage.setStudentNames(m_students.names());
    return true;
}

void RunHost::enableResume(std::unique_ptr<const TestModel> undrawn)
{
    m_undrawn = std::move(undrawn);
    m_testId = testIdentity(*m_undrawn);
    m_session.setCheckpoints(&m_checkpoints, m_testId);
}

RunHost::Lookup& RunHost::lookup(const std::string& name)
{
    if (m_lookup && m_lookup->name == name) {
        return *m_lookup;
    }
    m_lookup.emplace();
    Lookup& l = *m_lookup;
    l.name = name;
    auto found = CheckpointFile::find(m_model, m_dir, name);
    if (!found) {
        return l;
    }
    l.file = found->file;
    if (const auto* refused = std::get_if<CheckpointRefusal>(&found->content)) {
        l.line = refused->message;
        return l;
    }
    const Checkpoint& c = std::get<Checkpoint>(found->content);
    // The run is drawn again from its seed and must come out as recorded;
    // the pictures of the questions it asks are checked as at start-up.
    l.model = std::make_unique<TestModel>(*m_undrawn);
    std::optional<CheckpointRefusal> refused;
    if (c.testId != m_testId) {
        refused = refusal(CheckpointProblem::Foreign);
    } else if (!prepareRun(*l.model, l.state, c.seed).ok()) {
        refused = refusal(CheckpointProblem::Damaged);
    } else {
        refused = checkpointFits(c, *l.model, l.state);
    }
    if (!refused) {
        if (Status s = checkPictures(*l.model, questionsAsked(*l.model, l.state), m_dir); !s.ok()) {
            refused = CheckpointRefusal{CheckpointProblem::Damaged, s.fault().cp1251()};
        }
    }
    if (refused) {
        l.line = refused->message;
        l.model.reset();
        return l;
    }
    const int next = std::min(c.finishedCount + 1, std::max(m_model.askCount, 1));
    l.line = fault("Тестування буде продовжено з питання %d з %d.", next, m_model.askCount).message;
    l.usable = c;
    return l;
}

void RunHost::nameEntered(const std::string& name)
{
    if (!m_undrawn || m_session.phase() != TestSession::Phase::TitlePage) {
        return;
    }
    m_titlePage.setResumeLine(lookup(name).line);
}

bool RunHost::beginClicked(const std::string& name, bool exam)
{
    if (m_session.phase() != TestSession::Phase::TitlePage || !m_controlsEnabled) {
        return false;
    }
    m_session.setAccommodation(m_accommodations.forStudent(name));
    // A name with an unfinished run of this test resumes it, in the mode it
    // was begun in. The drawn model replaces the start-up's in place: the
    // session and the views hold it by reference.
    if (m_undrawn && int(name.size()) < TestSession::kNameLimit) {
        Lookup& l = lookup(name);
        if (l.usable && l.model) {
            m_model = std::move(*l.model);
            exam = l.usable->examMode;
            m_session.setResume(std::move(l.usable), l.state);
            m_checkpoints.resumeFrom(l.file);
            m_lookup.reset();
        } else {
            // A name tried before (a refused registration) may have had one.
            m_session.setResume(std::nullopt, {});
            m_checkpoints.resumeFrom({});
        }
    }
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
