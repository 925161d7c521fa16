#!/usr/bin/env bash
# Runs the commands of markdown documents, so that what they show is what the
# programs do:
#   doc_commands.sh BUILD_DIR FILE.md...
#
# In each document:
# - the ```sh blocks run in order, in one bash per document that stops at the
#   first failing command (set -e), in a fresh copy of examples/ (the
#   document's working folder) with the build's programs first on PATH and a
#   home of their own;
# - a ```text block right after a ```sh block (blank lines between at most)
#   is that block's expected output: each of its non-blank lines, but `...`,
#   must appear in the block's stdout and stderr together, within one line
#   (blanks at the ends of a line do not count, so a row of a table may be
#   shown by the part that matters);
# - each non-blank line of a ```message block is a message of the programs,
#   quoted byte for byte as shown: it must occur in the sources (src/,
#   tools/, server/), as it stands or with each number as the %d the source
#   formats it from;
# - ```console blocks are shown, never run.
# A server a document starts in the background is killed when its bash ends.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: doc_commands.sh BUILD_DIR FILE.md..." >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
src=$(cd "$(dirname "$0")/../.." && pwd)
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Splits DOC into blocks under OUT: for the sh block opening at line N,
# N.sh and (when expected output follows) N.expect; every message line as
# LINE<TAB>TEXT in messages; the line numbers of the sh blocks in order in
# blocks.
split_blocks() {
  local doc=$1 out=$2
  awk -v out="$out" '
    function close_block() {
      if (kind == "sh") { close(file); last_sh = start }
      else if (kind == "expect") close(file)
      kind = ""
    }
    BEGIN { kind = ""; last_sh = 0; pending = 0 }
    {
      line = $0
      sub(/\r$/, "", line)
    }
    kind != "" && line ~ /^```[ \t]*$/ { close_block(); pending = (last_sh != 0); next }
    kind == "sh" || kind == "expect" { print line > file; next }
    kind == "message" { if (line ~ /[^ \t]/) print NR "\t" line > (out "/messages"); next }
    kind == "other" { next }
    line ~ /^```/ {
      lang = substr(line, 4)
      gsub(/[ \t]/, "", lang)
      start = NR
      if (lang == "sh") {
        kind = "sh"; file = out "/" NR ".sh"
        print NR > (out "/blocks")
        printf "" > file
      } else if (lang == "text" && pending) {
        kind = "expect"; file = out "/" last_sh ".expect"
        printf "" > file
      } else if (lang == "message") {
        kind = "message"
      } else {
        kind = "other"
      }
      pending = 0; last_sh = 0
      next
    }
    line ~ /[^ \t]/ { pending = 0; last_sh = 0 }
    END { if (kind != "") { printf "unclosed block at line %d\n", start > "/dev/stderr"; exit 1 } }
  ' "$doc"
}

# missing_lines EXPECT OUT: the lines of EXPECT (but blank ones and `...`)
# that stand in no line of OUT; blanks and a CR at the ends of a line do not
# count. (One process per block: the checks stay fast on a busy machine.)
missing_lines() {
  LC_ALL=C awk '
    function trim(s) { sub(/\r$/, "", s); gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
    FNR == NR { got[++n] = trim($0); next }
    {
      want = trim($0)
      if (want == "" || want == "...") next
      for (i = 1; i <= n; i++) if (index(got[i], want)) next
      print want
    }' "$2" "$1"
}

# unknown_messages FILE: the lines LINE<TAB>TEXT of FILE whose text is in no
# source file, as it stands or with each number formatted there from %d.
unknown_messages() {
  perl -e '
    open(my $f, "<", $ARGV[0]) or die; my $all = do { local $/; <$f> };
    open(my $m, "<", $ARGV[1]) or die;
    while (my $line = <$m>) {
      chomp $line;
      my ($at, $text) = split /\t/, $line, 2;
      my $re = join "", map { /^[0-9]+$/ ? "(?:[0-9]+|%d)" : quotemeta } split /([0-9]+)/, $text;
      print "$line\n" unless $all =~ /$re/;
    }' "$sources" "$1"
}

check_doc() {
  local doc=$1 name=$1 tmp
  tmp=$(mktemp -d)
  mkdir -p "$tmp/blocks" "$tmp/home"
  cp -r "$src/examples" "$tmp/work"
  touch "$tmp/blocks/blocks"
  if ! split_blocks "$doc" "$tmp/blocks"; then
    fail "$name: cannot split into blocks"
    rm -rf "$tmp"
    return
  fi

  # One script of all the sh blocks, each writing its output to its own file;
  # the trap ends whatever the document left running in the background.
  local script=$tmp/doc.bash n
  {
    echo 'set -e'
    echo 'trap '\''echo "$BASH_COMMAND" >"$DOC_BLOCKS/failed"'\'' ERR'
    echo 'trap '\''doc_rc=$?; set +e; trap - ERR; kill $(jobs -p) 2>/dev/null; wait; exit $doc_rc'\'' EXIT'
    while read -r n; do
      echo "echo $n >\"\$DOC_BLOCKS/current\""
      echo "exec >\"\$DOC_BLOCKS/$n.out\" 2>&1"
      cat "$tmp/blocks/$n.sh"
    done <"$tmp/blocks/blocks"
  } >"$script"

  local started=$SECONDS rc
  (
    cd "$tmp/work" &&
      HOME=$tmp/home DOC_BLOCKS=$tmp/blocks \
        PATH="$build/tools:$build/server:$build/src:$PATH" \
        timeout 60 bash "$script" </dev/null
  )
  rc=$?
  if [ "$rc" -ne 0 ]; then
    n=$(cat "$tmp/blocks/current" 2>/dev/null || echo '?')
    fail "$name:$n: the block failed (exit $rc) at: $(cat "$tmp/blocks/failed" 2>/dev/null)"
    echo "  its output:" >&2
    sed 's/^/    /' "$tmp/blocks/$n.out" >&2 2>/dev/null || true
  else
    while read -r n; do
      [ -f "$tmp/blocks/$n.expect" ] || continue
      local want missing=0
      while IFS= read -r want; do
        fail "$name:$n: the block's output lacks the line: $want"
        missing=1
      done < <(missing_lines "$tmp/blocks/$n.expect" "$tmp/blocks/$n.out")
      if [ "$missing" -ne 0 ]; then
        echo "  the output of the block at line $n was:" >&2
        sed 's/^/    /' "$tmp/blocks/$n.out" >&2
      fi
    done <"$tmp/blocks/blocks"
  fi

  # Messages quoted as the programs' own must be theirs, byte for byte.
  if [ -f "$tmp/blocks/messages" ]; then
    local at text
    while IFS=$'\t' read -r at text; do
      fail "$name:$at: no program has the message: $text"
    done < <(unknown_messages "$tmp/blocks/messages")
  fi

  echo "$name: $(wc -l <"$tmp/blocks/blocks") blocks run in $((SECONDS - started)) s"
  rm -rf "$tmp"
}

# The programs' sources in one file, searched once per quoted message.
sources=$(mktemp)
trap 'rm -f "$sources"' EXIT
find "$src/src" "$src/tools" "$src/server" \( -name '*.cpp' -o -name '*.h' \) -exec cat {} + >"$sources"

for doc in "$@"; do
  if [ ! -f "$doc" ]; then
    fail "$doc: no such file"
    continue
  fi
  check_doc "$doc"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
