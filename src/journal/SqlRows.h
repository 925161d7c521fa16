#pragma once

// What the journal's SQL pieces share: reading a sitting's or an incident's
// row, and turning values between Qt and the journal's records.

#include "journal/Journal.h"

#include <QByteArray>
#include <QJsonValue>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <string>

namespace qd::journal::rows {

inline QString qs(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

inline std::string str(const QVariant& v)
{
    return v.toString().toStdString();
}

inline QByteArray bytesOf(const std::string& b)
{
    return QByteArray(b.data(), qsizetype(b.size()));
}

// The columns sittingOf() reads, in its order.
extern const char* const kSittingColumns;
Sitting sittingOf(const QSqlQuery& q);

// The columns incidentOf() reads, in its order.
extern const char* const kIncidentColumns;
Incident incidentOf(const QSqlQuery& q);

// A blob as the chain records it: its digest, or null.
QJsonValue blobValue(const QByteArray& b, bool isNull);

} // namespace qd::journal::rows
