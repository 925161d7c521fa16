#include "BoardAccess.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include <cerrno>
#include <optional>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd::server {

namespace {

// Compares without stopping at the first difference, so that the time an
// answer takes tells nothing about how much of a guess was right.
bool sameSecret(const std::string& a, const QByteArray& b)
{
    if (a.empty() || std::size_t(b.size()) != a.size()) {
        return false;
    }
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[qsizetype(i)]);
    }
    return diff == 0;
}

bool printableToken(const std::string& t)
{
    if (t.size() < 16 || t.size() > 256) {
        return false;
    }
    for (const char c : t) {
        if (c <= ' ' || c > '~' || c == ';' || c == ',' || c == '"' || c == '\\') {
            return false;
        }
    }
    return true;
}

} // namespace

void BoardAccess::setListening(const QHostAddress& address, quint16 port)
{
    m_address = address;
    m_port = port;
}

bool BoardAccess::hostNamesBoard(const QByteArray& hostHeader) const
{
    QByteArray host = hostHeader.trimmed().toLower();
    std::optional<quint16> port;
    // "[v6]:port", "v4:port", "name:port" or without the port.
    const qsizetype close = host.lastIndexOf(']');
    const qsizetype colon = host.lastIndexOf(':');
    if (colon > close && (close >= 0 || host.indexOf(':') == colon)) {
        bool ok = false;
        const uint p = host.mid(colon + 1).toUInt(&ok);
        if (!ok || p > 65535) {
            return false;
        }
        port = quint16(p);
        host.truncate(colon);
    }
    if (host.startsWith('[') && host.endsWith(']')) {
        host = host.mid(1, host.size() - 2);
    }
    // The name decides (a rebinding page has a name of its own); a port, when
    // given, must be the board's.
    if (host.isEmpty() || (port && *port != m_port)) {
        return false;
    }
    const bool any = m_address == QHostAddress::Any || m_address == QHostAddress::AnyIPv4 ||
                     m_address == QHostAddress::AnyIPv6;
    QHostAddress literal;
    if (literal.setAddress(QString::fromLatin1(host))) {
        if (any) {
            return literal.isLoopback() || QNetworkInterface::allAddresses().contains(literal);
        }
        return literal.isEqual(m_address, QHostAddress::TolerantConversion);
    }
    // A name: only those that cannot be made to point elsewhere by someone
    // else's DNS.
    if (host == "localhost") {
        return any || m_address.isLoopback();
    }
    const QByteArray self = QHostInfo::localHostName().toLower().toUtf8();
    return !self.isEmpty() && (host == self || host.startsWith(self + '.'));
}

bool BoardAccess::carriesToken(const BoardRequestHead& head) const
{
    if (sameSecret(m_token, head.queryToken.toUtf8())) {
        return true;
    }
    const QByteArray bearer = "bearer ";
    if (head.authorization.toLower().startsWith(bearer) &&
        sameSecret(m_token, head.authorization.mid(bearer.size()).trimmed())) {
        return true;
    }
    for (const QByteArray& part : head.cookie.split(';')) {
        const QByteArray item = part.trimmed();
        const qsizetype eq = item.indexOf('=');
        if (eq > 0 && item.left(eq) == kBoardCookie && sameSecret(m_token, item.mid(eq + 1))) {
            return true;
        }
    }
    return false;
}

BoardVerdict BoardAccess::judge(const BoardRequestHead& head) const
{
    if (!hostNamesBoard(head.host)) {
        return BoardVerdict::WrongHost;
    }
    if (needsToken() && !carriesToken(head)) {
        return BoardVerdict::NoToken;
    }
    return BoardVerdict::Allow;
}

std::string BoardAccess::url() const
{
    QString host = m_address.toString();
    // On every address: the machine's name, which the Host check takes.
    if (m_address == QHostAddress::Any || m_address == QHostAddress::AnyIPv4 ||
        m_address == QHostAddress::AnyIPv6) {
        host = QHostInfo::localHostName();
    } else if (m_address.protocol() == QAbstractSocket::IPv6Protocol) {
        host = QLatin1Char('[') + host + QLatin1Char(']');
    }
    std::string out = "http://" + host.toStdString() + ":" + std::to_string(m_port) + "/";
    if (needsToken()) {
        out += "?token=" + m_token;
    }
    return out;
}

Result<std::string> boardToken(const std::filesystem::path& path)
{
    const std::string name = path.string();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        struct stat st
        {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return Fault{"the board's token " + name + " is not a plain file"};
        }
        if ((st.st_mode & 077) != 0) {
            ::close(fd);
            return Fault{"the board's token " + name +
                         " may be read by others: make it the owner's alone (chmod 600)"};
        }
        char buffer[300];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        std::string token(buffer, n > 0 ? std::size_t(n) : 0);
        while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) {
            token.pop_back();
        }
        if (!printableToken(token)) {
            return Fault{"the board's token " + name +
                         " must hold one line of 16 to 256 printable characters"};
        }
        return token;
    }
    if (errno != ENOENT) {
        return Fault{"cannot read the board's token " + name + ": " + std::strerror(errno)};
    }
    // 32 random bytes as hex: 256 bits, nothing to guess.
    std::string token;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        quint32 word = QRandomGenerator::system()->generate();
        for (int k = 0; k < 8; ++k, word >>= 4) {
            token += kHex[word & 0xf];
        }
    }
    const int out =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) {
        return Fault{"cannot write the board's token " + name + ": " + std::strerror(errno)};
    }
    const std::string line = token + "\n";
    const bool written =
        ::write(out, line.data(), line.size()) == ssize_t(line.size()) && ::fsync(out) == 0;
    if (::close(out) != 0 || !written) {
        ::unlink(path.c_str());
        return Fault{"cannot write the board's token " + name + ": " + std::strerror(errno)};
    }
    return token;
}

std::filesystem::path defaultBoardTokenPath(const std::string& journal)
{
    if (journal.rfind("postgres", 0) == 0) {
        return "quizdesk-exam.board-token";
    }
    return journal + ".board-token";
}

} // namespace qd::server
