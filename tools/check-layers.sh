#!/usr/bin/env bash
# Checks that the folders stay layered in a built tree: base/ includes nothing of ours, and no object of the
# engine's libraries (base, sync, gfx, content, music, platform, shaders) has app/ on its include path or an
# app/ header among its compiler dependencies. Only the programs (app/, tools/) and the tests stand on app/.
#   check-layers.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-layers.sh BUILD_DIR}" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
engine=(base sync gfx content music platform shaders)
[ -f "$build/compile_commands.json" ] || { echo "no compile_commands.json in $build" >&2; exit 2; }

problems=0
report() { echo "$1"; problems=$((problems + 1)); }

# Include paths: compile_commands.json lists "directory" (the target's build folder) before "command".
while IFS=$'\t' read -r dir command; do
  for layer in "${engine[@]}"; do
    case "$dir" in "$build/$layer" | "$build/$layer"/*) ;; *) continue ;; esac
    if [[ " $command " =~ [[:space:]]-(I|isystem[[:space:]]*)"$src/app"[[:space:]] ]]; then
      report "include path: ${dir#"$build"/} compiles with $src/app"
    fi
  done
done < <(awk -F'"' '/"directory":/ { dir = $4 } /"command":/ { print dir "\t" $4 }' "$build/compile_commands.json")

# Dependencies the compiler recorded for every object it built.
objects=0
for layer in "${engine[@]}"; do
  [ -d "$build/$layer" ] || continue
  while IFS= read -r depfile; do
    objects=$((objects + 1))
    if grep -q "$src/app/" "$depfile"; then
      report "dependency: ${depfile#"$build"/} lists $(grep -o -m 1 "$src/app/[^ ]*" "$depfile" | sed -n 1p)"
    fi
    if [ "$layer" = base ]; then
      ours=$(tr ' \\' '\n\n' <"$depfile" | grep "^$src/" | grep -v "^$src/base/" || true)
      [ -z "$ours" ] || report "dependency: ${depfile#"$build"/} (base) lists $(head -n 1 <<<"$ours")"
    fi
  done < <(find "$build/$layer" -name '*.o.d' -o -name '*.obj.d')
done

if ((objects == 0)); then
  echo "no dependency files under $build: build the tree first" >&2
  exit 2
fi
if ((problems)); then
  echo "layering: $problems problem(s) in $objects objects" >&2
  exit 1
fi
echo "layering: $objects objects of ${engine[*]} checked, none stands on app/, base/ includes nothing of ours"
