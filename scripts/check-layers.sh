#!/usr/bin/env bash
# Checks the folders' floors as scripts/floors.txt lists them (lowest first): a file includes from its own
# folder and from lower floors only, and folders that share a floor include none of each other. So base/
# includes nothing of ours.
# Every include of ours names its folder from the project root ("gfx/scene.h"), so the includes of every
# .h/.cpp/.inl in the product folders are compared by folder. A subfolder the table names (tools/output_files)
# counts for itself, every other subfolder for its top folder, and generated headers for the folder they name
# ("base/generated/version.h" is base's). A quoted include that names no product folder (a bare "scene.h") is
# a problem too.
# With a build tree, the sources it generates and compiles into its product folders are checked the same
# way, and its compile commands may have on their include path only the project root, the build root and
# folders outside both: one of our folders there would let bare includes resolve again.
#   check-layers.sh SOURCE_DIR [BUILD_DIR]
set -euo pipefail
usage() { echo "usage: check-layers.sh SOURCE_DIR [BUILD_DIR]" >&2; exit 2; }
(($# == 1 || $# == 2)) && [ -d "$1" ] && [ -d "${2:-.}" ] || usage
src=$(cd "$1" && pwd)
build=$( (($# == 2)) && cd "$2" && pwd || true)
if [ -n "$build" ] && [ ! -f "$build/compile_commands.json" ]; then
  echo "no compile_commands.json in $build" >&2
  exit 2
fi

table=$(dirname "$0")/floors.txt
[ -r "$table" ] || { echo "no floor table: $table" >&2; exit 2; }
declare -A floor=()
floors="" level=0
while IFS= read -r line; do
  [[ -z $line || $line == \#* ]] && continue
  names=$(sed -E 's/: [^|]*//g; s/ *\| */ /g' <<<"$line")
  for name in $names; do floor[$name]=$level; done
  floors+="${floors:+ < }${names// / | }"
  level=$((level + 1))
done <"$table"
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*("([^"]*)"|<([^>]*)>)'
problems=0 includes=0
report() { echo "$1"; problems=$((problems + 1)); }

# Sets folder to the table's folder that PATH (relative to the root) belongs to: its subfolder where the
# table names it, else its top folder.
folderOf() {
  folder=${1%%/*}
  local sub=${1#*/}
  sub=$folder/${sub%%/*}
  [ -n "${floor[$sub]:-}" ] && folder=$sub
  return 0
}

# Sets rule to why FILE (relative to its root) may not include INCLUDE, or to nothing where it may.
brokenRule() {
  local from to
  folderOf "$1" && from=$folder
  folderOf "$2" && to=$folder
  rule=
  if [[ $2 != */* ]]; then
    rule="bare include: includes name their folder from the project root"
  elif [ -z "${floor[$to]:-}" ]; then
    rule="names no product folder"
  elif ((floor[$to] > floor[$from])); then
    rule="$to/ is on a higher floor than $from/ ($floors)"
  elif [ "$from" = "$to" ] || ((floor[$to] < floor[$from])); then
    :
  else
    rule="$from/ and $to/ stand on one floor and include none of each other"
  fi
}

# Checks the includes of ROOT/FILE, FILE being relative to ROOT; problems name it as SHOWN.
checkFile() {
  local root=$1 file=$2 shown=$3 text inc
  while IFS= read -r text; do
    [[ $text =~ $include ]] || continue
    inc=${BASH_REMATCH[2]}${BASH_REMATCH[3]}
    # Angle brackets are for outside headers; one that names a folder of ours is checked as ours.
    [ -n "${BASH_REMATCH[2]}" ] || { [[ $inc == */* ]] && [ -n "${floor[${inc%%/*}]:-}" ]; } || continue
    includes=$((includes + 1))
    brokenRule "$file" "$inc"
    [ -z "$rule" ] || report "$shown: #include \"$inc\": $rule"
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$root/$file" || true)
}

sources=0
while IFS= read -r -d '' file; do
  sources=$((sources + 1))
  checkFile "$src" "$file" "$file"
done < <(cd "$src" && find $(printf '%s\n' "${!floor[@]}" | grep -v /) -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inl' \) -print0 2>/dev/null || true)
if ((sources == 0)); then
  echo "no sources in the product folders under $src" >&2
  exit 2
fi
summary="$sources source files"

if [ -n "$build" ]; then
  # compile_commands.json lists "directory" (where the command runs), "command", then "file".
  generated=0 commands=0
  declare -A users=() example=()
  while IFS=$'\t' read -r dir command file; do
    commands=$((commands + 1))
    rel=${file#"$build"/}
    if [ "$rel" != "$file" ] && [ -n "${floor[${rel%%/*}]:-}" ] && [ -f "$file" ]; then
      generated=$((generated + 1))
      checkFile "$build" "$rel" "$file"
    fi
    # Include folders: every -I, -isystem, -iquote and -idirafter, CMake's response files (@file) read in.
    words=" $command "
    for rsp in $(grep -oE ' @[^ ]+' <<<"$words" || true); do
      words+=" $(cat "$dir/${rsp#@}" 2>/dev/null || true) "
    done
    for inc in $(grep -oE ' -(I|isystem|iquote|idirafter) *[^ ]+' <<<"$words" | sed -E 's/^ -[a-z]*I? *//;s#/$##'); do
      case "$inc" in
        "$src" | "$build") continue ;;
        "$build"/*) top=${inc#"$build"/} && [ -n "${floor[${top%%/*}]:-}" ] || continue ;; # generated headers' folders
        "$src"/*) ;;
        *) continue ;;
      esac
      users[$inc]=$((${users[$inc]:-0} + 1))
      example[$inc]=${example[$inc]:-$file}
    done
  done < <(awk -F'"' '/"directory":/ { dir = $4 } /"command":/ { command = $4 } /"file":/ { print dir "\t" command "\t" $4 }' \
    "$build/compile_commands.json")
  for inc in $(printf '%s\n' "${!users[@]}" | sort); do
    report "include path: $inc in ${users[$inc]} compile command(s), e.g. for $(basename "${example[$inc]}"):\
 our headers are found only from the project root and the build root"
  done
  summary+=", $generated generated files, the include paths of $commands compile commands"
fi

summary+=" ($includes includes of ours)"
if ((problems)); then
  echo "layering: $problems problem(s) in $summary" >&2
  exit 1
fi
echo "layering: $summary checked: $floors; no bare includes"
