#include "exam/StudentList.h"

#include "definition/Cp1251.h"

#include <QFile>

#include <algorithm>

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
        names.push_back(Record{std::string(field.substr(0, field.find('\0'))),
                               file[recordAt] == '*'});
    }
    return names;
}

Status StudentList::load(const std::filesystem::path& dir)
{
    QFile f(dir / kFileName);
    if (!f.open(QIODevice::ReadOnly)) {
        return Fault{toCp1251("Не удается открыть файл ") + kFileName + "!"};
    }
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        return Fault{toCp1251("Не удается открыть файл ") + kFileName + "!"};
    }
    m_names = parse(std::string_view(data.constData(), std::size_t(data.size())));
    return std::nullopt;
}

} // namespace qd
