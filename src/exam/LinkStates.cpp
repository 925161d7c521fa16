#include "exam/LinkStates.h"

namespace qd {

std::string_view linkStateName(LinkState state)
{
    switch (state) {
    case LinkState::Idle:
        return "idle";
    case LinkState::Connecting:
        return "connecting";
    case LinkState::Registering:
        return "registering";
    case LinkState::Registered:
        return "registered";
    case LinkState::Reconnecting:
        return "reconnecting";
    case LinkState::Finishing:
        return "finishing";
    case LinkState::Closed:
        return "closed";
    }
    return "?";
}

} // namespace qd
