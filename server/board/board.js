// The board polls the server twice a second and redraws both tables; it
// never writes anything.
"use strict";

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
  cell(tr, s.started);
  cell(tr, s.lastSeen);
  cell(tr, s.server);
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

refresh();
