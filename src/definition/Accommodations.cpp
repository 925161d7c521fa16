#include "definition/Accommodations.h"

#include "definition/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qd {

namespace {

std::string_view trimmed(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string factorText(double f)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", f);
    return buf;
}

// A factor written with a point or a comma, within [low, high].
std::optional<double> factor(std::string_view text, double low, double high)
{
    std::string s(text);
    for (char& c : s) {
        if (c == ',') {
            c = '.';
        }
    }
    if (s.empty() || s.size() > 16 || s.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v) || v < low || v > high) {
        return std::nullopt;
    }
    return v;
}

Fault lineFault(int number, const std::string& what)
{
    return fault("Файл accommodations.txt, рядок " + std::to_string(number) + ": " + what);
}

// The file's text in code page 1251: UTF-8 (with or without its mark) when
// it reads as UTF-8, code page 1251 otherwise.
Result<std::string> asCp1251(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (utf8.hasError()) {
        return std::string(bytes);
    }
    const std::string u8 = text.toStdString();
    std::string cp = toCp1251(u8);
    if (fromCp1251(cp) != u8) {
        // Tell the line: a name the code page cannot hold matches nobody.
        int line = 1;
        const std::string back = fromCp1251(cp);
        for (std::size_t i = 0; i < u8.size() && i < back.size() && u8[i] == back[i]; ++i) {
            line += u8[i] == '\n' ? 1 : 0;
        }
        return lineFault(line, "символ, якого немає в кодовій сторінці 1251");
    }
    return cp;
}

} // namespace

std::string Accommodation::settingsText() const
{
    std::vector<std::string> parts;
    if (timeFactor != 1.0) {
        parts.push_back("time=" + factorText(timeFactor));
    }
    if (textScale != 1.0) {
        parts.push_back("text=" + factorText(textScale));
    }
    if (highContrast) {
        parts.emplace_back("contrast=high");
    }
    if (quiet) {
        parts.emplace_back("quiet");
    }
    std::string out;
    for (const std::string& p : parts) {
        out += (out.empty() ? "" : "; ") + p;
    }
    return out;
}

std::string Accommodation::reportLine() const
{
    if (!any()) {
        return {};
    }
    return toCp1251("Пристосування: ") + settingsText();
}

Accommodation AccommodationTable::apply(Accommodation base, const Line& line)
{
    base.timeFactor = line.timeFactor.value_or(base.timeFactor);
    base.textScale = line.textScale.value_or(base.textScale);
    base.highContrast = line.highContrast.value_or(base.highContrast);
    base.quiet = line.quiet.value_or(base.quiet);
    return base;
}

Accommodation AccommodationTable::forStudent(const std::string& name) const
{
    Accommodation a;
    if (m_everyone) {
        a = apply(a, *m_everyone);
    }
    if (auto it = m_students.find(std::string(trimmed(name))); it != m_students.end()) {
        a = apply(a, it->second);
    }
    return a;
}

Result<AccommodationTable> AccommodationTable::parse(std::string_view bytes)
{
    if (bytes.size() > kMaxBytes) {
        return fault("Файл accommodations.txt більший за 1 МБ");
    }
    Result<std::string> text = asCp1251(bytes);
    if (!text.ok()) {
        return text.fault();
    }
    AccommodationTable table;
    std::string_view rest = text.value();
    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
            line = line.substr(0, hash);
        }
        if (trimmed(line).empty()) {
            continue;
        }
        const std::size_t semi = line.find(';');
        const std::string name(trimmed(line.substr(0, semi)));
        if (name.empty()) {
            return lineFault(number, "немає імені перед «;»");
        }
        if (name.size() >= 50) {
            return lineFault(number, "ім'я довше за 49 символів");
        }
        Line settings;
        std::string_view list = semi == std::string_view::npos ? "" : line.substr(semi + 1);
        while (true) {
            const std::size_t next = list.find(';');
            const std::string_view item = trimmed(list.substr(0, next));
            const std::string shown = fromCp1251(item);
            if (item.empty()) {
                if (next == std::string_view::npos) {
                    break;
                }
                return lineFault(number, "порожній параметр між «;»");
            }
            if (item.starts_with("time=")) {
                settings.timeFactor = factor(item.substr(5), 1.0, 4.0);
                if (!settings.timeFactor) {
                    return lineFault(number, "«" + shown + "»: множник часу має бути від 1 до 4");
                }
            } else if (item.starts_with("text=")) {
                settings.textScale = factor(item.substr(5), 1.0, 3.0);
                if (!settings.textScale) {
                    return lineFault(number, "«" + shown + "»: масштаб тексту має бути від 1 до 3");
                }
            } else if (item == "contrast=high") {
                settings.highContrast = true;
            } else if (item == "contrast=normal") {
                settings.highContrast = false;
            } else if (item == "quiet") {
                settings.quiet = true;
            } else {
                return lineFault(number, "невідомий параметр «" + shown +
                                             "» (відомі: time=F, text=F, contrast=high, quiet)");
            }
            if (next == std::string_view::npos) {
                break;
            }
            list = list.substr(next + 1);
        }
        if (name == "*") {
            if (table.m_everyone) {
                return lineFault(number, "другий рядок для «*»");
            }
            table.m_everyone = settings;
        } else if (!table.m_students.emplace(name, settings).second) {
            return lineFault(number, "другий рядок для «" + fromCp1251(name) + "»");
        }
    }
    return table;
}

Result<AccommodationTable> AccommodationTable::load(const std::filesystem::path& dir)
{
    const QDir d(QString::fromStdString(dir.string()));
    // The test's own files are found in any case of their names; so is this.
    QString name;
    for (const QString& entry : d.entryList(QDir::Files, QDir::Name)) {
        if (entry.compare(QLatin1String(kFileName), Qt::CaseInsensitive) == 0) {
            name = entry;
            break;
        }
    }
    if (name.isEmpty()) {
        return AccommodationTable{};
    }
    QFile file(d.filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return fault("Не вдалося прочитати файл accommodations.txt!");
    }
    const QByteArray bytes = file.read(qint64(kMaxBytes) + 1);
    if (file.error() != QFileDevice::NoError) {
        return fault("Не вдалося прочитати файл accommodations.txt!");
    }
    return parse(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

} // namespace qd
