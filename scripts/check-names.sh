#!/usr/bin/env bash
# Checks the naming rules that .clang-tidy holds (constants kCamelCase, enumerators CamelCase, namespaces
# lower_case, with the Direct3D, Win32 and show resource names it leaves alone) over every source file a
# built tree compiles, except the build's generated ones; that every product header opens with its one
# comment and then `#pragma once`; and that the built product defines no name in the global namespace
# (global-names.py reads its object files). Prints each name or header that breaks them and exits 1; 0 when
# none does.
#   check-names.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-names.sh BUILD_DIR}" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$build/compile_commands.json" ] || { echo "no compile_commands.json in $build" >&2; exit 2; }
ours="^$src/(base|platform|sync|music|shaders|gfx|content|show|app|tools|generators|tests|bench|fuzz)/"
report=$(mktemp)
trap 'rm -f "$report"' EXIT
run-clang-tidy -p "$build" -j "$(nproc)" -quiet -header-filter="$ours" "$ours" 2>/dev/null |
  sed 's/\x1b\[[0-9;]*m//g' >"$report" || true
files=$(grep -c '^clang-tidy' "$report" || true)
if ((files == 0)) || grep -q ': error: ' "$report"; then
  grep ': error: ' "$report" | sort -u | head -n 20 >&2
  echo "names: clang-tidy could not read the sources of $build (build it first)" >&2
  exit 2
fi
names=$(grep -o "^$src/[^ ]*: warning: invalid case style for .*" "$report" | sed "s|^$src/||" | sort -u || true)
# A product header: its first line a comment, the comment's end followed by `#pragma once`.
headers=0 badHeaders=""
while IFS= read -r header; do
  headers=$((headers + 1))
  awk 'NR == 1 && !/^\/\// { bad = 1; exit } !/^\/\// { bad = ($0 != "#pragma once"); exit } END { exit bad }' \
    "$src/$header" || badHeaders+="$header: does not open with its comment and then #pragma once"$'\n'
done < <(cd "$src" && git ls-files 'base/*.h' 'platform/*.h' 'sync/*.h' 'music/*.h' 'shaders/*.h' 'gfx/*.h' \
  'content/*.h' 'show/*.h' 'app/*.h' 'tools/*.h' 'generators/*.h' 2>/dev/null || true)
globals=$(python3 "$src/scripts/global-names.py" "$build") || globalsRc=$?
if ((${globalsRc:-0} > 1)); then
  echo "names: the global names of $build could not be read" >&2
  exit 2
fi
if [ -n "$names$badHeaders$globals" ]; then
  [ -n "$names" ] && echo "$names"
  printf '%s' "$badHeaders"
  [ -n "$globals" ] && echo "$globals"
  echo "names: $(grep -c . <<<"$names$badHeaders$globals") name(s) or header(s) break the rules" >&2
  exit 1
fi
echo "names: $files files checked: constants kCamelCase, enumerators CamelCase, namespaces lower_case;" \
  "$headers headers open with their comment, then #pragma once; no product name is global"
