// quizdesk_board_bench: the exam server's board under load, on loopback.
//
//   fill --port P --students N --board URL --save FILE
//       registers N students (student-0 ...) through the exam protocol,
//       each with one progress message, 500 connections at a time; keeps
//       the last 10 connections, changes those 10 sittings with one more
//       progress message each, and measures GET /api/sittings?since=G
//       (G the board's generation before the change: the answer holds the
//       10 rows) 500 times one after another: p50 and p99. Saves the whole
//       /api/sittings document to FILE (for the static baseline).
//   rate --url URL --vs URL [--seconds S] [--connections C]
//       GETs each URL as fast as C connections allow for S seconds (one
//       request per connection, as a browser's new tab would) and prints
//       both request rates and their ratio.
//   latency --url URL [--count N]
//       N GETs one after another: p50 and p99.
//   poll --url URL --every-ms M --seconds S
//       what an open board page costs the server: a GET every M ms.
//
// Bounded: every socket has a 10 s timeout, every run its own duration.

#include "definition/Cp1251.h"
#include "exam/ExamMessage.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Url
{
    std::string host = "127.0.0.1";
    int port = 0;
    std::string path = "/";
};

std::optional<Url> parseUrl(const std::string& text)
{
    static const std::regex form(R"(http://([0-9.]+):(\d+)(/.*)?)");
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
        return std::nullopt;
    }
    return Url{m[1], std::atoi(m[2].str().c_str()), m[3].matched ? m[3].str() : "/"};
}

int connectTo(const std::string& host, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return -1;
    }
    timeval tv{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    ::inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes)
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        at += std::size_t(n);
    }
    return true;
}

// One GET on a connection of its own: the body, nullopt on a failure.
std::optional<std::string> get(const Url& url)
{
    const int fd = connectTo(url.host, url.port);
    if (fd < 0) {
        return std::nullopt;
    }
    const std::string request = "GET " + url.path + " HTTP/1.1\r\nHost: " + url.host + ":" +
                                std::to_string(url.port) + "\r\nConnection: close\r\n\r\n";
    std::optional<std::string> body;
    if (sendAll(fd, request)) {
        std::string in;
        char buffer[65536];
        std::size_t headEnd = std::string::npos;
        std::size_t length = 0;
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            in.append(buffer, std::size_t(n));
            if (headEnd == std::string::npos) {
                headEnd = in.find("\r\n\r\n");
                if (headEnd != std::string::npos) {
                    std::string head = in.substr(0, headEnd);
                    std::transform(head.begin(), head.end(), head.begin(), ::tolower);
                    const auto at = head.find("content-length:");
                    length = at == std::string::npos
                                 ? 0
                                 : std::strtoul(head.c_str() + at + 15, nullptr, 10);
                }
            }
            if (headEnd != std::string::npos && in.size() >= headEnd + 4 + length) {
                body = in.substr(headEnd + 4, length);
                break;
            }
        }
    }
    ::close(fd);
    return body;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::map<std::string, std::string> options(int argc, char** argv)
{
    std::map<std::string, std::string> o;
    for (int k = 2; k + 1 < argc; k += 2) {
        o[argv[k]] = argv[k + 1];
    }
    return o;
}

// ---- the exam side

std::string message(int student, int16_t kind, int answered)
{
    qd::ExamMessage m;
    m.hostName = "pc-" + std::to_string(student);
    m.studentName = "student-" + std::to_string(student);
    m.kind = kind;
    m.answeredCount = int16_t(answered);
    m.lastRight = 1;
    m.scoreValue = float(answered);
    return m.bytes();
}

// Sends one message on each connection, then reads each one's 7-byte reply.
bool exchange(const std::vector<std::pair<int, int>>& connections, int16_t kind, int answered)
{
    for (const auto& [fd, student] : connections) {
        if (!sendAll(fd, message(student, kind, answered))) {
            return false;
        }
    }
    for (const auto& [fd, student] : connections) {
        char reply[7];
        std::size_t got = 0;
        while (got < sizeof reply) {
            const ssize_t n = ::recv(fd, reply + got, sizeof reply - got, 0);
            if (n <= 0) {
                return false;
            }
            got += std::size_t(n);
        }
        if (reply[0] != 1) {
            std::fprintf(stderr, "student-%d: asked again\n", student);
        }
    }
    return true;
}

uint64_t generationOf(const std::string& body)
{
    const auto at = body.find("\"generation\":");
    return at == std::string::npos ? 0 : std::strtoull(body.c_str() + at + 13, nullptr, 10);
}

std::size_t rowsIn(const std::string& body)
{
    std::size_t n = 0;
    for (auto at = body.find("\"id\":"); at != std::string::npos;
         at = body.find("\"id\":", at + 1)) {
        ++n;
    }
    return n;
}

int fill(const std::map<std::string, std::string>& o)
{
    const int port = std::atoi(o.at("--port").c_str());
    const int students = std::atoi(o.at("--students").c_str());
    const auto board = parseUrl(o.at("--board"));
    if (!board || students < 10) {
        std::fprintf(stderr, "fill: --board http://ADDR:PORT/ and --students 10 or more\n");
        return 2;
    }
    const auto started = Clock::now();
    std::vector<std::pair<int, int>> kept;
    for (int first = 0; first < students; first += 500) {
        std::vector<std::pair<int, int>> batch;
        for (int s = first; s < std::min(students, first + 500); ++s) {
            const int fd = connectTo("127.0.0.1", port);
            if (fd < 0) {
                std::fprintf(stderr, "fill: cannot connect to the exam server\n");
                return 1;
            }
            batch.emplace_back(fd, s);
        }
        if (!exchange(batch, qd::ExamMessage::Registration, 0) ||
            !exchange(batch, qd::ExamMessage::Progress, 1)) {
            std::fprintf(stderr, "fill: the exam server stopped answering\n");
            return 1;
        }
        for (const auto& [fd, s] : batch) {
            if (s >= students - 10) {
                kept.emplace_back(fd, s);
            } else {
                ::close(fd);
            }
        }
    }
    std::printf("%d sittings registered with progress in %.1f s\n", students,
                msSince(started) / 1000);

    Url all = *board;
    all.path = "/api/sittings";
    // The board shows every sitting once it has read the journal again.
    std::string body;
    for (int tries = 0; tries < 100; ++tries) {
        body = get(all).value_or("");
        if (rowsIn(body) >= std::size_t(students)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (rowsIn(body) < std::size_t(students)) {
        std::fprintf(stderr, "fill: the board shows %zu sittings\n", rowsIn(body));
        return 1;
    }
    std::ofstream(o.at("--save"), std::ios::binary) << body;
    std::printf("/api/sittings: %zu bytes\n", body.size());

    // The board settled: its generation no longer moves for half a second.
    Url since = *board;
    since.path = "/api/sittings?since=0";
    uint64_t before = generationOf(get(since).value_or(""));
    for (int tries = 0; tries < 100; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const uint64_t now = generationOf(get(since).value_or(""));
        if (now == before) {
            break;
        }
        before = now;
    }
    if (!exchange(kept, qd::ExamMessage::Progress, 2)) {
        std::fprintf(stderr, "fill: the exam server stopped answering\n");
        return 1;
    }
    since.path = "/api/sittings?since=" + std::to_string(before);
    for (int tries = 0; tries < 100 && rowsIn(get(since).value_or("")) != 10; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<double> ms;
    for (int k = 0; k < 500; ++k) {
        const auto t = Clock::now();
        const auto b = get(since);
        ms.push_back(msSince(t));
        if (!b || rowsIn(*b) != 10) {
            std::fprintf(stderr, "since: %zu rows, not 10\n", b ? rowsIn(*b) : 0);
            return 1;
        }
    }
    const double p99 = percentile(ms, 0.99);
    std::printf("?since= with 10 changed rows: p50 %.2f ms, p99 %.2f ms (aim: p99 under 5 ms) %s\n",
                percentile(ms, 0.5), p99, p99 < 5 ? "MET" : "MISSED");
    for (const auto& [fd, s] : kept) {
        ::close(fd);
    }
    return 0;
}

struct Rate
{
    double perSecond = 0;
    double p50 = 0;
    double p99 = 0;
    int failed = 0;
};

Rate rate(const Url& url, double seconds, int connections)
{
    std::atomic<int> failed{0};
    std::vector<std::vector<double>> times(static_cast<std::size_t>(connections));
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < connections; ++c) {
        threads.emplace_back([&, c] {
            while (Clock::now() < end) {
                const auto t = Clock::now();
                if (get(url)) {
                    times[std::size_t(c)].push_back(msSince(t));
                } else {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    std::vector<double> all;
    for (const auto& t : times) {
        all.insert(all.end(), t.begin(), t.end());
    }
    return Rate{double(all.size()) / (msSince(started) / 1000), percentile(all, 0.5),
                percentile(all, 0.99), failed.load()};
}

int rates(const std::map<std::string, std::string>& o)
{
    const auto url = parseUrl(o.at("--url"));
    const auto vs = parseUrl(o.at("--vs"));
    if (!url || !vs) {
        std::fprintf(stderr, "rate: --url and --vs take http://ADDR:PORT/PATH\n");
        return 2;
    }
    const double seconds = o.count("--seconds") ? std::atof(o.at("--seconds").c_str()) : 5;
    const int connections = o.count("--connections") ? std::atoi(o.at("--connections").c_str()) : 4;
    const Rate base = rate(*vs, seconds, connections);
    const Rate ours = rate(*url, seconds, connections);
    std::printf("baseline (static server, same bytes): %.1f requests/s, p50 %.1f ms, p99 %.1f ms, "
                "%d failed\n",
                base.perSecond, base.p50, base.p99, base.failed);
    std::printf("board /api/sittings: %.1f requests/s, p50 %.1f ms, p99 %.1f ms, %d failed\n",
                ours.perSecond, ours.p50, ours.p99, ours.failed);
    const double ratio = base.perSecond > 0 ? ours.perSecond / base.perSecond : 0;
    std::printf("ratio board/baseline: %.2f (aim: at least 0.20) %s\n", ratio,
                ratio >= 0.2 ? "MET" : "MISSED");
    return 0;
}

int latency(const std::map<std::string, std::string>& o)
{
    const auto url = parseUrl(o.at("--url"));
    const int count = o.count("--count") ? std::atoi(o.at("--count").c_str()) : 500;
    if (!url) {
        return 2;
    }
    std::vector<double> ms;
    for (int k = 0; k < count; ++k) {
        const auto t = Clock::now();
        if (!get(*url)) {
            return 1;
        }
        ms.push_back(msSince(t));
    }
    std::printf("p50 %.2f ms, p99 %.2f ms\n", percentile(ms, 0.5), percentile(ms, 0.99));
    return 0;
}

int poll(const std::map<std::string, std::string>& o)
{
    const auto url = parseUrl(o.at("--url"));
    const int every = std::atoi(o.at("--every-ms").c_str());
    const double seconds = std::atof(o.at("--seconds").c_str());
    if (!url || every <= 0) {
        return 2;
    }
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    int polls = 0;
    int failed = 0;
    while (Clock::now() < end) {
        const auto next = Clock::now() + std::chrono::milliseconds(every);
        get(*url) ? ++polls : ++failed;
        std::this_thread::sleep_until(next);
    }
    std::printf("board polled %d times (%d failed)\n", polls, failed);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: quizdesk_board_bench fill|rate|latency|poll OPTIONS\n");
        return 2;
    }
    const std::string mode = argv[1];
    const auto o = options(argc, argv);
    try {
        if (mode == "fill") {
            return fill(o);
        }
        if (mode == "rate") {
            return rates(o);
        }
        if (mode == "latency") {
            return latency(o);
        }
        if (mode == "poll") {
            return poll(o);
        }
    } catch (const std::out_of_range&) {
        std::fprintf(stderr, "quizdesk_board_bench %s: an option is missing\n", mode.c_str());
        return 2;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
