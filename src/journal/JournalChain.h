#pragma once

#include "journal/Journal.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QVariant>

#include <vector>

namespace qd::journal {

// The journal's tamper evidence: every stored event (a registration, a
// progress or final message, an incident, a release or a stop) is written,
// in the transaction that stores it, as a row of the events table whose
// value is SHA-256 over the previous event's value and the event's own
// canonical bytes. Each server keeps its own chain, named by the server, so
// that servers sharing a journal never contend for one head.
//
// An event's canonical bytes are compact JSON (Qt writes its keys sorted and
// its numbers in their shortest exact form): the chain, the event's number in
// it, its kind, the sitting or incident it changes, its time, and under
// "set" every column it wrote, with each blob (a report, kept bytes) and a
// final's answer rows by their SHA-256. Replaying the events gives what the
// tables must hold, so an edited, deleted or inserted row of any table shows.
namespace chain {

// The value before a chain's first event: 64 zeros.
QByteArray genesis();
// The value of the event with `body` after the event valued `previous` (both
// hex).
QByteArray next(const QByteArray& previous, QByteArrayView body);
// "sha256:" and the hex digest of `bytes`.
QString digest(QByteArrayView bytes);
// The digest of a final's answer rows in their order.
QString answersDigest(const std::vector<AnswerRow>& rows);
// A column's value as an event writes it: null, a number, text, or a
// blob's digest.
QJsonValue valueOf(const QVariant& v, bool blob = false);
// The event's canonical bytes.
QByteArray body(const QString& chain, qint64 seq, const char* kind, const char* subject,
                qint64 subjectId, qint64 at, const QJsonObject& set);

} // namespace chain

} // namespace qd::journal
