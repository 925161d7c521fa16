#!/usr/bin/env bash
# Checks that every project include in src/, tools/ and server/ points down
# the layers, never up nor sideways:
#
#   definition < run < {results, exam, screen} < {host, journal} < app < {tools, server}
#
# l10n (the catalogue lookup of the examiner's programs) sits beside
# definition at the bottom and includes no other folder.
#
# Folders of one rank stay independent of each other. A violation is named
# with its file and line; the exit status is 1 when there is any.
#   scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail

root=${1:-$(dirname "$0")/..}
cd "$root"

# Folder:rank. src/<folder> for the libraries, the top folders for the programs.
layers="definition:0 l10n:0 run:1 results:2 exam:2 screen:2 host:3 journal:3 app:4 tools:5 server:5"

dirs=()
for d in src tools server; do
  [ -d "$d" ] && dirs+=("$d")
done
[ ${#dirs[@]} -gt 0 ] || { echo "no src/, tools/ or server/ in $root" >&2; exit 2; }

{ grep -rnE --include='*.h' --include='*.cpp' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "${dirs[@]}" || true; } |
  awk -v layers="$layers" '
    BEGIN {
      n = split(layers, pairs, " ")
      for (i = 1; i <= n; i++) {
        split(pairs[i], kv, ":")
        rank[kv[1]] = kv[2] + 0
      }
      bad = 0
    }
    {
      # file:line:text (the text may hold colons of its own)
      file = $0; sub(/:.*/, "", file)
      rest = substr($0, length(file) + 2)
      line = rest; sub(/:.*/, "", line)
      text = substr(rest, length(line) + 2)
      split(file, parts, "/")
      from = (parts[1] == "src") ? parts[2] : parts[1]
      target = text; sub(/^[^"]*"/, "", target); sub(/\/.*/, "", target)
      if (!(from in rank) || !(target in rank) || from == target) {
        next
      }
      if (rank[target] >= rank[from]) {
        how = (rank[target] == rank[from]) ? "sideways" : "up"
        printf "%s:%s: %s includes %s/ (%s a layer)\n", file, line, from, target, how
        bad = 1
      }
    }
    END { exit bad }
  '
