#include "exam/ServerAddress.h"

#include "definition/Cp1251.h"

#include <QFile>

#include <algorithm>

namespace qd {

Status ReadServerIP(const std::filesystem::path& dir, std::string& serverAddress)
{
    serverAddress.clear();
    QFile f(dir / kServerAddressFile);
    if (!f.open(QIODevice::ReadOnly)) {
        return Fault{toCp1251("Программа проведения экзамена не запущена!\n"
                              "Не удается получить IP адрес.\n")};
    }
    const QByteArray head = f.read(qint64(kServerAddressSize));
    const std::string_view text(head.constData(), std::size_t(head.size()));
    const std::size_t end = std::min(text.find_first_of(std::string_view(" \t\r\n\0", 5)),
                                     kServerAddressSize - 1);
    serverAddress.assign(text.substr(0, end));
    return std::nullopt;
}

} // namespace qd
