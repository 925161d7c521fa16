#pragma once

// A limit on the size of the files this process writes (RLIMIT_FSIZE), with
// SIGXFSZ ignored so that a write past it fails with EFBIG instead of ending
// the process; both are restored when the object goes.

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

namespace qdtest {

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit r = m_saved;
        r.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &r), 0);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

} // namespace qdtest
