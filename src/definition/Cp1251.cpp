#include "definition/Cp1251.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace qd {

namespace {

constexpr const char* kCodec = "windows-1251";

QString decode(std::string_view cp1251)
{
    QStringDecoder decoder(kCodec);
    return decoder.decode(QByteArrayView(cp1251.data(), qsizetype(cp1251.size())));
}

// Lower-case mapping of all 256 bytes, built once through the codec so that
// it follows the code page exactly (Ё/ё, Є/є, І/і, Ї/ї, Ґ/ґ and the rest).
const std::array<unsigned char, 256>& lowerTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b) {
            t[b] = static_cast<unsigned char>(b);
            const char c = char(b);
            const QString s = decode(std::string_view(&c, 1));
            const QString lower = s.toLower();
            if (lower != s) {
                const std::string back = toCp1251(lower.toStdString());
                if (back.size() == 1 && back[0] != '?') {
                    t[b] = static_cast<unsigned char>(back[0]);
                }
            }
        }
        return t;
    }();
    return table;
}

} // namespace

std::string toCp1251(std::string_view utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    QStringEncoder encoder(kCodec);
    QByteArray out = encoder.encode(text);
    if (!encoder.hasError()) {
        return out.toStdString();
    }
    // Some character has no place in the code page: go character by
    // character so that exactly those become '?'.
    std::string result;
    result.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one(kCodec);
        const QByteArray b = one.encode(QStringView(text).mid(i, len));
        if (one.hasError() || b.isEmpty()) {
            result.push_back('?');
        } else {
            result.append(b.constData(), std::size_t(b.size()));
        }
        i += len;
    }
    return result;
}

std::string fromCp1251(std::string_view cp1251)
{
    return decode(cp1251).toStdString();
}

void lowerCp1251(std::string& text)
{
    const auto& table = lowerTable();
    for (char& c : text) {
        c = char(table[static_cast<unsigned char>(c)]);
    }
}

} // namespace qd
