#include "exam/ServerAddress.h"

#include "definition/Cp1251.h"

#include <QFile>

#include <algorithm>

namespace qd {

std::string serverAddressOf(std::string_view head)
{
    const std::string_view text = head.substr(0, kServerAddressSize);
    const std::size_t end =
        std::min(text.find_first_of(std::string_view(" \t\r\n\0", 5)), kServerAddressSize - 1);
    return std::string(text.substr(0, end));
}

Status readServerAddress(const std::filesystem::path& dir, std::string& serverAddress)
{
    serverAddress.clear();
    QFile f(dir / kServerAddressFile);
    if (!f.open(QIODevice::ReadOnly)) {
        return fault("Программа проведения экзамена не запущена!\n"
                     "Не удается получить IP адрес.\n");
    }
    const QByteArray head = f.read(qint64(kServerAddressSize));
    serverAddress = serverAddressOf(std::string_view(head.constData(), std::size_t(head.size())));
    return {};
}

} // namespace qd
