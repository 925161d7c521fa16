#include "Board.h"

#include "BoardListener.h"
#include "Exports.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>

namespace qd::server {

// The HTTP side: every request, whatever its path, goes to Board::answer.
class BoardHttp : public QAbstractHttpServer
{
public:
    BoardHttp(Board& board, BoardListener& listener) : m_board(board), m_listener(listener) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        m_listener.answered(socket);
        m_board.answer(request).write(makeResponder(request, socket));
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        handleRequest(request, socket);
    }

private:
    Board& m_board;
    BoardListener& m_listener;
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

// Generations start from the wall clock in microseconds (see BoardRows).
uint64_t generationBase()
{
    return uint64_t(std::max<qint64>(QDateTime::currentMSecsSinceEpoch(), 1)) * 1000u;
}

} // namespace

const char* boardLanguage(const QByteArray& acceptLanguage)
{
    // "en-GB,en;q=0.9,uk;q=0.8": the first of the two by weight, then order.
    double english = -1;
    double ukrainian = -1;
    for (const QByteArray& item : acceptLanguage.split(',')) {
        const QList<QByteArray> parts = item.split(';');
        const QByteArray tag = parts.first().trimmed().toLower();
        double weight = 1;
        for (qsizetype k = 1; k < parts.size(); ++k) {
            const QByteArray p = parts[k].trimmed();
            if (p.startsWith("q=")) {
                bool ok = false;
                weight = p.mid(2).toDouble(&ok);
                if (!ok) {
                    weight = 0;
                }
            }
        }
        const QByteArray primary = tag.left(tag.indexOf('-') < 0 ? tag.size() : tag.indexOf('-'));
        if (primary == "en" && weight > english) {
            english = weight;
        } else if (primary == "uk" && weight > ukrainian) {
            ukrainian = weight;
        }
    }
    return english > 0 && english > ukrainian ? "en" : "uk";
}

Board::Board(Journal& journal, const Clock& clock, BoardAccess access, bool verifying,
             QObject* parent)
    : QObject(parent),
      m_journal(journal),
      m_clock(clock),
      m_access(std::move(access)),
      m_verifying(verifying),
      m_listener(new BoardListener),
      m_http(new BoardHttp(*this, *m_listener)),
      m_sittings(generationBase()),
      m_incidents(generationBase()),
      m_timer(new QTimer(this))
{
    // The HTTP server owns the listener from here on.
    m_listener->setParent(m_http.get());
    m_sinceBuild.start();
    m_sinceLook.start();
    connect(m_timer, &QTimer::timeout, this, &Board::tick);
    m_timer->start(kRebuildMs / 2);
}

Board::~Board() = default;

quint16 Board::listen(const QHostAddress& address, quint16 port)
{
    if (!m_listener->listen(address, port)) {
        return 0;
    }
    m_http->bind(m_listener);
    const quint16 bound = m_listener->serverPort();
    m_access.setListening(address, bound);
    return bound;
}

void Board::tick()
{
    const uint64_t commits = m_commits ? m_commits->load(std::memory_order_relaxed) : 0;
    bool due = m_dirty || (commits != m_seenCommits && m_sinceBuild.elapsed() >= kRebuildMs);
    if (!due && m_sinceLook.elapsed() >= kLookMs) {
        m_sinceLook.restart();
        const std::optional<int64_t> mark = m_journal.changeMark();
        due = mark ? mark != m_mark : m_sinceBuild.elapsed() >= kForeignMs;
        if (!due) {
            restate(int64_t(m_clock.calendarSeconds()));
        }
    }
    if (due) {
        refresh();
    }
}

bool Board::refresh()
{
    m_dirty = false;
    m_sinceBuild.restart();
    // Taken before the rows: a commit after this is read next time.
    m_seenCommits = m_commits ? m_commits->load(std::memory_order_relaxed) : 0;
    m_mark = m_journal.changeMark();
    auto sittings = m_journal.sittings();
    if (!sittings.ok()) {
        m_readFault = sittings.fault().message;
        return false;
    }
    auto incidents = m_journal.incidents(kIncidentWindow);
    if (!incidents.ok()) {
        m_readFault = incidents.fault().message;
        return false;
    }
    m_readFault.clear();
    std::vector<int64_t> order;
    order.reserve(sittings.value().size());
    for (Sitting& s : sittings.value()) {
        const int64_t id = s.id;
        order.push_back(id);
        auto it = m_known.find(id);
        if (it == m_known.end()) {
            m_known.emplace(id, Known{std::move(s), {}, {}});
        } else if (!(it->second.sitting == s)) {
            it->second.sitting = std::move(s);
            it->second.json.clear();
        }
    }
    m_order = std::move(order);
    restate(int64_t(m_clock.calendarSeconds()));
    std::vector<std::pair<int64_t, QByteArray>> rows;
    rows.reserve(incidents.value().size());
    for (const Incident& i : incidents.value()) {
        rows.emplace_back(i.id, incidentJson(i));
    }
    m_incidents.replace(std::move(rows));
    m_built = true;
    return true;
}

void Board::restate(int64_t now)
{
    std::vector<std::pair<int64_t, QByteArray>> rows;
    rows.reserve(m_order.size());
    for (const int64_t id : m_order) {
        Known& k = m_known.at(id);
        std::string state = stateKey(k.sitting, now);
        if (k.json.isEmpty() || state != k.state) {
            k.json = sittingJson(k.sitting, now);
            k.state = std::move(state);
        }
        rows.emplace_back(id, k.json);
    }
    m_sittings.replace(std::move(rows));
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
        return page(request);
    }
    if (path == QLatin1String("/board.js")) {
        return resource(":/board/board.js", "text/javascript; charset=utf-8");
    }
    if (path == QLatin1String("/board.css")) {
        return resource(":/board/board.css", "text/css; charset=utf-8");
    }
    if (path == QLatin1String("/api/sittings")) {
        return table(request, m_sittings, "sittings");
    }
    if (path == QLatin1String("/api/incidents")) {
        return table(request, m_incidents, "incidents");
    }
    if (path == QLatin1String("/api/tests")) {
        QJsonArray tests;
        for (const BoardTest& t : m_tests) {
            tests.append(QJsonObject{{QStringLiteral("name"), QString::fromStdString(t.name)},
                                     {QStringLiteral("questions"), t.questions},
                                     {QStringLiteral("minutes"), t.minutes}});
        }
        return QHttpServerResponse("application/json",
                                   QJsonDocument(tests).toJson(QJsonDocument::Compact));
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

// GET /api/sittings: every row as a JSON array. With ?since=G: an object
// with the rows changed after generation G, the generation they bring the
// page to, whether they are every row (G not this board's), and the
// server's local time, from which the page counts silences and time left.
QHttpServerResponse Board::table(const QHttpServerRequest& request, const BoardRows& rows,
                                 const char* key)
{
    if (!m_built && !refresh()) {
        return failure(Fault{m_readFault});
    }
    const QString since = request.query().queryItemValue(QStringLiteral("since"));
    if (since.isNull()) {
        return QHttpServerResponse("application/json", rows.all());
    }
    bool ok = false;
    const qulonglong from = since.toULongLong(&ok);
    const BoardRows::Changes changes = rows.since(ok ? from : 0);
    QByteArray out;
    out.reserve(changes.rows.size() + 128);
    out += "{\"generation\":" + QByteArray::number(qulonglong(rows.generation())) +
           ",\"full\":" + (changes.full ? "true" : "false") + ",\"now\":\"" +
           QByteArray::fromStdString(isoLocal(int64_t(m_clock.calendarSeconds()))) + "\",\"" + key +
           "\":" + changes.rows + "}";
    return QHttpServerResponse("application/json", out);
}

// The page in the browser's language: the script takes its texts from its
// one table by the page's lang.
QHttpServerResponse Board::page(const QHttpServerRequest& request)
{
    QFile f(QStringLiteral(":/board/index.html"));
    if (!f.open(QIODevice::ReadOnly)) {
        return QHttpServerResponse(Code::NotFound);
    }
    QByteArray html = f.readAll();
    const char* lang = boardLanguage(header(request, "Accept-Language"));
    html.replace("<html lang=\"uk\">", QByteArray("<html lang=\"") + lang + "\">");
    QHttpServerResponse r("text/html; charset=utf-8", html);
    r.addHeader("Content-Language", lang);
    r.addHeader("Vary", "Accept-Language");
    return r;
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
    m_dirty = true;
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
