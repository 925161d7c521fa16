#include "exam/StudentList.h"

#include "definition/Cp1251.h"
#include "definition/WholeFile.h"
#include "run/TestSession.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qd {

std::vector<std::string> StudentList::parse(std::string_view file)
{
    std::vector<std::string> names;
    for (Record& r : parseRecords(file)) {
        names.push_back(std::move(r.name));
    }
    return names;
}

std::vector<StudentList::Record> StudentList::parseRecords(std::string_view file)
{
    std::vector<Record> names;
    if (file.size() < kCountAt + 4) {
        return names;
    }
    uint32_t count = 0;
    for (int i = 3; i >= 0; --i) {
        count = (count << 8) | uint8_t(file[kCountAt + std::size_t(i)]);
    }
    // The count comes from the file: only records whose name field begins
    // within the data are taken, so a huge count allocates nothing.
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t nameAt = kFirstRecord + i * kRecordSize + kNameAt;
        if (nameAt >= file.size()) {
            break;
        }
        const std::size_t end = std::min(file.size(), nameAt - kNameAt + kRecordSize);
        const std::string_view field = file.substr(nameAt, end - nameAt);
        const std::size_t recordAt = nameAt - kNameAt;
        names.push_back(
            Record{std::string(field.substr(0, field.find('\0'))), file[recordAt] == '*'});
    }
    return names;
}

Status StudentList::load(const std::filesystem::path& dir)
{
    QFile f(dir / kFileName);
    if (!f.open(QIODevice::ReadOnly)) {
        return fault("Не удается открыть файл " + std::string(kFileName) + "!");
    }
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        return fault("Не удается открыть файл " + std::string(kFileName) + "!");
    }
    m_names = parse(std::string_view(data.constData(), std::size_t(data.size())));
    return {};
}

namespace {

// dBASE III without a memo file.
constexpr unsigned char kDbaseVersion = 0x03;
constexpr std::size_t kDescriptorsAt = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr char kEndOfDescriptors = 0x0D;
constexpr char kEndOfFile = 0x1A;

void putLittleEndian(std::string& bytes, std::size_t at, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i) {
        bytes[at + std::size_t(i)] = char((value >> (8 * i)) & 0xFF);
    }
}

// A field descriptor: name, type, width; the rest stays zero.
std::string fieldDescriptor(std::string_view name, char type, std::size_t width)
{
    std::string d(kDescriptorSize, '\0');
    d.replace(0, name.size(), name);
    d[11] = type;
    d[16] = char(width);
    return d;
}

QString codePoint(char32_t c)
{
    return QStringLiteral("U+") +
           QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

// The problem with one trimmed, non-empty line, or an empty string.
std::string lineFault(const QString& name, std::string* cp1251)
{
    const QList<uint> chars = name.toUcs4();
    for (const uint c : chars) {
        if (c < 0x20 || c == 0x7F) {
            return QStringLiteral("\"%1\" holds a control character (%2)")
                .arg(name, codePoint(c))
                .toStdString();
        }
    }
    *cp1251 = toCp1251(name.toStdString());
    // One byte a character; a character the code page lacks comes back as
    // '?' or as a look-alike, either way not as itself.
    const QList<uint> back = QString::fromStdString(fromCp1251(*cp1251)).toUcs4();
    for (qsizetype i = 0; i < chars.size(); ++i) {
        if (i >= back.size() || back[i] != chars[i]) {
            const char32_t c = chars[i];
            return QStringLiteral("\"%1\" holds \"%2\" (%3), which code page 1251 cannot hold")
                .arg(name, QString::fromUcs4(&c, 1), codePoint(c))
                .toStdString();
        }
    }
    if (cp1251->size() >= std::size_t(TestSession::kNameLimit)) {
        return QStringLiteral("\"%1\" has %2 characters; QuizDesk takes a name of at most %3")
            .arg(name)
            .arg(cp1251->size())
            .arg(TestSession::kNameLimit - 1)
            .toStdString();
    }
    return {};
}

} // namespace

Result<std::vector<std::string>> StudentList::namesFromText(std::string_view text)
{
    const QByteArrayView bytes(text.data(), qsizetype(text.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError()) {
        decoded = QString::fromStdString(fromCp1251(text));
    }
    // A BOM, as Windows Notepad writes one, is not part of the first name.
    if (decoded.startsWith(QChar(0xFEFF))) {
        decoded.remove(0, 1);
    }
    std::vector<std::string> names;
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = lines[i].trimmed();
        if (name.isEmpty()) {
            continue;
        }
        std::string cp1251;
        const std::string problem = lineFault(name, &cp1251);
        if (!problem.empty()) {
            return Fault{"line " + std::to_string(i + 1) + ": " + problem};
        }
        names.push_back(std::move(cp1251));
    }
    if (names.empty()) {
        return Fault{"no names: every line is blank"};
    }
    if (names.size() > kMostRecords) {
        return Fault{std::to_string(names.size()) + " names; a roster holds at most " +
                     std::to_string(kMostRecords)};
    }
    return names;
}

std::string StudentList::makeTable(const std::vector<std::string>& names,
                                   std::chrono::year_month_day updated)
{
    std::string table(kHeaderSize, '\0');
    table[0] = char(kDbaseVersion);
    table[1] = char(int(updated.year()) - 1900);
    table[2] = char(unsigned(updated.month()));
    table[3] = char(unsigned(updated.day()));
    putLittleEndian(table, kCountAt, uint32_t(names.size()), 4);
    putLittleEndian(table, 8, uint32_t(kHeaderSize), 2);
    putLittleEndian(table, 10, uint32_t(kRecordSize), 2);
    // The header is longer than its two descriptors need: readers go by
    // the header length, the client by its fixed positions.
    std::size_t at = kDescriptorsAt;
    for (const std::string& d :
         {fieldDescriptor("NR", 'N', kNumberWidth), fieldDescriptor("NAME", 'C', kNameWidth)}) {
        table.replace(at, d.size(), d);
        at += d.size();
    }
    table[at] = kEndOfDescriptors;

    table.reserve(kHeaderSize + names.size() * kRecordSize + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string number = std::to_string(i + 1);
        number.insert(0, kNumberWidth - std::min(kNumberWidth, number.size()), ' ');
        std::string record = " " + number + names[i];
        record.resize(kRecordSize, '\0');
        table += record;
    }
    table += kEndOfFile;
    return table;
}

Status StudentList::save(const std::filesystem::path& file, std::string_view table)
{
    // A table replacing another keeps its permissions (the exam server may
    // read it as another user): the whole-file writer sees to that.
    if (Status s = writeWholeFile(file, table); !s.ok()) {
        return Fault{"cannot write \"" + file.string() + "\": " + s.fault().message};
    }
    return {};
}

} // namespace qd
