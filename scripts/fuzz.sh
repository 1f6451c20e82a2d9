#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer) and runs every fuzz target (build-fuzz/fuzz/*/*_fuzz: the music
# player, page sources, block fonts, palettes, code page tables, PCF fonts, numeric data files, the key
# table) for a bounded time each, one after the other.
# Seeds are the project's own (written or copied at build time into seeds/ beside each fuzzer), and for the
# music fuzzer also the folder named by MIRELANDT_XM_CORPUS when that is set, read in place; new inputs go
# to a scratch folder. A target that crashes leaves its input in build-fuzz/artifacts/ and fails the run.
#   FUZZ_SECONDS         time per target (default 60)
#   MIRELANDT_XM_CORPUS  a folder of .xm files to add to the music fuzzer's seeds (optional)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
corpus="${MIRELANDT_XM_CORPUS:-}"
if [ -n "$corpus" ] && [ ! -d "$corpus" ]; then
  echo "fuzz.sh: MIRELANDT_XM_CORPUS names $corpus, which is not a folder" >&2
  exit 1
fi
cmake --preset fuzz >/dev/null
# Only the fuzz targets (and what they link): the rest of the tree is built and tested by the other presets.
cmake --build build-fuzz/fuzz -j "$(nproc)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
status=0
for target in build-fuzz/fuzz/*/*_fuzz; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  seeds=()
  [ -d "$(dirname "$target")/seeds" ] && seeds=("$(dirname "$target")/seeds")
  case "$name" in
    music_fuzz) [ -n "$corpus" ] && seeds+=("$corpus") ;;
  esac
  mkdir -p "$scratch/$name"
  echo "== $name for ${seconds} s"
  # The scratch folder comes first: libFuzzer writes new inputs only into the first corpus folder.
  if ! "$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$scratch/$name-" "$scratch/$name" "${seeds[@]}" 2>"$scratch/$name.log"; then
    status=1
    tail -n 60 "$scratch/$name.log"
    mkdir -p build-fuzz/artifacts && cp "$scratch/$name"-* build-fuzz/artifacts/ 2>/dev/null || true
  fi
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
    "$scratch/$name.log" || true
done
exit "$status"
