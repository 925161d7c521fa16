#pragma once

#include "definition/Fault.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <filesystem>
#include <string>

namespace qd::server {

// Who may read the board. On loopback anyone on the machine may (as before);
// on any other address a token is asked for, which the examiner gets as a
// ready-made URL. Every request must also name the board's own address in
// its Host header, so that a page on another site that resolves its name to
// this machine (DNS rebinding) cannot read it through the examiner's browser.

// The token's cookie, set when the page is opened with ?token=.
inline constexpr const char* kBoardCookie = "quizdesk_board";

enum class BoardVerdict {
    Allow,
    WrongHost, // the Host header does not name the board
    NoToken,   // the token is asked for and missing or wrong
};

struct BoardRequestHead
{
    QByteArray host;          // the Host header
    QByteArray cookie;        // the Cookie header
    QByteArray authorization; // the Authorization header ("Bearer TOKEN")
    QString queryToken;       // ?token=
};

class BoardAccess
{
public:
    BoardAccess() = default;
    // `token` empty: no token is asked for.
    explicit BoardAccess(std::string token) : m_token(std::move(token)) {}

    // The address and port the board listens on, for the Host check.
    void setListening(const QHostAddress& address, quint16 port);

    bool needsToken() const { return !m_token.empty(); }
    const std::string& token() const { return m_token; }

    BoardVerdict judge(const BoardRequestHead& head) const;
    // Whether a Host header names this board: its address (any address of
    // the machine when it listens on all), "localhost" on loopback or all,
    // the machine's own name; a port, when given, is the board's.
    bool hostNamesBoard(const QByteArray& host) const;
    // Whether the request carries the token (query, cookie or bearer).
    bool carriesToken(const BoardRequestHead& head) const;

    // The URL the start-up line prints (with ?token= when one is asked for;
    // the machine's name when the board listens on every address).
    std::string url() const;

private:
    std::string m_token;
    QHostAddress m_address;
    quint16 m_port = 0;
};

// The board's token kept at `path`: read when the file exists (it must be
// the owner's alone, mode 0600, and hold one token of 16 to 256 printable
// characters), otherwise made from the system's random source and written
// there with mode 0600. A fault names the file and what is wrong with it.
Result<std::string> boardToken(const std::filesystem::path& path);

// Where the token is kept by default: beside a SQLite journal
// ("exam.sqlite.board-token"), in the working folder for PostgreSQL.
std::filesystem::path defaultBoardTokenPath(const std::string& journal);

} // namespace qd::server
