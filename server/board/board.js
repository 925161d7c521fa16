// The board polls the server twice a second and redraws both tables. Its
// one write is the examiner's stop of a sitting, asked twice (the button
// turns into a question for five seconds).
"use strict";

let stopAsked = null; // { student, until }

async function stopSitting(student, button) {
  if (!stopAsked || stopAsked.student !== student || Date.now() > stopAsked.until) {
    stopAsked = { student, until: Date.now() + 5000 };
    button.textContent = "Stop " + student + "?";
    return;
  }
  stopAsked = null;
  const r = await fetch("/api/stop?student=" + encodeURIComponent(student),
                        { method: "POST", headers: { "X-QuizDesk-Board": "stop" } });
  if (!r.ok) document.getElementById("updated").textContent = await r.text();
}

function cell(tr, text, cls) {
  const td = document.createElement("td");
  td.textContent = text === null || text === undefined ? "" : String(text);
  if (cls) td.className = cls;
  tr.appendChild(td);
}

function fill(id, rows, draw) {
  const body = document.querySelector("#" + id + " tbody");
  const fresh = document.createElement("tbody");
  for (const r of rows) fresh.appendChild(draw(r));
  body.replaceWith(fresh);
}

function sittingRow(s) {
  const tr = document.createElement("tr");
  tr.className = s.state;
  tr.dataset.student = s.student;
  cell(tr, s.computer);
  cell(tr, s.student);
  cell(tr, s.address);
  cell(tr, s.stateText, "state");
  if (s.answered > 0) cell(tr, s.lastRight ? "right" : "wrong", s.lastRight ? "right" : "wrong");
  else cell(tr, "");
  cell(tr, s.state === "finished" ? s.percent + "% " + s.grade : s.score.toFixed(2), "score");
  cell(tr, s.verified, s.verified === "mismatch" ? "verified mismatch" : "verified");
  cell(tr, s.started);
  cell(tr, s.lastSeen);
  cell(tr, s.server);
  const td = document.createElement("td");
  if (s.state === "waiting" || s.state === "answering" || s.state === "silent") {
    const b = document.createElement("button");
    b.className = "stop";
    const asked = stopAsked && stopAsked.student === s.student && Date.now() <= stopAsked.until;
    b.textContent = asked ? "Stop " + s.student + "?" : "Stop";
    b.addEventListener("click", () => stopSitting(s.student, b));
    td.appendChild(b);
  }
  tr.appendChild(td);
  return tr;
}

function incidentRow(i) {
  const tr = document.createElement("tr");
  for (const v of [i.at, i.kind, i.student, i.computer, i.address, i.detail, i.server]) cell(tr, v);
  return tr;
}

async function refresh() {
  try {
    const [s, i, j] = await Promise.all([fetch("/api/sittings"), fetch("/api/incidents"),
                                         fetch("/api/journal")]);
    // The journal not taking messages is shown in red until it does again.
    if (j.ok) {
      const journal = await j.json();
      const banner = document.getElementById("journal");
      banner.hidden = journal.state === "ready";
      banner.textContent = journal.state === "ready" ? "" :
        "The journal takes no messages (" + journal.state + "): " + journal.detail;
    }
    if (s.ok) fill("sittings", await s.json(), sittingRow);
    if (i.ok) fill("incidents", (await i.json()).reverse(), incidentRow);
    document.getElementById("updated").textContent = "updated " + new Date().toLocaleTimeString();
  } catch (e) {
    document.getElementById("updated").textContent = "no answer from the server";
  }
  setTimeout(refresh, 500);
}

fetch("/api/about").then(r => r.json()).then(a => {
  document.getElementById("unverified").hidden = a.verifying;
}).catch(() => {});

refresh();
