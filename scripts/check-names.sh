#!/usr/bin/env bash
# Checks the naming rules that .clang-tidy holds (constants kCamelCase, enumerators CamelCase, namespaces
# lower_case, with the Direct3D, Win32 and show resource names it leaves alone) over every source file a
# built tree compiles, except the build's generated ones. Prints each name that breaks them and exits 1;
# 0 when none does.
#   check-names.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-names.sh BUILD_DIR}" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$build/compile_commands.json" ] || { echo "no compile_commands.json in $build" >&2; exit 2; }
ours="^$src/(base|platform|sync|music|shaders|gfx|content|show|app|tools|tests|bench|fuzz)/"
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
if [ -n "$names" ]; then
  echo "$names"
  echo "names: $(wc -l <<<"$names") name(s) break the rules in .clang-tidy" >&2
  exit 1
fi
echo "names: $files files checked: constants kCamelCase, enumerators CamelCase, namespaces lower_case"
