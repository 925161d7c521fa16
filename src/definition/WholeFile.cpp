#include "definition/WholeFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace {

Fault systemFault()
{
    return Fault{std::strerror(errno)};
}

Fault fileFault(const QFileDevice& file)
{
    return Fault{file.errorString().toStdString()};
}

} // namespace

Status syncFolder(const std::filesystem::path& dir)
{
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return systemFault();
    }
    // The reason is read before close() may change errno.
    Fault why;
    const bool synced = ::fsync(fd) == 0;
    if (!synced) {
        why = systemFault();
    }
    ::close(fd);
    if (!synced) {
        return why;
    }
    return {};
}

Status writeWholeFile(const std::filesystem::path& path, std::string_view bytes)
{
    return writeWholeFile(path, [bytes](QIODevice& out) {
        return out.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
    });
}

Status writeWholeFile(const std::filesystem::path& path,
                      const std::function<bool(QIODevice&)>& fill)
{
    QSaveFile file(QFile::decodeName(QByteArray(path.c_str())));
    if (!file.open(QIODevice::WriteOnly)) {
        return fileFault(file);
    }
    const auto abandon = [&file](Fault fault) {
        file.cancelWriting();
        return Status(std::move(fault));
    };
    // QSaveFile carries over only the permissions Qt models; the bits
    // themselves (group and other as they were) are what the roster needs.
    struct stat old
    {};
    if (::stat(path.c_str(), &old) == 0 && ::fchmod(file.handle(), old.st_mode & 07777) != 0) {
        return abandon(systemFault());
    }
    if (!fill(file)) {
        return abandon(file.error() == QFileDevice::NoError ? Fault{"the contents were not made"}
                                                            : fileFault(file));
    }
    // commit() flushes too but does not notice when that flush fails.
    if (!file.flush()) {
        return abandon(fileFault(file));
    }
    if (::fsync(file.handle()) != 0) {
        return abandon(systemFault());
    }
    if (!file.commit()) {
        return fileFault(file);
    }
    return syncFolder(path.parent_path());
}

} // namespace qd
