#include "journal/Journal.h"

namespace qd::journal {

const char* stateName(SittingState s)
{
    switch (s) {
    case SittingState::Open:
        return "open";
    case SittingState::Finished:
        return "finished";
    case SittingState::Released:
        return "released";
    case SittingState::Stopped:
        return "stopped";
    }
    return "open";
}

} // namespace qd::journal
