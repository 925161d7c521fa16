#include "results/ReportFile.h"

#include "results/ReportRows.h"

#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace {

// A write interrupted by a signal is tried again, a bounded number of times.
constexpr int kMaxInterruptions = 1000;

// A name in code page 1251 as a Linux file name: its UTF-8 form.
std::filesystem::path nativeName(std::string_view cp1251)
{
    return std::filesystem::path(fromCp1251(cp1251));
}

// The home directory as the system gives it, byte for byte: $HOME, else the
// password database's entry. No round trip through Unicode, so that a home
// whose name is not UTF-8 is still found.
std::filesystem::path homeDir()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home);
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return std::filesystem::path(pw->pw_dir);
    }
    return std::filesystem::path("/");
}

// Creates `dir`, one level only (a missing parent is not made). A failure
// shows when the file cannot be created in it.
void makeDir(const std::filesystem::path& dir)
{
    (void)::mkdir(dir.c_str(), 0777);
}

// Writes all of `bytes`; false on any failure (the file is then cut).
bool writeAll(int fd, std::string_view bytes)
{
    int interruptions = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR && ++interruptions < kMaxInterruptions) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

} // namespace

ReportFile::~ReportFile()
{
    close();
}

std::string_view ReportFile::finishedReport() const
{
    return m_finished ? std::string_view(m_text) : std::string_view();
}

void ReportFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

// Creates the report exclusively in `dir`: the student's name, or the first
// of "name (2)", "name (3)", ... that is free. O_EXCL also refuses a
// symbolic link of the name, dangling or not, so nothing planted in the
// folder redirects the report. False when the folder will not take a file.
bool ReportFile::createIn(const std::filesystem::path& dir)
{
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        std::string name = m_name;
        if (n > 1) {
            name += " (" + std::to_string(n) + ")";
        }
        const std::filesystem::path path = dir / nativeName(name + ".txt");
        const int fd =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// The file in use is cut: it stops being the report. Once per run the
// report so far goes whole into a new file in the fall-back folder, which
// takes the later writes; when that is where the report was already, or
// that copy fails too, there is no file holding the whole report.
void ReportFile::writeFailed()
{
    m_writeFailed = true;
    close();
    m_path.clear();
    if (m_inFallbackDir) {
        return;
    }
    m_inFallbackDir = true;
    makeDir(m_fallbackDir);
    if (!createIn(m_fallbackDir)) {
        return;
    }
    if (!writeAll(m_fd, m_text)) {
        close();
        m_path.clear();
    }
}

void ReportFile::put(std::string_view bytes)
{
    if (!m_named) {
        return;
    }
    m_text.append(bytes);
    if (m_fd >= 0 && !writeAll(m_fd, bytes)) {
        writeFailed();
    }
}

Status ReportFile::takeWriteFault()
{
    if (!m_writeFailed || m_faultTaken) {
        return {};
    }
    m_faultTaken = true;
    return fault("Не удалось записать файл результатов!");
}

// What beginning and continuing a report share: the state reset and the
// file's name. m_named tells whether there is a report at all.
void ReportFile::begin(std::string_view studentName)
{
    close();
    m_path.clear();
    m_text.clear();
    m_named = false;
    m_inFallbackDir = false;
    m_writeFailed = false;
    m_faultTaken = false;
    m_finished = false;

    std::string name(studentName);
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    if (name.empty()) {
        return; // no report for a nameless run
    }
    makeFileNameSafe(name);
    m_name = name;
    m_named = true;
    m_fallbackDir = fallbackDir();
}

std::filesystem::path ReportFile::fallbackDir()
{
    return homeDir() / "REZ_TEST";
}

// Opens an existing report to go on writing it, when it holds exactly
// `text` and nothing more. A symbolic link is not followed.
bool ReportFile::reopen(const std::filesystem::path& path, std::string_view text)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st
    {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) == text.size();
    std::string bytes(same ? text.size() : 0, '\0');
    std::size_t got = 0;
    int interruptions = 0;
    while (same && got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR && ++interruptions < kMaxInterruptions) {
            continue;
        }
        if (n <= 0) {
            same = false;
            break;
        }
        got += std::size_t(n);
    }
    if (!same || bytes != text || ::lseek(fd, 0, SEEK_END) != off_t(text.size())) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

Status ReportFile::continueReport(std::string_view studentName, const std::filesystem::path& dir,
                                  const std::string& fileName, std::string_view text)
{
    begin(studentName);
    if (!m_named) {
        return {};
    }
    m_text = text;
    m_inFallbackDir = dir == m_fallbackDir;
    const std::filesystem::path file = dir / std::filesystem::path(fileName);
    if (!fileName.empty() && reopen(file, text)) {
        return {};
    }
    // A report that is not there (the checkpoint alone was carried to
    // another computer) is written anew from the checkpoint's bytes, under
    // its own name when that is free; one that is there but differs is
    // never written over: the file as it stands may be all someone has.
    struct stat st
    {};
    const bool changed = !fileName.empty() && ::lstat(file.c_str(), &st) == 0;
    bool created = createIn(dir);
    if (!created && !m_inFallbackDir) {
        m_inFallbackDir = true;
        makeDir(m_fallbackDir);
        created = createIn(m_fallbackDir);
    }
    if (!created) {
        return fault("Не удалось создать файл результатов!");
    }
    if (!writeAll(m_fd, m_text)) {
        writeFailed();
    }
    if (!changed) {
        return {};
    }
    return fault("Файл результатів змінено: його залишено, результати записано в новий файл.");
}

Status ReportFile::createReport(const TestModel& model, const RunState& st, const Clock& clock,
                                const std::filesystem::path& workDir)
{
    begin(st.studentName);
    if (!m_named) {
        return {}; // no report for a nameless run
    }

    // The results folder of the test when it takes the file, else the
    // fall-back folder, as for a folder that cannot be made.
    bool created = false;
    if (!model.reportDir.empty()) {
        const std::filesystem::path dir = workDir / nativeName(model.reportDir);
        makeDir(dir);
        created = createIn(dir);
    }
    if (!created) {
        m_inFallbackDir = true;
        makeDir(m_fallbackDir);
        created = createIn(m_fallbackDir);
    }

    // The report is kept in memory even without a file: the exam server
    // still receives it whole.
    ReportCriteria criteria;
    criteria.byTime = model.gradeByTime == 1;
    criteria.thresholds[0] =
        criteria.byTime ? model.satisfactorySeconds : model.satisfactoryPercent;
    criteria.thresholds[1] = criteria.byTime ? model.goodSeconds : model.goodPercent;
    criteria.thresholds[2] = criteria.byTime ? model.excellentSeconds : model.excellentPercent;
    put(formatReportHeader(clock.now(), model.subjectName, st.testTitle, st.studentName, criteria));
    if (!created) {
        return fault("Не удалось создать файл результатов!");
    }
    return {};
}

void ReportFile::writeQuestionLine(const TestModel& model, const RunState& st, float points)
{
    if (!m_named) {
        return;
    }
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    std::string answer;
    if (q.isChoice()) {
        // A typed list holds the numbers of the file already; a mouse pick
        // is a shown position, mapped to the file through displayOrder.
        const bool typed = q.picture == PictureMode::PictureOnly;
        if (typed || st.picks[0] != -2) {
            for (int i = 0; i < std::min(st.pickCount, kMaxAnswers); ++i) {
                const int32_t p = st.picks[std::size_t(i)];
                if (typed) {
                    answer += formatChoiceNumber(int32_t(uint32_t(p) + 1u));
                } else if (p >= 0 && p < kMaxAnswers) {
                    answer += formatChoiceNumber(q.displayOrder[std::size_t(p)] + 1);
                }
            }
        }
    } else {
        answer = st.answerText;
    }
    put(formatReportRow(st.currentQuestion + 1, double(points), answer));
}

void ReportFile::writeClosingRows(const RunState& st, int percent, uint32_t seconds,
                                  std::string_view grade)
{
    put(formatClosingRows(double(st.score), st.maxScore, percent, seconds, grade));
    if (st.accommodation.any()) {
        put(formatAccommodationRow(st.accommodation.settingsText()));
    }
    // The test is over: the report must be on the disk, not in a cache that
    // a power cut loses. A flush that fails is a failed write. At most two
    // rounds: the file in use, then once the fall-back copy.
    while (m_fd >= 0 && ::fsync(m_fd) != 0) {
        writeFailed();
    }
    m_finished = true;
}

} // namespace qd
