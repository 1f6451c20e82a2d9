#!/usr/bin/env bash
# Mutation check of the music player's tests: applies each mutant of tools/mutate-music.txt to its source
# file in turn, builds the music library, its tests and the music tool in build-mutants/, runs the music
# test programs and restores the source (also when interrupted). A mutant is killed when a build of the
# tests fails to pass; one that survives is rendered: when every module the tests load, the show's module
# and the music fuzzer's seeds render byte for byte as without it, it is reported as equivalent.
#   tools/mutate-music.sh [ID...]   only the mutants named (all by default)
#   MUTANT_TIMEOUT                  seconds per test program and mutant (default 120): a hang is a kill
#   MUTANT_SECONDS                  seconds rendered per module for the equivalence check (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
list="$root/tools/mutate-music.txt"
build="$root/build-mutants"
timeout_s="${MUTANT_TIMEOUT:-120}"
render_s="${MUTANT_SECONDS:-3}"
programs=(tests/music/music_tests tests/music/music_robustness_tests tests/music/music_allocation_tests
  tests/music/music_tool_tests tests/shell/shell_audio_tests)
targets=(music_tests music_robustness_tests music_allocation_tests music_tool_tests shell_audio_tests mirelandt-music)

# Restores the file under mutation from its saved copy; runs on every exit, Ctrl+C included.
mutated=""
restore() {
  if [ -n "$mutated" ]; then
    cp "$build/original" "$root/music/$mutated"
    mutated=""
  fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

# Replaces the one occurrence of $2 in file $1 by $3 ("\n" stands for a line break); fails unless the
# original occurs exactly once.
substitute() {
  MUT_FROM="$2" MUT_TO="$3" perl -0777 -e '
    my $path = shift;
    open(my $in, "<", $path) or die "$path: $!\n";
    my $text = <$in>;
    close $in;
    my ($from, $to) = map { s/\\n/\n/gr } @ENV{qw(MUT_FROM MUT_TO)};
    my $at = index($text, $from);
    exit 3 if $at < 0 || index($text, $from, $at + 1) >= 0;
    substr($text, $at, length $from) = $to;
    open(my $out, ">", $path) or die "$path: $!\n";
    print $out $text;
    close $out;' "$1"
}

build_all() {
  cmake --build "$build" -j 2 --target "${targets[@]}" >"$build/build.log" 2>&1
}

run_tests() {
  local program
  for program in "${programs[@]}"; do
    (cd "$build" && timeout -k 5 "$timeout_s" "./$program" --gtest_brief=1) >>"$build/test.log" 2>&1 || return 1
  done
}

# Renders every kept module into folder $1 (float WAV, so any change of a sample value shows).
render_modules() {
  local module
  mkdir -p "$1"
  for module in "$build"/modules/*.xm; do
    timeout -k 5 "$timeout_s" "$build/tools/music/mirelandt-music" render "$module" \
      "$1/$(basename "$module" .xm).wav" --seconds "$render_s" >/dev/null 2>&1 || true
  done
}

if [ ! -f "$build/CMakeCache.txt" ]; then
  mkdir -p "$build"
  # The default preset's settings, with warnings left as warnings: a mutant may well warn.
  cmake --preset default -B "$build" -DMIRELANDT_WERROR=OFF -DMIRELANDT_BENCH=OFF >"$build/configure.log" 2>&1 ||
    { echo "mutate-music: configuring $build fails (see $build/configure.log)" >&2; exit 1; }
fi

echo "building and testing the unmutated player"
build_all || { echo "mutate-music: the unmutated build fails (see $build/build.log)" >&2; exit 1; }
: >"$build/test.log"
run_tests || { echo "mutate-music: the tests fail without a mutant (see $build/test.log)" >&2; exit 1; }
rm -rf "$build/modules" "$build/renders"
mkdir -p "$build/modules"
(cd "$build" && MIRELANDT_MUSIC_TEST_MODULES="$build/modules" ./tests/music/music_tests >/dev/null 2>&1)
cp content/music/mirelandt.xm "$build/modules/show.xm"
# The music fuzzer's seeds use every effect, loop type and envelope kind.
"${CXX:-c++}" -std=c++20 -O1 -Imusic fuzz/music/make_seeds.cpp music/xm_writer.cpp -o "$build/music_seeds"
"$build/music_seeds" "$build/modules"
render_modules "$build/renders/original"
echo "$(ls "$build/modules" | wc -l) modules kept for the equivalence check"

total=0 killed=0 equivalent=0 broken=0
survivors=() equivalents=()
while IFS=$'\t' read -r id file original replacement what; do
  [[ -z "$id" || "$id" == \#* ]] && continue
  if [ $# -gt 0 ] && [[ " $* " != *" $id "* ]]; then continue; fi
  cp "music/$file" "$build/original"
  mutated="$file"
  if ! substitute "music/$file" "$original" "$replacement"; then
    restore
    echo "$id  stale     music/$file: the original text is not there exactly once"
    broken=$((broken + 1))
    continue
  fi
  : >"$build/test.log"
  if ! build_all; then
    restore
    echo "$id  no-build  $what"
    broken=$((broken + 1))
    continue
  fi
  total=$((total + 1))
  note=""
  if ! run_tests; then
    verdict="killed"
    killed=$((killed + 1))
  else
    verdict="survived"
    rm -rf "$build/renders/mutant"
    render_modules "$build/renders/mutant"
    if diff -rq "$build/renders/original" "$build/renders/mutant" >/dev/null; then
      note=" (equivalent: every render identical)"
      equivalent=$((equivalent + 1))
      equivalents+=("$id")
    else
      survivors+=("$id")
    fi
  fi
  restore
  printf '%s  %-8s  %-18s %s\n' "$id" "$verdict" "$file" "$what$note"
done <"$list"

# The source is back as it was: build it so that build-mutants/ holds the unmutated player again.
build_all || true
echo "mutants: $total built, $killed killed, $((total - killed)) survived ($equivalent equivalent), $broken not applicable"
if [ "$total" -gt 0 ]; then
  echo "kill rate: $((100 * killed / total)) % of all built mutants"
  [ "$total" -gt "$equivalent" ] &&
    echo "kill rate without the equivalent ones: $((100 * killed / (total - equivalent))) %"
fi
[ ${#survivors[@]} -eq 0 ] || echo "survivors: ${survivors[*]}"
[ ${#equivalents[@]} -eq 0 ] || echo "equivalent: ${equivalents[*]}"
