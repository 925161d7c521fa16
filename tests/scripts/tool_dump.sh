#!/usr/bin/env bash
# quizdesk-tool dump: the JSON shape and the values of a loaded test, on the
# minimal test and on the demo (every question type and picture mode).
source "$(dirname "$0")/common.bash" "$@"

run "$tool" dump "$fixtures/minimal" --char-w 8
expect_rc "dump minimal" 0
printf '%s' "$out" >"$work/minimal.json"
run "$tool" dump "$src/examples/demo" --char-w 9 --width 640 --height 480
expect_rc "dump demo 640x480" 0
printf '%s' "$out" >"$work/demo.json"

python3 - "$work/minimal.json" "$work/demo.json" <<'PY' || fail "dump JSON"
import json, sys

failures = []
def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")

settings = ["disc_name", "test_name", "nq_total", "nsect", "nqr", "nq_ask", "font_size",
            "font_bold", "line_h", "char_w", "t_quest", "t_test", "pc_sat", "pc_good", "pc_exc",
            "by_time", "t_exc", "t_good", "t_sat", "rnd_sect", "rnd_quest", "rnd_ans",
            "kb_layout", "rez_dir"]
fields = ["type", "graph", "lenq", "indent", "text", "nans", "ans", "rans", "nrans", "ord",
          "ncol", "col", "grp", "tans", "sans", "mark"]
slot = ["row1", "col1", "row2", "col2", "str", "left", "top", "right", "bottom"]

def shape(name, m):
    check(f"{name} keys", sorted(m), sorted(settings + ["questions"]))
    check(f"{name} questions", len(m["questions"]), m["nq_total"])
    for i, q in enumerate(m["questions"], 1):
        check(f"{name} q{i} keys", sorted(q), sorted(fields))
        check(f"{name} q{i} ans", len(q["ans"]), q["nans"])
        check(f"{name} q{i} ord", len(q["ord"]), q["nans"])
        if q["type"] <= 3:
            check(f"{name} q{i} ord", q["ord"], list(range(q["nans"])))
        check(f"{name} q{i} rans", len(q["rans"]), q["nrans"])
        for s in q["ans"] + [c for col in q["col"] for c in col["cell"]]:
            check(f"{name} q{i} slot keys", sorted(s), sorted(slot))
        for col in q["col"]:
            check(f"{name} q{i} cord", col["cord"], list(range(col["nrow"])))
            check(f"{name} q{i} cells", len(col["cell"]), col["nrow"])
        for g in q["grp"]:
            check(f"{name} q{i} lbl", len(g["lbl"]), 1)
            check(f"{name} q{i} numbers", len(g["numbers"]), g["cnt"])

m = json.load(open(sys.argv[1]))
shape("minimal", m)
check("disc_name", m["disc_name"], " Хімія")
check("test_name", m["test_name"], " Кислоти")
check("nqr", m["nqr"], [1])
check("line_h", [m["font_size"], m["line_h"], m["char_w"]], [16, 16, 8])
check("extras", [m["kb_layout"], m["rez_dir"]], [0, ""])
q1, q2 = m["questions"]
check("q1", [q1["type"], q1["graph"], q1["nans"], q1["rans"], q1["mark"]], [1, 0, 2, [1], 2])
check("q1 options", [a["str"] for a in q1["ans"]], ["<Київ>", "<Львів>"])
check("q1 stem", q1["text"], " Столиця України? ")
check("q1 first option", [q1["ans"][0][k] for k in ("row1", "col1", "row2", "col2")], [1, 18, 1, 23])
check("q1 first option px", [q1["ans"][0][k] for k in ("left", "top", "right", "bottom")], [136, 0, 184, 14])
check("q2", [q2["type"], q2["nans"], q2["tans"], q2["mark"], q2["ans"]], [5, 0, "київ", 1, []])

d = json.load(open(sys.argv[2]))
shape("demo", d)
check("demo narrow font", [d["font_size"], d["font_bold"], d["line_h"], d["char_w"]], [12, 0, 9, 9])
check("demo sections", [d["nq_total"], d["nsect"], d["nqr"], d["nq_ask"]], [12, 2, [1, 7], 12])
check("demo flags", [d["rnd_sect"], d["rnd_quest"], d["rnd_ans"], d["kb_layout"]], [1, 1, 1, 2])
qs = d["questions"]
check("demo types", [q["type"] for q in qs], [1, 2, 3, 4, 5, 6, 1, 2, 6, 1, 5, 4])
check("demo pictures", [q["graph"] for q in qs], [0, 0, 0, 0, 0, 0, 1, 1, 2, 0, 0, 0])
check("demo marks", sum(q["mark"] for q in qs), 27)
check("demo q3 order", qs[2]["rans"], [1, 2, 4, 3])
def columns(q):
    return [[c["str"] for c in col["cell"]] for col in q["col"]]
check("demo q6 columns", columns(qs[5]), [["<Київ>", "<Вінниця>", "<Ужгород>"],
                                          ["<Уж>", "<Дніпро>", "<Південний Буг>"],
                                          ["<Вінницька>", "<Закарпатська>", "<Київська>"]])
check("demo q6 groups", [(g["lbl"], g["numbers"]) for g in qs[5]["grp"]],
      [("А", [2, 3]), ("Б", [3, 1]), ("В", [1, 2])])
check("demo q9 keys", [qs[8]["nans"], qs[8]["ncol"], qs[8]["sans"], qs[8]["col"], qs[8]["grp"]],
      [0, 3, ["А21", "Б32", "В13"], [], []])
check("demo q10 two-line option", qs[9]["ans"][1]["str"], "<Дніпро впадає\r\n    в Чорне море>")
check("demo q12 columns", [len(c) for c in columns(qs[11])], [2, 4])
check("demo q12 groups", [g["numbers"] for g in qs[11]["grp"]], [[1, 3], [2, 4]])
check("demo q11 answer", qs[10]["tans"], "дніпро")
# A type-5 question's answer area starts at the window's bottom edge.
check("demo q5 no options", [qs[4]["nans"], qs[4]["ans"]], [0, []])

for f in failures:
    print(f, file=sys.stderr)
sys.exit(1 if failures else 0)
PY

# Without --seed nothing is drawn: no i_r.
grep -q '"i_r"' "$work/demo.json" && fail "dump without --seed lists i_r"

finish
