#include "exam/ServerReply.h"

#include "definition/Cp1251.h"
#include "exam/Crc32.h"

namespace qd {

ServerReply ServerReply::parse(std::string_view record)
{
    const auto b = [&](int i) { return uint32_t(uint8_t(record[std::size_t(i)])); };
    ServerReply r;
    r.accepted = uint8_t(b(0));
    r.code = int16_t(uint16_t(b(1) | (b(2) << 8)));
    r.crc = b(3) | (b(4) << 8) | (b(5) << 16) | (b(6) << 24);
    return r;
}

std::string ServerReply::encode(uint8_t accepted, int16_t code)
{
    std::string out(kSize, '\0');
    out[0] = char(accepted);
    out[1] = char(uint16_t(code) & 0xFF);
    out[2] = char(uint16_t(code) >> 8);
    const uint32_t crc = Crc32(out.data(), 3);
    for (int i = 0; i < 4; ++i) {
        out[std::size_t(3 + i)] = char((crc >> (8 * i)) & 0xFF);
    }
    return out;
}

ReplyAction handleReply(std::string_view record, std::string_view studentName)
{
    ReplyAction a;
    if (record.size() < std::size_t(ServerReply::kSize) ||
        Crc32(record.substr(0, ServerReply::kSize)) != 0) {
        a.badChecksum = true;
        a.resend = true;
        a.message = toCp1251("Сбойное сообщение от программы проведения экзамена!\n");
        return a;
    }
    const ServerReply reply = ServerReply::parse(record);
    if (reply.accepted == 0) {
        a.resend = true;
        return a;
    }
    switch (reply.code) {
    case -2:
        a.goToBegin = true;
        a.message = toCp1251("Ваші дані відсутні в БД!\nПеревірте правильність"
                             " написання прізвища та ініціалів.\n");
        break;
    case -1:
        a.goToBegin = true;
        a.untickExamBox = true;
        a.message = toCp1251("У Вас немає дозволу на проходження\n"
                             "екзаменаційного тестування!\n");
        break;
    case -3: {
        a.goToBegin = true;
        a.untickExamBox = true;
        // The name goes in as it is: no format directive inside it is ever
        // interpreted.
        const std::string before = toCp1251("Тестування студента ");
        const std::string after = toCp1251(" вже проводиться!\n");
        a.message = before + std::string(studentName.substr(0, studentName.find('\0'))) + after;
        break;
    }
    default:
        a.permit = reply.code >= 0;
        break;
    }
    if (a.goToBegin) {
        a.refusedCode = reply.code;
    }
    return a;
}

} // namespace qd
