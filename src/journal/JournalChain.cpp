#include "journal/JournalChain.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace qd::journal::chain {

QByteArray genesis()
{
    return QByteArray(64, '0');
}

QByteArray next(const QByteArray& previous, QByteArrayView body)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArray::fromHex(previous));
    h.addData(body);
    return h.result().toHex();
}

QString digest(QByteArrayView bytes)
{
    return QLatin1String("sha256:") +
           QLatin1String(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString answersDigest(const std::vector<AnswerRow>& rows)
{
    QJsonArray list;
    for (const AnswerRow& r : rows) {
        list.append(QJsonArray{r.question, r.points, QString::fromStdString(r.answer)});
    }
    return digest(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QJsonValue valueOf(const QVariant& v, bool blob)
{
    if (v.isNull()) {
        return QJsonValue::Null;
    }
    if (blob) {
        return digest(v.toByteArray());
    }
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return v.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble();
    default:
        return v.toString();
    }
}

QByteArray body(const QString& chainName, qint64 seq, const char* kind, const char* subject,
                qint64 subjectId, qint64 at, const QJsonObject& set)
{
    QJsonObject o;
    o.insert(QStringLiteral("chain"), chainName);
    o.insert(QStringLiteral("seq"), seq);
    o.insert(QStringLiteral("kind"), QLatin1String(kind));
    o.insert(QLatin1String(subject), subjectId);
    o.insert(QStringLiteral("at"), at);
    o.insert(QStringLiteral("set"), set);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace qd::journal::chain
