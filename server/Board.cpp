#include "Board.h"

#include "Exports.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QUrlQuery>

namespace qd::server {

// The HTTP side: every request, whatever its path, goes to Board::answer.
class BoardHttp : public QAbstractHttpServer
{
public:
    explicit BoardHttp(Board& board) : m_board(board) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        m_board.answer(request).write(makeResponder(request, socket));
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        handleRequest(request, socket);
    }

private:
    Board& m_board;
};

namespace {

using Code = QHttpServerResponse::StatusCode;

// Only the board's own files: no inline script or style, nothing from
// elsewhere, no framing.
const QByteArray kPolicy = "default-src 'none'; script-src 'self'; style-src 'self'; "
                           "connect-src 'self'; img-src 'self'; base-uri 'none'; "
                           "form-action 'self'; frame-ancestors 'none'";

QHttpServerResponse failure(const Fault& f)
{
    return QHttpServerResponse("text/plain; charset=utf-8", QByteArray::fromStdString(f.message),
                               Code::InternalServerError);
}

QHttpServerResponse resource(const char* path, const char* mime)
{
    QFile f(QString::fromLatin1(path));
    if (!f.open(QIODevice::ReadOnly)) {
        return QHttpServerResponse(Code::NotFound);
    }
    return QHttpServerResponse(mime, f.readAll());
}

QHttpServerResponse download(QByteArray mime, QByteArray data, const char* name)
{
    QHttpServerResponse r(std::move(mime), std::move(data));
    r.addHeader("Content-Disposition", QByteArray("attachment; filename=\"") + name + '"');
    return r;
}

QByteArray header(const QHttpServerRequest& request, const QByteArray& name)
{
    for (const auto& [key, value] : request.headers()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

QHttpServerResponse refusal(Code status)
{
    // Nothing of the board in it: an empty body.
    return QHttpServerResponse("text/plain; charset=utf-8", QByteArray(), status);
}

} // namespace

Board::Board(Journal& journal, const Clock& clock, BoardAccess access, bool verifying,
             QObject* parent)
    : QObject(parent),
      m_journal(journal),
      m_clock(clock),
      m_access(std::move(access)),
      m_verifying(verifying),
      m_http(new BoardHttp(*this))
{
}

Board::~Board() = default;

quint16 Board::listen(const QHostAddress& address, quint16 port)
{
    const quint16 bound = m_http->listen(address, port);
    m_access.setListening(address, bound);
    return bound;
}

QHttpServerResponse Board::answer(const QHttpServerRequest& request)
{
    BoardRequestHead head;
    head.host = header(request, "Host");
    head.cookie = header(request, "Cookie");
    head.authorization = header(request, "Authorization");
    head.queryToken = request.query().queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
    QHttpServerResponse response = refusal(Code::Unauthorized);
    switch (m_access.judge(head)) {
    case BoardVerdict::WrongHost:
        response = refusal(Code::MisdirectedRequest);
        break;
    case BoardVerdict::NoToken:
        response.addHeader("WWW-Authenticate", "Bearer realm=\"quizdesk board\"");
        break;
    case BoardVerdict::Allow:
        response = route(request);
        // The page opened with ?token= keeps it in a cookie for its own
        // requests (the script's and the exports').
        if (m_access.needsToken() && !head.queryToken.isEmpty()) {
            response.addHeader("Set-Cookie", QByteArray(kBoardCookie) + '=' +
                                                 QByteArray::fromStdString(m_access.token()) +
                                                 "; Path=/; HttpOnly; SameSite=Strict");
        }
        break;
    }
    response.addHeader("Content-Security-Policy", kPolicy);
    response.addHeader("X-Content-Type-Options", "nosniff");
    response.addHeader("X-Frame-Options", "DENY");
    // The token may be in the address: it is not handed on to other sites.
    response.addHeader("Referrer-Policy", "no-referrer");
    response.addHeader("Cache-Control", "no-store");
    return response;
}

QHttpServerResponse Board::route(const QHttpServerRequest& request)
{
    const QString path = request.url().path();
    // The one write: the examiner stops a sitting. Everything else only reads.
    if (path == QLatin1String("/api/stop")) {
        if (request.method() != QHttpServerRequest::Method::Post) {
            return refusal(Code::MethodNotAllowed);
        }
        return stop(request);
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        return refusal(Code::MethodNotAllowed);
    }
    if (path == QLatin1String("/")) {
        return resource(":/board/index.html", "text/html; charset=utf-8");
    }
    if (path == QLatin1String("/board.js")) {
        return resource(":/board/board.js", "text/javascript; charset=utf-8");
    }
    if (path == QLatin1String("/board.css")) {
        return resource(":/board/board.css", "text/css; charset=utf-8");
    }
    if (path == QLatin1String("/api/sittings")) {
        auto s = m_journal.sittings();
        if (!s.ok()) {
            return failure(s.fault());
        }
        return QHttpServerResponse("application/json",
                                   sittingsJson(s.value(), int64_t(m_clock.calendarSeconds())));
    }
    if (path == QLatin1String("/api/incidents")) {
        auto i = m_journal.incidents(500);
        if (!i.ok()) {
            return failure(i.fault());
        }
        return QHttpServerResponse("application/json", incidentsJson(i.value()));
    }
    if (path == QLatin1String("/api/journal")) {
        const JournalHealth h = m_health ? m_health() : JournalHealth{};
        const char* state = h.state == JournalHealth::State::Ready          ? "ready"
                            : h.state == JournalHealth::State::Reconnecting ? "reconnecting"
                                                                            : "lost";
        QJsonObject o{{QStringLiteral("state"), QLatin1String(state)},
                      {QStringLiteral("detail"), QString::fromStdString(h.detail)}};
        return QHttpServerResponse("application/json",
                                   QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    if (path == QLatin1String("/api/about")) {
        QJsonObject o;
        o[QStringLiteral("verifying")] = m_verifying;
        return QHttpServerResponse("application/json",
                                   QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    const bool sittingsCsvPath = path == QLatin1String("/export/sittings.csv");
    const bool answersCsvPath = path == QLatin1String("/export/answers.csv");
    const bool xlsxPath = path == QLatin1String("/export/sittings.xlsx");
    if (!sittingsCsvPath && !answersCsvPath && !xlsxPath) {
        return refusal(Code::NotFound);
    }
    auto s = m_journal.sittings();
    if (!s.ok()) {
        return failure(s.fault());
    }
    const auto& sittings = s.value();
    Gradebook gradebook;
    if (m_gradebook) {
        auto g = m_gradebook();
        if (!g.ok()) {
            return failure(g.fault());
        }
        gradebook = std::move(g).value();
    }
    if (sittingsCsvPath) {
        return download("text/csv; charset=utf-8",
                        QByteArray::fromStdString(sittingsCsv(sittings, ',', gradebook)),
                        "sittings.csv");
    }
    auto a = m_journal.answers();
    if (!a.ok()) {
        return failure(a.fault());
    }
    const auto& answers = a.value();
    if (answersCsvPath) {
        return download("text/csv; charset=utf-8",
                        QByteArray::fromStdString(matrixCsv(sittings, answers, ',', gradebook)),
                        "answers.csv");
    }
    QTemporaryFile tmp;
    if (!tmp.open()) {
        return failure(Fault{"cannot make a temporary file"});
    }
    tmp.close();
    if (Status f = writeXlsx(tmp.fileName().toStdString(), sittings, answers, false, gradebook);
        !f.ok()) {
        return failure(f.fault());
    }
    QFile in(tmp.fileName());
    if (!in.open(QIODevice::ReadOnly)) {
        return failure(Fault{"cannot read the workbook"});
    }
    return download("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                    in.readAll(), "sittings.xlsx");
}

// The request must also carry the board's own header: a page of another site
// cannot send it without the browser asking first, which this server never
// allows.
QHttpServerResponse Board::stop(const QHttpServerRequest& request)
{
    if (header(request, "X-QuizDesk-Board") != "stop") {
        return QHttpServerResponse("text/plain; charset=utf-8", "the board's header is missing\n",
                                   Code::Forbidden);
    }
    const std::string student =
        request.query().queryItemValue(QStringLiteral("student"), QUrl::FullyDecoded).toStdString();
    auto stopped = m_journal.stop(student, int64_t(m_clock.calendarSeconds()));
    if (!stopped.ok()) {
        return failure(stopped.fault());
    }
    if (!stopped.value()) {
        return QHttpServerResponse("text/plain; charset=utf-8",
                                   QByteArray::fromStdString(student + " has no open sitting\n"),
                                   Code::NotFound);
    }
    return QHttpServerResponse("text/plain; charset=utf-8",
                               QByteArray::fromStdString("stopped " + student + "\n"));
}

} // namespace qd::server
