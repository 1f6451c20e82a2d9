#!/usr/bin/env bash
# The text files at the top of the release archives: file_id.diz at most 40 columns and 10 lines,
# mirelandt.txt at most 78 columns, both printable ASCII on newline-ended lines (no tab, no carriage return,
# nothing past 0x7e). With the intro given, every option its --help names, other than the Linux-only
# director mode's, and every environment variable it names, is explained in mirelandt.txt. The checker also runs on planted files that break each
# limit once, so that it is known to refuse them.
#   archive_text_test.sh DIST_DIR [MIRELANDT]
set -uo pipefail
dist=${1:?usage: archive_text_test.sh DIST_DIR [MIRELANDT]}
intro=${2:-}
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

# Prints one line per broken limit of FILE, nothing when it keeps them all.
problems() {
  local file=$1 columns=$2 lines=$3
  [[ -s $file ]] || { echo "$file: empty or missing"; return; }
  [[ $(tail -c 1 "$file" | od -An -c | tr -d ' ') == '\n' ]] || echo "$file: the last line has no newline"
  LC_ALL=C grep -n '[^ -~]' "$file" | sed "s|^|$file:|; s|$| (not printable ASCII)|"
  LC_ALL=C awk -v max="$columns" -v f="$file" 'length($0) > max { print f ":" NR ": " length($0) " columns" }' "$file"
  local count
  count=$(wc -l <"$file")
  ((lines == 0 || count <= lines)) || echo "$file: $count lines"
}

check() {
  local found
  found=$(problems "$@")
  [[ -z $found ]] || fail "$found"
}
check "$dist/file_id.diz" 40 10
check "$dist/mirelandt.txt" 78 0

# Each limit broken once: the checker names it.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
line40=$(printf '%040d' 0)
printf '%s\n' "$line40" >"$tmp/fits"
printf '%s1\n' "$line40" >"$tmp/wide"
seq 11 >"$tmp/long"
printf 'caf\xc3\xa9\n' >"$tmp/utf8"
printf 'a\tb\n' >"$tmp/tab"
printf 'dos\r\n' >"$tmp/crlf"
printf 'no newline' >"$tmp/unended"
: >"$tmp/empty"
[[ -z $(problems "$tmp/fits" 40 10) ]] || fail "a 40-column line was refused: $(problems "$tmp/fits" 40 10)"
for planted in wide long utf8 tab crlf unended empty; do
  [[ -n $(problems "$tmp/$planted" 40 10) ]] || fail "the planted file '$planted' passed"
done

if [[ -n $intro ]]; then
  help=$("$intro" --help) || fail "$intro --help failed"
  for option in $(grep -o -- '--[a-z-]*' <<<"$help" | sort -u); do
    case $option in --edit | --source) continue ;; esac
    grep -q -- "$option\b" "$dist/mirelandt.txt" || fail "mirelandt.txt does not explain $option"
  done
  # So is every environment variable it names (the renderer's among them).
  for variable in $(grep -o 'MIRELANDT_[A-Z_]*' <<<"$help" | sort -u); do
    grep -q -- "$variable\b" "$dist/mirelandt.txt" || fail "mirelandt.txt does not explain $variable"
  done
fi

((failures == 0)) && echo "archive texts: within their limits" || exit 1
