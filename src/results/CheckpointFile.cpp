#include "results/CheckpointFile.h"

#include "results/ReportFile.h"

#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"
#include "definition/WholeFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace {

constexpr std::string_view kSuffix = ".checkpoint";

QString qtPath(const std::filesystem::path& p)
{
    return QFile::decodeName(QByteArray(p.c_str()));
}

bool isPresent(const std::filesystem::path& p)
{
    struct stat st
    {};
    return ::lstat(p.c_str(), &st) == 0;
}

} // namespace

std::vector<std::filesystem::path> CheckpointFile::folders(const TestModel& model,
                                                           const std::filesystem::path& workDir)
{
    std::vector<std::filesystem::path> out;
    if (!model.reportDir.empty()) {
        out.push_back(workDir / std::filesystem::path(fromCp1251(model.reportDir)));
    }
    out.push_back(ReportFile::fallbackDir());
    return out;
}

std::string CheckpointFile::fileNameFor(std::string_view studentName)
{
    std::string name(studentName);
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    if (name.empty()) {
        return {};
    }
    makeFileNameSafe(name);
    return fromCp1251(name) + std::string(kSuffix);
}

std::optional<CheckpointFile::Found> CheckpointFile::find(const TestModel& model,
                                                          const std::filesystem::path& workDir,
                                                          std::string_view studentName)
{
    const std::string name = fileNameFor(studentName);
    if (name.empty()) {
        return std::nullopt;
    }
    for (const std::filesystem::path& dir : folders(model, workDir)) {
        const std::filesystem::path file = dir / name;
        if (!isPresent(file)) {
            continue;
        }
        QFile f(qtPath(file));
        // Bounded: a checkpoint is never this large, and a file that is
        // cannot make the title page read without end.
        if (!f.open(QIODevice::ReadOnly) || f.size() > qint64(Checkpoint::kMaxBytes)) {
            return Found{file, refusal(CheckpointProblem::Unreadable)};
        }
        const QByteArray bytes = f.read(qint64(Checkpoint::kMaxBytes) + 1);
        if (f.error() != QFileDevice::NoError || bytes.size() > qsizetype(Checkpoint::kMaxBytes)) {
            return Found{file, refusal(CheckpointProblem::Unreadable)};
        }
        auto content =
            decodeCheckpoint(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        // The file is named after the student, but only its content says
        // whose it is.
        if (const auto* c = std::get_if<Checkpoint>(&content); c && c->studentName != studentName) {
            return Found{file, refusal(CheckpointProblem::Foreign)};
        }
        return Found{file, std::move(content)};
    }
    return std::nullopt;
}

void CheckpointFile::putAside(const std::filesystem::path& target)
{
    for (int n = 1; n <= kMaxAsideNumbers; ++n) {
        std::filesystem::path aside = target;
        aside += "." + std::to_string(n);
        if (isPresent(aside)) {
            continue;
        }
        // link + unlink would refuse to replace as well; a rename checked
        // just before is enough for files only this computer's runs make.
        if (::rename(target.c_str(), aside.c_str()) == 0) {
            return;
        }
        break;
    }
    m_failed = true;
}

bool CheckpointFile::write(const std::filesystem::path& target, const std::string& bytes)
{
    return writeWholeFile(target, bytes).ok();
}

void CheckpointFile::save(Checkpoint checkpoint)
{
    const std::filesystem::path& report = m_report.path();
    std::filesystem::path dir;
    if (!report.empty()) {
        dir = report.parent_path();
        checkpoint.reportName = report.filename().string();
    } else if (!m_resumedFrom.empty()) {
        dir = m_resumedFrom.parent_path();
    } else {
        return; // no folder took the report: there is nowhere to keep it beside
    }
    checkpoint.reportText = m_report.text();
    const std::string name = fileNameFor(checkpoint.studentName);
    if (name.empty()) {
        return;
    }
    const std::filesystem::path target = dir / name;
    // Another run's checkpoint (refused on the title page) keeps its bytes
    // under another name.
    if (target != m_file && target != m_resumedFrom && isPresent(target)) {
        putAside(target);
    }
    if (!write(target, encodeCheckpoint(checkpoint))) {
        m_failed = true;
        return;
    }
    // The report moved to the fall-back folder: so does its checkpoint.
    for (const std::filesystem::path& old : {m_file, m_resumedFrom}) {
        if (!old.empty() && old != target) {
            (void)::unlink(old.c_str());
        }
    }
    m_resumedFrom.clear();
    m_file = target;
    if (afterSave) {
        afterSave(checkpoint);
    }
}

void CheckpointFile::discard()
{
    for (const std::filesystem::path& file : {m_file, m_resumedFrom}) {
        if (!file.empty() && ::unlink(file.c_str()) == 0) {
            (void)syncFolder(file.parent_path());
        }
    }
    m_file.clear();
    m_resumedFrom.clear();
}

Status CheckpointFile::continueReport(const TestModel& model, const Checkpoint& checkpoint,
                                      const std::filesystem::path& workDir)
{
    const std::filesystem::path dir =
        m_resumedFrom.empty() ? folders(model, workDir).front() : m_resumedFrom.parent_path();
    return m_report.continueReport(checkpoint.studentName, dir, checkpoint.reportName,
                                   checkpoint.reportText);
}

Status CheckpointFile::takeFault()
{
    if (!m_failed || m_faultTaken) {
        return {};
    }
    m_faultTaken = true;
    return fault("Не вдалося зберегти стан тестування: після збою тест почнеться спочатку.");
}

} // namespace qd
