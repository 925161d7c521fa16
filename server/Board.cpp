#include "Board.h"

#include "Views.h"

#include <QFile>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

namespace qd::server {

namespace {

QHttpServerResponse failure(const Fault& f)
{
    return QHttpServerResponse("text/plain; charset=utf-8", QByteArray::fromStdString(f.message),
                               QHttpServerResponse::StatusCode::InternalServerError);
}

QHttpServerResponse resource(const char* path, const char* mime)
{
    QFile f(QString::fromLatin1(path));
    if (!f.open(QIODevice::ReadOnly)) {
        return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
    }
    return QHttpServerResponse(mime, f.readAll());
}

QHttpServerResponse download(QByteArray mime, QByteArray data, const char* name)
{
    QHttpServerResponse r(std::move(mime), std::move(data));
    r.addHeader("Content-Disposition", QByteArray("attachment; filename=\"") + name + '"');
    return r;
}

} // namespace

Board::Board(Journal& journal, const Clock& clock, QObject* parent)
    : QObject(parent),
      m_journal(journal),
      m_clock(clock),
      m_http(new QHttpServer)
{
    using Method = QHttpServerRequest::Method;
    m_http->route(QStringLiteral("/"), Method::Get,
                  [] { return resource(":/board/index.html", "text/html; charset=utf-8"); });
    m_http->route(QStringLiteral("/board.js"), Method::Get,
                  [] { return resource(":/board/board.js", "text/javascript; charset=utf-8"); });
    m_http->route(QStringLiteral("/api/sittings"), Method::Get, [this] {
        auto s = m_journal.sittings();
        if (auto* f = std::get_if<Fault>(&s)) {
            return failure(*f);
        }
        return QHttpServerResponse(
            "application/json",
            sittingsJson(std::get<std::vector<Sitting>>(s), int64_t(m_clock.calendarSeconds())));
    });
    m_http->route(QStringLiteral("/api/incidents"), Method::Get, [this] {
        auto i = m_journal.incidents(500);
        if (auto* f = std::get_if<Fault>(&i)) {
            return failure(*f);
        }
        return QHttpServerResponse("application/json",
                                   incidentsJson(std::get<std::vector<Incident>>(i)));
    });
    m_http->route(QStringLiteral("/api/journal"), Method::Get, [this] {
        const JournalHealth h = m_health ? m_health() : JournalHealth{};
        const char* state = h.state == JournalHealth::State::Ready          ? "ready"
                            : h.state == JournalHealth::State::Reconnecting ? "reconnecting"
                                                                            : "lost";
        QJsonObject o{{QStringLiteral("state"), QLatin1String(state)},
                      {QStringLiteral("detail"), QString::fromStdString(h.detail)}};
        return QHttpServerResponse("application/json",
                                   QJsonDocument(o).toJson(QJsonDocument::Compact));
    });
    const auto csv = [this](bool matrix) {
        auto s = m_journal.sittings();
        if (auto* f = std::get_if<Fault>(&s)) {
            return failure(*f);
        }
        const auto& sittings = std::get<std::vector<Sitting>>(s);
        if (!matrix) {
            return download("text/csv; charset=utf-8",
                            QByteArray::fromStdString(sittingsCsv(sittings, ',')), "sittings.csv");
        }
        auto a = m_journal.answers();
        if (auto* f = std::get_if<Fault>(&a)) {
            return failure(*f);
        }
        return download("text/csv; charset=utf-8",
                        QByteArray::fromStdString(
                            matrixCsv(sittings, std::get<std::vector<AnswerRow>>(a), ',')),
                        "answers.csv");
    };
    m_http->route(QStringLiteral("/export/sittings.csv"), Method::Get,
                  [csv] { return csv(false); });
    m_http->route(QStringLiteral("/export/answers.csv"), Method::Get, [csv] { return csv(true); });
    m_http->route(QStringLiteral("/export/sittings.xlsx"), Method::Get, [this] {
        auto s = m_journal.sittings();
        auto a = m_journal.answers();
        if (auto* f = std::get_if<Fault>(&s)) {
            return failure(*f);
        }
        if (auto* f = std::get_if<Fault>(&a)) {
            return failure(*f);
        }
        QTemporaryFile tmp;
        if (!tmp.open()) {
            return failure(Fault{"cannot make a temporary file"});
        }
        tmp.close();
        if (Status f = writeXlsx(tmp.fileName().toStdString(), std::get<std::vector<Sitting>>(s),
                                 std::get<std::vector<AnswerRow>>(a), false)) {
            return failure(*f);
        }
        QFile in(tmp.fileName());
        if (!in.open(QIODevice::ReadOnly)) {
            return failure(Fault{"cannot read the workbook"});
        }
        return download("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                        in.readAll(), "sittings.xlsx");
    });
}

Board::~Board() = default;

quint16 Board::listen(const QHostAddress& address, quint16 port)
{
    return m_http->listen(address, port);
}

} // namespace qd::server
