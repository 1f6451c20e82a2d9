#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer) and runs every fuzz target for a bounded time.
# Seeds come from the shared XM corpus, read in place, and the show's key table; new inputs go to a scratch folder.
#   FUZZ_SECONDS  time per target (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
shared="${MIRELANDT_SHARED_DIR:-$(cd .. && pwd)/shared}"
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
  case "$name" in
    music_fuzz) [ -d "$shared/testdata/xm-corpus" ] && seeds=("$shared/testdata/xm-corpus") ;;
    track_text_fuzz) mkdir -p "$scratch/seeds-$name" && cp content/data/tracks.txt "$scratch/seeds-$name/" &&
      seeds=("$scratch/seeds-$name") ;;
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
