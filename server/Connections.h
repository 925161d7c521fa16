#pragma once

#include <cstdint>

namespace qd::server {

// What the exam desk may ask of the connections that carry the messages:
// whether the one that holds a sitting is still live, and to close one
// that a newer connection of the same computer replaces. Connections are
// numbered from 1 as they are accepted; 0 is none.
class Connections
{
public:
    // A sitting's connection is live while it is open and a message came on
    // it within this many seconds.
    static constexpr int kLiveSeconds = 60;

    virtual ~Connections() = default;
    virtual bool live(uint64_t connection) const = 0;
    virtual void close(uint64_t connection) = 0;
    // Whether the server closed the connection for saying nothing for long:
    // its computer connects again by itself, which is no resumption.
    virtual bool closedForIdleness(uint64_t /*connection*/) const { return false; }
};

} // namespace qd::server
