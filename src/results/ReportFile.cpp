#include "results/ReportFile.h"

#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace {

// The working directory as the test name's second line holds it.
constexpr std::size_t kDirBytes = 128;

// printf-style formatting of a report row whose format is written in UTF-8
// here and is code page 1251 in the file. Floats go in as doubles.
template <typename... Args>
std::string row(std::string_view utf8Format, Args... args)
{
    const std::string format = toCp1251(utf8Format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(nullptr, 0, format.c_str(), args...);
    std::string out(std::size_t(std::max(n, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), format.c_str(), args...);
#pragma GCC diagnostic pop
    out.resize(std::size_t(std::max(n, 0)));
    return out;
}

// A name in code page 1251 as a Linux file name: its UTF-8 form.
std::filesystem::path nativeName(std::string_view cp1251)
{
    return std::filesystem::path(fromCp1251(cp1251));
}

// Creates `dir` (one level, like the platform's directory creation). True
// when it was created or already exists.
bool makeDir(const std::filesystem::path& dir)
{
    return ::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

std::filesystem::path reportDir(const TestModel& model, const std::filesystem::path& workDir)
{
    if (!model.rez_dir.empty()) {
        const std::filesystem::path dir = workDir / nativeName(model.rez_dir);
        if (makeDir(dir)) {
            return dir;
        }
    }
    const std::filesystem::path dir =
        std::filesystem::path(QDir::homePath().toStdString()) / "REZ_TEST";
    makeDir(dir); // a failure shows when the file cannot be created
    return dir;
}

} // namespace

ReportFile::~ReportFile()
{
    close();
}

void ReportFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void ReportFile::put(std::string_view bytes)
{
    if (m_fd < 0) {
        return;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // write errors are not reported
        }
        bytes.remove_prefix(std::size_t(n));
    }
}

Status ReportFile::create_df(TestModel& model, std::string_view st_name, const Clock& clock,
                             const std::filesystem::path& workDir)
{
    close();
    m_path.clear();

    std::string dir = toCp1251(workDir.string());
    dir.resize(std::min(dir.size(), kDirBytes));
    model.test_name += "\r\n(" + dir + ")";

    std::string name(st_name);
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    if (name.empty()) {
        return std::nullopt; // no report for a nameless run
    }
    del_harm(name);
    name += ".txt";

    const std::filesystem::path path = reportDir(model, workDir) / nativeName(name);
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        return fault("Не удалось создать файл результатов!");
    }
    m_path = path;

    const LocalTime t = clock.now();
    put(row("Дата: %2d.%2d.%d   Час: %2d.%2d.%2d\n", t.day, t.month, t.year, t.hour, t.minute,
            t.second));
    put(toCp1251("Найменування дисципліни: "));
    put(model.disc_name);
    put(toCp1251("\nНазва тесту: "));
    put(model.test_name);
    put(toCp1251("\nПрізвище та ім'я: "));
    put(st_name);
    const bool byTime = model.by_time == 1;
    const int before = byTime ? '<' : '>';
    const int after = byTime ? 'c' : '%';
    put(row("\nКритерії оцінювання: Задовільно %c= %2d%c, Добре %c= %2d%c, Відмінно %c= %2d%c.",
            before, byTime ? model.t_sat : model.pc_sat, after, before,
            byTime ? model.t_good : model.pc_good, after, before,
            byTime ? model.t_exc : model.pc_exc, after));
    put(toCp1251("\n\nРезультати тестування:\n"));
    put(toCp1251("№ питання  Кількість балів  Відповідь\n"));
    return std::nullopt;
}

void ReportFile::write_1q(const TestModel& model, const RunState& st, float points)
{
    if (m_fd < 0) {
        return;
    }
    put(row("  %4d          %.2f       ", st.cur_q + 1, double(points)));

    const Question& q = model.stq[std::size_t(st.cur_q)];
    std::string answer;
    if (q.type == 1 || q.type == 2) {
        // A typed list holds the numbers of the file already; a mouse pick
        // is a shown position, mapped to the file through ord.
        const bool typed = q.graph == 2;
        if (typed || st.picks[0] != -2) {
            for (int i = 0; i < std::min(st.n_picks, kMaxAnswers); ++i) {
                const int32_t p = st.picks[std::size_t(i)];
                if (typed) {
                    answer += row("%2d,", int32_t(uint32_t(p) + 1u));
                } else if (p >= 0 && p < kMaxAnswers) {
                    answer += row("%2d,", q.ord[std::size_t(p)] + 1);
                }
            }
        }
    } else {
        answer = st.ans_text;
    }
    answer += '\n';
    put(answer);
}

void ReportFile::write_rez(const RunState& st, int percent, uint32_t seconds, std::string_view grade,
                           bool linkActive)
{
    put(row("Всього балів: %.2f з %d можливих\n ", double(st.score), st.max_score));
    put(row("або %d відсотків за час %d хвилин %d секунд.\n", percent, int(seconds / 60),
            int(seconds % 60)));
    put(toCp1251("Оцінка: ") + std::string(grade) + "\n");
    if (!linkActive) {
        return;
    }
    m_sendLength = 0;
    if (m_fd >= 0) {
        const off_t end = ::lseek(m_fd, 0, SEEK_END);
        m_sendLength = end > 0 ? int32_t(end) : 0;
    }
    m_send.assign(std::size_t(kSendHeader + m_sendLength + kSendTail), '\0');
    int32_t done = 0;
    while (done < m_sendLength) {
        const ssize_t n = ::pread(m_fd, m_send.data() + kSendHeader + done,
                                  std::size_t(m_sendLength - done), off_t(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += int32_t(n);
    }
    m_sendLength = done;
}

} // namespace qd
