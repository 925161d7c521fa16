#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace qd {

// Where the exam link stands. The link keeps its timers and counters beside
// it, but which of these it is in changes only through kLinkTransitions.
enum class LinkState {
    Idle,         // no link: before the first attempt, or dropped
    Connecting,   // registering: a connection is being opened
    Registering,  // connected, the registration not granted yet
    Registered,   // the server admitted the student; the link is up
    Reconnecting, // admitted, and a connection that was lost is opened again
    Finishing,    // the final message waits for its answer
    Closed,       // closed after the results
};

// What happens to the link.
enum class LinkInput {
    Open,          // "Почати тестування" in examination mode, a usable address
    Connected,     // a connection was established
    Lost,          // the connection ended or an attempt failed; tried again
    Granted,       // a reply admitted the student
    FinalSent,     // the final message with the report was handed over
    FinalAnswered, // the server answered the final message
    Dropped,       // refused, unreachable or given up: back to the title page
    Closed,        // the results' closing time: the link is closed
};

struct LinkTransition
{
    LinkState from;
    LinkInput input;
    LinkState to;
};

// Every change of state the link makes. An input not listed for a state
// leaves it where it is (a grant repeated on a progress message, a loss
// reported twice, a drop of a link that is down).
inline constexpr std::array kLinkTransitions = {
    LinkTransition{LinkState::Idle, LinkInput::Open, LinkState::Connecting},
    LinkTransition{LinkState::Closed, LinkInput::Open, LinkState::Connecting},
    LinkTransition{LinkState::Connecting, LinkInput::Connected, LinkState::Registering},
    LinkTransition{LinkState::Registering, LinkInput::Lost, LinkState::Connecting},
    LinkTransition{LinkState::Registering, LinkInput::Granted, LinkState::Registered},
    LinkTransition{LinkState::Registered, LinkInput::Lost, LinkState::Reconnecting},
    LinkTransition{LinkState::Reconnecting, LinkInput::Connected, LinkState::Registered},
    LinkTransition{LinkState::Registered, LinkInput::FinalSent, LinkState::Finishing},
    LinkTransition{LinkState::Reconnecting, LinkInput::FinalSent, LinkState::Finishing},
    LinkTransition{LinkState::Finishing, LinkInput::FinalAnswered, LinkState::Registered},
    LinkTransition{LinkState::Connecting, LinkInput::Dropped, LinkState::Idle},
    LinkTransition{LinkState::Registering, LinkInput::Dropped, LinkState::Idle},
    LinkTransition{LinkState::Registered, LinkInput::Dropped, LinkState::Idle},
    LinkTransition{LinkState::Reconnecting, LinkInput::Dropped, LinkState::Idle},
    LinkTransition{LinkState::Finishing, LinkInput::Dropped, LinkState::Idle},
    LinkTransition{LinkState::Registered, LinkInput::Closed, LinkState::Closed},
    LinkTransition{LinkState::Reconnecting, LinkInput::Closed, LinkState::Closed},
    LinkTransition{LinkState::Finishing, LinkInput::Closed, LinkState::Closed},
};

// The state `input` leads to from `from`; nothing when the table has no
// such change.
constexpr std::optional<LinkState> nextLinkState(LinkState from, LinkInput input)
{
    for (const LinkTransition& t : kLinkTransitions) {
        if (t.from == from && t.input == input) {
            return t.to;
        }
    }
    return std::nullopt;
}

// The state's name, for messages and tests.
std::string_view linkStateName(LinkState state);

} // namespace qd
