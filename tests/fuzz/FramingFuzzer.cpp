// libFuzzer target: the exam server's side of a client's stream. The input
// is either raw bytes or (first byte odd) a recipe of messages built by the
// client's own ExamMessage, some damaged, some foreign, with reports that
// hold the trailer's bytes; either way the stream is cut into reads of
// input-chosen sizes and framed, and every message that frames is decided
// by the registration rules on a journal in memory. ASan and UBSan watch
// inside; the framer's own promises are checked here: nothing beyond its
// capacity is held, every byte is accounted for, a final message ends only
// where its checksum and trailer check, and nothing is framed after it gave
// the peer up.

#include "MemoryJournal.h"

#include "ExamDesk.h"
#include "definition/Cp1251.h"
#include "exam/Crc32.h"
#include "exam/ExamMessage.h"
#include "exam/MessageFramer.h"
#include "run/ManualClock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "framing invariant broken: %s\n", what);
        std::abort();
    }
}

struct Reader
{
    const uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    uint8_t byte() { return at < size ? data[at++] : 0; }
    std::string bytes(std::size_t n)
    {
        n = std::min(n, size - at);
        std::string s(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return s;
    }
    bool done() const { return at >= size; }
};

const char* const kNames[] = {"Бондар Т.", "Коваль І.", "Лисенко М.", "Невідомий"};
const char* const kHosts[] = {"pc-1", "pc-2", ""};
const char* const kAddresses[] = {"10.0.0.1", "10.0.0.2", "192.168.5.5"};

std::string recipe(Reader& in)
{
    std::string stream;
    while (!in.done() && stream.size() < (1u << 21)) {
        qd::ExamMessage m;
        const uint8_t kind = in.byte();
        m.kind = int16_t(kind % 5 == 4 ? int16_t(kind) - 100 : kind % 4);
        m.studentName = qd::toCp1251(kNames[in.byte() % 4]);
        m.hostName = kHosts[in.byte() % 3];
        m.answeredCount = int16_t(in.byte());
        m.lastRight = in.byte() & 1;
        m.scoreValue = float(int8_t(in.byte()));
        std::string msg;
        if (m.kind == qd::ExamMessage::Final) {
            std::string report = in.bytes(std::size_t(in.byte()) * 16);
            if (!report.empty() && report[0] == 'T') {
                report += "\xE9\xC3\x17\x5A"; // the trailer's bytes inside the report
            }
            msg = m.finalMessage(report);
        } else {
            msg = m.bytes();
        }
        const uint8_t damage = in.byte();
        if (damage & 0x80) {
            const std::size_t at = in.byte() * msg.size() / 256;
            msg[at] = char(msg[at] ^ (1 << (damage & 7)));
        }
        if ((damage & 0x70) == 0x70) {
            msg.resize(msg.size() / 2); // cut short
        }
        stream += msg;
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    Reader in{data + 2, size - 2};
    const uint8_t mode = data[0];
    const uint8_t cut = data[1];
    const std::string stream =
        mode & 1 ? recipe(in) : std::string(reinterpret_cast<const char*>(data + 2), size - 2);

    static qd::server::Roster roster = [] {
        qd::server::Roster r;
        std::string table(456, '\0');
        table[4] = 3;
        for (const char* n : {" 0001Бондар Т.", " 0001Коваль І.", "*0001Лисенко М."}) {
            std::string rec =
                n[0] == '*' ? "*0001" + qd::toCp1251(n + 5) : " 0001" + qd::toCp1251(n + 5);
            rec.resize(92, '\0');
            table += rec;
        }
        r.loadBytes(table);
        return r;
    }();
    qd::ManualClock clock(qd::LocalTime{2026, 12, 7, 10, 0, 0});
    qdfuzz::MemoryJournal journal;
    qd::server::RuleOptions options;
    options.retakes = mode >> 6;
    qd::server::ExamDesk desk(journal, clock, roster, options);

    qd::MessageFramer framer;
    std::size_t fed = 0;    // bytes the framer took
    std::size_t framed = 0; // bytes of the frames handed out
    uint32_t piece = cut | 1u;
    bool gaveUp = false;
    check(journal.begin().ok(), "the journal refused a batch");
    while (fed < stream.size() && !gaveUp) {
        // Reads of varying sizes, from one byte to many kilobytes.
        piece = piece * 1103515245u + 12345u;
        const std::size_t want = 1 + (piece >> 8) % (cut & 0x80 ? 70000 : 400);
        const std::size_t took = framer.append(std::string_view(stream).substr(fed, want));
        check(took <= want, "took more than offered");
        fed += took;
        check(framer.pending() <= qd::MessageFramer::kCapacity, "holds more than its capacity");
        while (auto f = framer.next()) {
            check(!gaveUp, "a frame after giving up");
            if (f->givesUp()) {
                gaveUp = true;
                check(framer.failed() && framer.room() == 0, "gave up but takes more");
                if (f->type == qd::MessageFramer::Frame::TooLong) {
                    break;
                }
            }
            check(f->length >= std::size_t(qd::ExamMessage::kLength), "a frame under 163 bytes");
            const std::string_view bytes = std::string_view(stream).substr(framed, f->length);
            check(bytes.size() == f->length, "a frame beyond the stream");
            if (f->type == qd::MessageFramer::Frame::Message) {
                check(qd::Crc32(bytes.substr(0, bytes.size() - 4)) == 0 &&
                          std::memcmp(bytes.data() + bytes.size() - 4, "\xE9\xC3\x17\x5A", 4) == 0,
                      "a message that does not check");
                check(f->fields.kind != qd::ExamMessage::Final ||
                          f->report == bytes.substr(155, bytes.size() - 163),
                      "a final message's report is not its bytes");
                const char* address = kAddresses[(framed / 163) % 3];
                qd::server::Arrival a{f->fields, f->report, address};
                const int16_t code = desk.handle(a);
                check(code >= -3 && code <= 0, "a verdict the client does not know");
                clock.advance(1500);
            }
            framed += f->length;
        }
        if (took == 0 && !gaveUp) {
            check(false, "no room although nothing gave up");
        }
    }
    if (!gaveUp) {
        check(framed + framer.pending() == fed, "bytes lost or invented");
    }
    check(journal.commit().ok(), "the journal refused to commit");
    return 0;
}
