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
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit r = saved_;
        r.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &r), 0);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

} // namespace qdtest
