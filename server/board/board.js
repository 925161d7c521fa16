// The examiner's board. It asks the server for the rows changed since the
// last answer (?since=) every half second, keeps every row by its id and
// redraws only the rows that changed; once a second it counts on the times
// that depend on the clock (time left, silences). Every text of the page
// is in TEXTS, in Ukrainian and English; the server chooses the page's
// language from the browser's Accept-Language. The one write is the
// examiner's stop of a sitting, asked twice (the button turns into a
// question for five seconds).
"use strict";

const TEXTS = {
  uk: {
    title: "Іспит", unverified: "Результати не перевірено: сервер запущено без --test.",
    filter: "Показати:", sort: "Порядок:", exports: "Вивантажити:",
    sittingsCsv: "сеанси (CSV)", sittingsXlsx: "сеанси (XLSX)", answersCsv: "студент × питання (CSV)",
    computer: "Комп’ютер", student: "Студент", state: "Стан", progress: "Питання",
    timeLeft: "Залишилось", lastAnswer: "Відповідь", score: "Бали",
    verified: "Перевірено", started: "Почав", lastSeen: "Зв’язок", server: "Сервер",
    incidents: "Події", at: "Час", kind: "Подія", address: "Адреса", detail: "Що сталося",
    registered: "Зареєстровано", answering: "Відповідають", finished: "Завершили",
    silent: "Мовчать",
    all: "усі", waitingState: "чекають", answeringState: "відповідають",
    silentState: "мовчать", finishedState: "завершили", stoppedState: "зупинені",
    releasedState: "звільнені",
    byComputer: "за комп’ютером", byStudent: "за прізвищем", byProgress: "за поступом",
    byLastSeen: "за зв’язком", byState: "за станом",
    waiting: "чекає першої відповіді",
    questionOf: (n, total) => "питання " + n + " з " + total,
    answeredCount: (n) => "відповідей: " + n,
    silentFor: (t) => "мовчить " + t,
    finishedText: "завершив", stoppedText: "зупинено екзаменатором", releasedText: "звільнено",
    right: "правильно", wrong: "неправильно",
    yes: "так", mismatch: "розбіжність", notChecked: "не перевірено",
    stop: "Стоп", stopAsk: (name) => "Зупинити " + name + "?",
    updated: (t) => "оновлено о " + t, noAnswer: "сервер не відповідає",
    journalDown: (state, detail) => "Журнал не приймає повідомлень (" + state + "): " + detail,
  },
  en: {
    title: "Exam", unverified: "Results are not verified: the server scores nothing without --test.",
    filter: "Show:", sort: "Order:", exports: "Exports:",
    sittingsCsv: "sittings (CSV)", sittingsXlsx: "sittings (XLSX)",
    answersCsv: "student × question (CSV)",
    computer: "Computer", student: "Student", state: "State", progress: "Question",
    timeLeft: "Time left", lastAnswer: "Last answer", score: "Score",
    verified: "Verified", started: "Started", lastSeen: "Last seen", server: "Server",
    incidents: "Incidents", at: "At", kind: "Kind", address: "Address", detail: "What",
    registered: "Registered", answering: "Answering", finished: "Finished", silent: "Silent",
    all: "all", waitingState: "waiting", answeringState: "answering", silentState: "silent",
    finishedState: "finished", stoppedState: "stopped", releasedState: "released",
    byComputer: "by computer", byStudent: "by student", byProgress: "by progress",
    byLastSeen: "by last seen", byState: "by state",
    waiting: "waiting for the first answer",
    questionOf: (n, total) => "question " + n + " of " + total,
    answeredCount: (n) => "question " + n + " answered",
    silentFor: (t) => "silent for " + t,
    finishedText: "finished", stoppedText: "stopped by the examiner", releasedText: "released",
    right: "right", wrong: "wrong",
    yes: "yes", mismatch: "mismatch", notChecked: "not checked",
    stop: "Stop", stopAsk: (name) => "Stop " + name + "?",
    updated: (t) => "updated " + t, noAnswer: "no answer from the server",
    journalDown: (state, detail) => "The journal takes no messages (" + state + "): " + detail,
  },
};
const T = TEXTS[document.documentElement.lang] || TEXTS.uk;

// A sitting silent this long, and incidents of these kinds, want a look.
const ALARM_SECONDS = 120;
const LOOK_KINDS = new Set(["score-mismatch", "foreign-test", "implausible-final",
  "implausible-progress", "unreadable-report", "second-login", "two-computers",
  "report-differs", "computer-reused"]);
const INCIDENT_ROWS = 500;

const sittings = new Map(); // id -> row of /api/sittings
const incidents = new Map();
const drawn = new Map(); // id -> <tr>
const since = { sittings: 0, incidents: 0 };
let test = null; // the one test the server scores with, when there is one
let serverNow = 0; // the server's local time (seconds, as written) ...
let serverNowAt = 0; // ... at this moment of the browser's clock
let stopAsked = null; // { student, until }
let order = true; // the rows must be put in order again

// "2026-12-07T10:05:09" (local calendar, no zone) in seconds.
function seconds(iso) { return iso ? Date.parse(iso + "Z") / 1000 : 0; }
function now() { return serverNow + (Date.now() - serverNowAt) / 1000; }
function clockText(iso) { return iso ? iso.slice(11, 19) : ""; }
function two(n) { return String(n).padStart(2, "0"); }
// The browser's local clock, 24-hour, as the lab reads it.
function localClock(d) { return two(d.getHours()) + ":" + two(d.getMinutes()) + ":" + two(d.getSeconds()); }
function span(secs) {
  secs = Math.max(0, Math.floor(secs));
  const m = Math.floor(secs / 60), s = secs % 60;
  return m + ":" + String(s).padStart(2, "0");
}
function isOpen(s) { return s.state === "waiting" || s.state === "answering" || s.state === "silent"; }

function cell(tr, text, cls) {
  const td = document.createElement("td");
  td.textContent = text === null || text === undefined ? "" : String(text);
  if (cls) td.className = cls;
  tr.appendChild(td);
  return td;
}

async function stopSitting(student, button) {
  if (!stopAsked || stopAsked.student !== student || Date.now() > stopAsked.until) {
    stopAsked = { student, until: Date.now() + 5000 };
    button.textContent = T.stopAsk(student);
    return;
  }
  stopAsked = null;
  const r = await fetch("/api/stop?student=" + encodeURIComponent(student),
                        { method: "POST", headers: { "X-QuizDesk-Board": "stop" } });
  if (!r.ok) document.getElementById("updated").textContent = await r.text();
}

function stateText(s) {
  switch (s.state) {
    case "waiting": return T.waiting;
    case "answering":
      return test && test.questions > 0
        ? T.questionOf(Math.min(s.answered + 1, test.questions), test.questions)
        : T.answeredCount(s.answered);
    case "silent": return T.silentFor(span(now() - seconds(s.lastSeen)));
    case "finished": return T.finishedText;
    case "stopped": return T.stoppedText;
    case "released": return T.releasedText;
  }
  return s.state;
}

// The cells that move with the clock, redrawn every second.
function retime(tr, s) {
  tr.querySelector(".state").textContent = stateText(s);
  const alarm = isOpen(s) && now() - seconds(s.lastSeen) >= ALARM_SECONDS;
  if (alarm) tr.dataset.alarm = "1"; else delete tr.dataset.alarm;
  const left = tr.querySelector(".left");
  left.textContent = "";
  left.classList.remove("low");
  if (test && test.minutes > 0 && isOpen(s)) {
    const rest = test.minutes * 60 - (now() - seconds(s.started));
    left.textContent = span(rest);
    if (rest < 300) left.classList.add("low");
  }
}

function sittingRow(s) {
  const tr = document.createElement("tr");
  tr.className = s.state;
  tr.dataset.student = s.student;
  const pc = cell(tr, s.computer);
  pc.title = s.address;
  cell(tr, s.student);
  cell(tr, "", "state");
  const progress = cell(tr, "", "progress");
  if (test && test.questions > 0) {
    const bar = document.createElement("progress");
    bar.max = test.questions;
    bar.value = Math.min(s.answered, test.questions);
    progress.appendChild(bar);
    const count = document.createElement("span");
    count.className = "count";
    count.textContent = s.answered + "/" + test.questions;
    progress.appendChild(count);
  } else {
    progress.textContent = s.answered;
  }
  cell(tr, "", "left");
  if (s.answered > 0) cell(tr, s.lastRight ? T.right : T.wrong, s.lastRight ? "right" : "wrong");
  else cell(tr, "");
  cell(tr, s.state === "finished" ? s.percent + "% " + s.grade : s.score.toFixed(2), "score");
  const verified = { yes: T.yes, mismatch: T.mismatch, "not checked": T.notChecked };
  cell(tr, s.verified ? verified[s.verified] || s.verified : "",
       s.verified === "mismatch" ? "verified mismatch" : "verified");
  cell(tr, clockText(s.started));
  cell(tr, clockText(s.lastSeen));
  cell(tr, s.server, "server");
  const td = document.createElement("td");
  if (isOpen(s)) {
    const b = document.createElement("button");
    b.className = "stop";
    const asked = stopAsked && stopAsked.student === s.student && Date.now() <= stopAsked.until;
    b.textContent = asked ? T.stopAsk(s.student) : T.stop;
    b.addEventListener("click", () => stopSitting(s.student, b));
    td.appendChild(b);
  }
  tr.appendChild(td);
  retime(tr, s);
  return tr;
}

function incidentRow(i) {
  const tr = document.createElement("tr");
  for (const v of [clockText(i.at), i.kind, i.student, i.computer, i.address, i.detail, i.server]) {
    cell(tr, v);
  }
  if (LOOK_KINDS.has(i.kind)) tr.dataset.look = "1";
  return tr;
}

const SORTS = {
  byComputer: (a, b) => a.computer.localeCompare(b.computer, undefined, { numeric: true }),
  byStudent: (a, b) => a.student.localeCompare(b.student),
  byProgress: (a, b) => b.answered - a.answered,
  byLastSeen: (a, b) => seconds(a.lastSeen) - seconds(b.lastSeen),
  byState: (a, b) => a.state.localeCompare(b.state),
};
const FILTERS = ["all", "waiting", "answering", "silent", "finished", "stopped", "released"];

function shown(s) {
  const f = document.getElementById("filter").value;
  return f === "all" || s.state === f;
}

// Puts the drawn rows in the chosen order and filter, moving only nodes.
function arrange() {
  const body = document.querySelector("#sittings tbody");
  const sort = SORTS[document.getElementById("sort").value];
  const rows = [...sittings.values()].filter(shown).sort((a, b) => sort(a, b) || a.id - b.id);
  const keep = new Set(rows.map(s => s.id));
  for (const [id, tr] of drawn) if (!keep.has(id) && tr.parentNode) tr.remove();
  for (const s of rows) body.appendChild(drawn.get(s.id));
  order = false;
}

function summary() {
  let registered = 0, answering = 0, finished = 0, silent = 0;
  const servers = new Set();
  for (const s of sittings.values()) {
    registered++;
    servers.add(s.server);
    if (s.state === "waiting" || s.state === "answering") answering++;
    else if (s.state === "finished" || s.state === "stopped") finished++;
    else if (s.state === "silent") silent++;
  }
  // The server column only where several servers share the journal.
  document.getElementById("sittings").classList.toggle("one-server", servers.size <= 1);
  const el = document.getElementById("summary");
  el.textContent = "";
  for (const [label, n, cls] of [[T.registered, registered], [T.answering, answering],
                                 [T.finished, finished], [T.silent, silent, "silent"]]) {
    const part = document.createElement("span");
    part.className = "n" + (cls && n > 0 ? " " + cls : "");
    part.textContent = label + ": " + n;
    el.appendChild(part);
  }
}

async function take(what) {
  const r = await fetch("/api/" + what + "?since=" + since[what]);
  if (!r.ok) throw new Error(what + ": " + r.status);
  const j = await r.json();
  serverNow = seconds(j.now);
  serverNowAt = Date.now();
  const map = what === "sittings" ? sittings : incidents;
  if (j.full) map.clear();
  since[what] = j.generation;
  return { j, map, full: j.full };
}

async function refresh() {
  try {
    const [s, i, journalAnswer] = await Promise.all([take("sittings"), take("incidents"),
                                                     fetch("/api/journal")]);
    if (journalAnswer.ok) {
      const journal = await journalAnswer.json();
      const banner = document.getElementById("journal");
      banner.hidden = journal.state === "ready";
      banner.textContent = journal.state === "ready" ? "" : T.journalDown(journal.state, journal.detail);
    }
    if (s.full) {
      for (const tr of drawn.values()) tr.remove();
      drawn.clear();
    }
    // Only the rows that changed are drawn again, in place.
    for (const row of s.j.sittings) {
      sittings.set(row.id, row);
      const tr = sittingRow(row);
      const old = drawn.get(row.id);
      if (old && old.parentNode) old.replaceWith(tr);
      drawn.set(row.id, tr);
      order = true;
    }
    for (const row of i.j.incidents) incidents.set(row.id, row);
    if (i.full || i.j.incidents.length > 0) {
      const body = document.querySelector("#incidents tbody");
      const fresh = document.createElement("tbody");
      const latest = [...incidents.values()].sort((a, b) => b.id - a.id).slice(0, INCIDENT_ROWS);
      for (const row of latest) fresh.appendChild(incidentRow(row));
      body.replaceWith(fresh);
    }
    if (order) arrange();
    summary();
    document.getElementById("updated").textContent = T.updated(localClock(new Date()));
  } catch (e) {
    document.getElementById("updated").textContent = T.noAnswer;
  }
  setTimeout(refresh, 500);
}

function tick() {
  for (const [id, tr] of drawn) {
    const s = sittings.get(id);
    if (s && isOpen(s)) retime(tr, s);
  }
  document.getElementById("clock").textContent = localClock(new Date());
}

function options(id, values, label) {
  const select = document.getElementById(id);
  for (const v of values) {
    const o = document.createElement("option");
    o.value = v;
    o.textContent = label(v);
    select.appendChild(o);
  }
  select.addEventListener("change", arrange);
}

for (const el of document.querySelectorAll("[data-t]")) el.textContent = T[el.dataset.t];
options("filter", FILTERS, v => T[v === "all" ? "all" : v + "State"]);
options("sort", Object.keys(SORTS), v => T[v]);

fetch("/api/about").then(r => r.json()).then(a => {
  document.getElementById("unverified").hidden = a.verifying;
}).catch(() => {});

fetch("/api/tests").then(r => r.json()).then(tests => {
  // One test: its questions and its time per sitting. Several: their names.
  if (tests.length === 1) test = tests[0];
  if (tests.length > 0) {
    document.querySelector("h1").textContent = tests.map(t => t.name).join(" · ");
  }
}).catch(() => {}).finally(() => refresh());

tick();
setInterval(tick, 1000);
