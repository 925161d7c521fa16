// libFuzzer target: arbitrary bytes as everything the exam link takes from
// outside: IPaddress.txt, students.dbf and the bytes the exam server sends,
// cut into reads as a connection may cut them. ASan and UBSan catch what
// goes wrong inside; the rules the link relies on are checked besides.
//
// Input: one byte choosing the read size, IPaddress.txt, the separator of
// FuzzInput.h, students.dbf, the separator, the server's bytes, the
// separator, the student's name (at most 49 bytes are used).

#include "FuzzInput.h"

#include "exam/Crc32.h"
#include "exam/ExamLink.h"
#include "exam/ReplyFramer.h"
#include "exam/ServerAddress.h"
#include "exam/ServerReply.h"
#include "exam/StudentList.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "exam input breaks a rule: %s\n", what);
    std::abort();
}

void check(bool holds, const char* what)
{
    if (!holds) {
        broken(what);
    }
}

std::string_view take(std::string_view& rest)
{
    const std::size_t at = rest.find(qdfuzz::kSeparator);
    if (at == std::string_view::npos) {
        const std::string_view all = rest;
        rest = {};
        return all;
    }
    const std::string_view part = rest.substr(0, at);
    rest.remove_prefix(at + qdfuzz::kSeparator.size());
    return part;
}

void address(std::string_view file)
{
    const std::string text = qd::serverAddressOf(file);
    check(text.size() < qd::kServerAddressSize, "the address fits its buffer");
    check(text.find_first_of(std::string_view(" \t\r\n\0", 5)) == std::string::npos,
          "the address ends at the first blank, line break or zero");
    check(std::string_view(file).substr(0, text.size()) == text, "the address is the file's start");
    if (const auto a = qd::ExamLink::usableAddress(text)) {
        check(!a->isNull() && !a->isMulticast() && !a->isBroadcast(), "a usable address");
    }
}

void students(std::string_view file)
{
    using qd::StudentList;
    const std::vector<std::string> names = StudentList::parse(file);
    std::size_t records = 0;
    if (file.size() > StudentList::kFirstRecord + StudentList::kNameAt) {
        records = (file.size() - StudentList::kFirstRecord - StudentList::kNameAt) /
                      StudentList::kRecordSize +
                  1;
    }
    check(names.size() <= records, "no more names than records in the data");
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        check(name.size() <= StudentList::kRecordSize - StudentList::kNameAt,
              "a name stays within its record");
        check(name.find('\0') == std::string::npos, "a name ends at its zero byte");
        const std::size_t at =
            StudentList::kFirstRecord + i * StudentList::kRecordSize + StudentList::kNameAt;
        check(file.substr(at, name.size()) == name, "a name is the record's bytes");
    }
}

// One reply record as the link acts on it.
void reply(const std::string& record, std::string_view name)
{
    check(record.size() == std::size_t(qd::ServerReply::kSize), "a record is a whole reply");
    const qd::ReplyAction a = qd::handleReply(record, name);
    const bool checks = qd::Crc32(record.data(), record.size()) == 0;
    check(a.badChecksum == !checks, "a damaged reply is told as damaged, and only that");
    if (!checks) {
        check(a.resend && !a.permit && !a.goToBegin && !a.message.empty(),
              "a damaged reply asks for the message again and tells so");
        return;
    }
    const qd::ServerReply r = qd::ServerReply::parse(record);
    check(qd::ServerReply::encode(r.accepted, r.code) == record,
          "a reply that checks is the one its first three bytes make");
    const bool refusal = r.accepted != 0 && r.code >= -3 && r.code <= -1;
    check(a.resend == (r.accepted == 0), "only a reply with accepted 0 asks again");
    check(a.permit == (r.accepted != 0 && r.code >= 0), "a grant is code 0 or more");
    check(a.goToBegin == refusal, "only -1, -2 and -3 refuse");
    check(a.refusedCode == (refusal ? r.code : 0), "the refusal's code");
    check(a.untickExamBox == (refusal && r.code != -2), "-1 and -3 untick the box");
    check(a.message.empty() == !refusal, "a refusal, and only a refusal, tells its message");
    if (refusal && r.code == -3) {
        const std::string_view shown = name.substr(0, name.find('\0'));
        check(a.message.find(shown) != std::string::npos, "-3 names the student");
    }
}

// The server's bytes in reads of `readSize` bytes, framed as the link frames
// them: a damaged reply drops the rest of its read.
void replies(std::string_view bytes, std::size_t readSize, std::string_view name)
{
    qd::ReplyFramer framer;
    while (!bytes.empty()) {
        std::string_view read = bytes.substr(0, std::min(readSize, bytes.size()));
        bytes.remove_prefix(read.size());
        while (!read.empty()) {
            const std::size_t room = framer.room();
            const std::size_t took = framer.append(read);
            check(took <= room && took == std::min(room, read.size()), "the framer takes its room");
            check(framer.pending() <= qd::ReplyFramer::kCapacity, "the framer stays bounded");
            read.remove_prefix(took);
            bool dropped = false;
            while (const auto record = framer.next()) {
                reply(*record, name);
                if (qd::Crc32(record->data(), record->size()) != 0) {
                    framer.clear();
                    dropped = true;
                    break;
                }
            }
            check(framer.pending() < std::size_t(qd::ServerReply::kSize),
                  "every whole record is handed out");
            if (dropped) {
                read = {};
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    // Reads of 1 to 1024 bytes, the most the link takes at once.
    const std::size_t readSize = std::size_t(data[0]) * 4 + 1;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view ipAddress = take(rest);
    const std::string_view table = take(rest);
    const std::string_view server = take(rest);
    const std::string_view name = rest.substr(0, 49);
    address(ipAddress);
    students(table);
    replies(server, std::min<std::size_t>(readSize, qd::ReplyFramer::kRead), name);
    return 0;
}
