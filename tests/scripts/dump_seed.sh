#!/usr/bin/env bash
# quizdesk-tool dump --seed: the run's draws on the demo test (two sections,
# every question type), checked against the generator and the drawing rules
# worked out independently here: sections, blocks, answer orders, the
# renumbered correct options and the moved option texts.
source "$(dirname "$0")/common.bash" "$@"

run "$tool" dump "$src/examples/demo" --char-w 9
expect_rc "dump in file order" 0
printf '%s' "$out" >"$work/plain.json"
for seed in 0 7 4294967295; do
  run "$tool" dump "$src/examples/demo" --char-w 9 --seed "$seed"
  expect_rc "dump --seed $seed" 0
  printf '%s' "$out" >"$work/seed$seed.json"
done

python3 - "$work" <<'PY' || fail "draws"
import json, sys

work = sys.argv[1]
plain = json.load(open(f"{work}/plain.json"))
failures = []

class Random:
    def __init__(self, x):
        self.s = (x * 0x015A4E35 + 1) & 0xFFFFFFFF
    def rnd(self, n):
        if n == 0:
            return 0
        self.s = (self.s * 0x0000015A00004E35 + 1) & 0xFFFFFFFFFFFFFFFF
        return ((self.s >> 32) & 0x7FFFFFFF) % n

def sample(r, values, nv):
    pool, out = list(values), []
    for i in range(nv):
        out.append(pool.pop(r.rnd(len(pool))))
    return out

def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")

for seed in (0, 7, 4294967295):
    m = json.load(open(f"{work}/seed{seed}.json"))
    r = Random(seed)
    total, ask, nqr = plain["nq_total"], plain["nq_ask"], plain["nqr"]
    size = [(nqr[s + 1] if s + 1 < len(nqr) else total + 1) - nqr[s] for s in range(len(nqr))]
    take = [max(1, int(k * ask / total + 0.5)) for k in size]
    order = sample(r, range(len(nqr)), len(nqr)) if plain["rnd_sect"] else list(range(len(nqr)))
    i_r = []
    for s in order:
        block = list(range(nqr[s] - 1, nqr[s] - 1 + size[s]))
        i_r += sample(r, block, take[s]) if plain["rnd_quest"] else block[:take[s]]
    check(f"seed {seed} i_r", m["i_r"], i_r)
    for n, (before, after) in enumerate(zip(plain["questions"], m["questions"]), 1):
        what = f"seed {seed} question {n}"
        if not plain["rnd_ans"] or before["type"] == 5 or before["graph"] == 2:
            check(what, after, before)
            continue
        if before["type"] <= 3:
            perm = sample(r, range(before["nans"]), before["nans"])
            check(f"{what} ord", after["ord"], perm)
            check(f"{what} texts", [a["str"] for a in after["ans"]],
                  [before["ans"][p]["str"] for p in perm])
            check(f"{what} rans", after["rans"], [perm.index(v - 1) + 1 for v in before["rans"]])
        else:
            for c, (cb, ca) in enumerate(zip(before["col"], after["col"])):
                perm = sample(r, range(len(cb["cell"])), len(cb["cell"]))
                check(f"{what} column {c} cord", ca["cord"], perm)
                check(f"{what} column {c} texts", [x["str"] for x in ca["cell"]],
                      [cb["cell"][p]["str"] for p in perm])
            check(f"{what} groups", after["grp"], before["grp"])

for f in failures:
    print(f, file=sys.stderr)
sys.exit(1 if failures else 0)
PY

finish
