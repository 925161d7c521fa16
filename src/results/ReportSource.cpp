#include "results/ReportSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

Result<std::string> readFileBounded(const std::filesystem::path& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Fault{std::strerror(errno)};
    }
    std::string bytes;
    std::size_t done = 0;
    // One byte over the limit tells a file that is too large.
    bytes.resize(std::min<std::size_t>(limit + 1, 64u << 10));
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() > limit) {
                break;
            }
            bytes.resize(std::min(bytes.size() * 2, limit + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Fault fault{std::strerror(errno)};
            ::close(fd);
            return fault;
        }
        if (n == 0) {
            break;
        }
        done += std::size_t(n);
    }
    ::close(fd);
    if (done > limit) {
        return Fault{"larger than " + std::to_string(limit) + " bytes"};
    }
    bytes.resize(done);
    return bytes;
}

ReportFolder::ReportFolder(std::filesystem::path folder) : m_folder(std::move(folder)) {}

Result<std::vector<std::filesystem::path>> ReportFolder::files() const
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(m_folder, ec)) {
        return Fault{"not a folder: " + m_folder.string()};
    }
    std::vector<fs::path> files;
    fs::recursive_directory_iterator it(m_folder, fs::directory_options::skip_permission_denied,
                                        ec);
    if (ec) {
        return Fault{"cannot read the folder " + m_folder.string() + ": " + ec.message()};
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) {
            return Fault{"cannot read the folder " + m_folder.string() + ": " + ec.message()};
        }
        std::error_code typeError;
        if (it->is_regular_file(typeError)) {
            if (files.size() == kMaxFiles) {
                return Fault{"more than " + std::to_string(kMaxFiles) + " files in " +
                             m_folder.string()};
            }
            files.push_back(it->path());
        }
    }
    if (ec) {
        return Fault{"cannot read the folder " + m_folder.string() + ": " + ec.message()};
    }
    std::sort(files.begin(), files.end());
    return files;
}

Result<std::vector<SourcedReport>> ReportFolder::reports()
{
    namespace fs = std::filesystem;
    auto listed = this->files();
    if (!listed.ok()) {
        return listed.fault();
    }
    const std::vector<fs::path>& files = listed.value();
    std::vector<SourcedReport> out;
    out.reserve(files.size());
    for (const fs::path& file : files) {
        SourcedReport sourced;
        sourced.name = file.lexically_relative(m_folder).string();
        if (auto bytes = readFileBounded(file, kMaxReportBytes); bytes.ok()) {
            sourced.report = readReport(bytes.value());
        } else {
            sourced.report = Fault{"cannot be read: " + bytes.fault().message};
        }
        out.push_back(std::move(sourced));
    }
    return out;
}

} // namespace qd
