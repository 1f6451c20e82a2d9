#!/usr/bin/env bash
# Mutation check of the music player's tests: applies each mutant in turn to its source file in a copy of
# the sources (build-mutants/src: the last commit, with the working tree's music/, tests/music/ and these
# tools), so that no mutant ever shows in the shared checkout and half-done edits elsewhere do not break
# its builds; builds the music library, its tests and the music tool there, runs the music test programs
# (fastest first, stopping at the first failure) and restores the source (also when interrupted). A mutant
# is killed when a build of the tests fails to pass; one that survives is rendered: when every module the
# tests load, the show's module and the music fuzzer's seeds render byte for byte as without it, it is
# reported with identical renders, which makes it a candidate for an equivalent mutant, no more.
#   scripts/mutate-music.sh [NAME...]       the hand-picked mutants of scripts/mutate-music.txt (all by default),
#                                         or those named, by id (L01) or by generated name
#   scripts/mutate-music.sh --generate [--seed N] [--count N] [--class C] [--file F]
#                                         a sample of the mutants scripts/mutate-music-gen.py makes over the
#                                         player's sources (seed 1, 200 mutants by default, --count 0: all),
#                                         of the classes and files named (rel, reset, ...; module_loader.cpp,
#                                         ...: repeated or comma-separated; all by default), less the
#                                         equivalent ones listed; the seed and the list are printed first
#   scripts/mutate-music.sh --from FILE     the mutants named in FILE, one per line ("#" lines skipped), such
#                                         as a printed list
#   MUTANT_TIMEOUT                        seconds per test program and mutant (default: five times the
#                                         program's unmutated run plus 10): a hang is a kill
#   MUTANT_SECONDS                        seconds rendered per module for the equivalence check (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$PWD/build-mutants"
root="$build/src"
tree="$build/tree"
list="$root/scripts/mutate-music.txt"
generator="$root/scripts/mutate-music-gen.py"
render_s="${MUTANT_SECONDS:-3}"
programs=(tests/music/music_tool_tests tests/music/music_allocation_tests tests/music/music_robustness_tests
  tests/music/audio_stream_tests tests/music/music_tests)
targets=(music_tests music_robustness_tests music_allocation_tests music_tool_tests audio_stream_tests mirelandt-music)

die() {
  echo "mutate-music: $*" >&2
  exit 1
}

# The mutants to run: hand-picked ids of the list, or generated names (file:line:column:operator).
names=()
mode=hand
seed=1 count=200
filters=()
while [ $# -gt 0 ]; do
  case "$1" in
  --generate) mode=generated ;;
  --seed) seed="${2:?--seed needs a number}"; shift ;;
  --count) count="${2:?--count needs a number}"; shift ;;
  --class | --file) filters+=("$1" "${2:?$1 needs a name}"); shift ;;
  --from)
    [ -f "${2:-}" ] || die "--from needs a file"
    while read -r name _; do
      [[ -z "$name" || "$name" == \#* ]] || names+=("$name")
    done <"$2"
    shift
    ;;
  -*) die "unknown option $1" ;;
  *) names+=("$1") ;;
  esac
  shift
done
mkdir -p "$build"
# Brings the copy of the sources up to date; files whose contents did not change keep their time, so the
# build in it stays incremental.
fresh="$build/fresh"
rm -rf "$fresh"
mkdir -p "$fresh" "$root"
git archive HEAD | tar -x -C "$fresh"
git ls-files -co --exclude-standard music tests/music scripts/mutate-music.sh scripts/mutate-music.txt \
  scripts/mutate-music-gen.py | while read -r file; do cp "$file" "$fresh/$file"; done
(cd "$fresh" && find . -type f) | while read -r file; do
  cmp -s "$fresh/$file" "$root/$file" || { mkdir -p "$(dirname "$root/$file")" && cp "$fresh/$file" "$root/$file"; }
done
rm -rf "$fresh"

if [ "$mode" = generated ]; then
  [ ${#names[@]} -eq 0 ] || die "--generate takes no names"
  python3 "$generator" list --seed "$seed" --count "$count" "${filters[@]}" >"$build/sample.txt" ||
    die "the generator fails"
  cat "$build/sample.txt"
  while read -r name; do [[ "$name" == \#* ]] || names+=("$name"); done <"$build/sample.txt"
elif [ ${#names[@]} -eq 0 ]; then
  # The list's generated names (file:line:column:operator) are the equivalent mutants, never run.
  while IFS=$'\t' read -r id _; do
    [[ -z "$id" || "$id" == \#* || "$id" == *:*:*:* ]] || names+=("$id")
  done <"$list"
fi

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

# Applies mutant $1 to its file (saved first, so that restore brings it back); sets `what` to the mistake
# it stands for. Fails when the mutant no longer fits the sources.
apply_mutant() {
  local id="$1" file original replacement
  if [[ "$id" == *:*:*:* ]]; then
    file="${id%%:*}"
  else
    IFS=$'\t' read -r _ file original replacement what < <(grep -P "^\Q$id\E\t" "$list" || true)
    [ -n "$file" ] || return 1
  fi
  [ -f "$root/music/$file" ] || return 1
  cp "$root/music/$file" "$build/original"
  mutated="$file"
  if [[ "$id" == *:*:*:* ]]; then
    what="$(python3 "$generator" apply "$id" 2>/dev/null)" || return 1
  else
    substitute "$root/music/$file" "$original" "$replacement" || return 1
  fi
}

build_all() {
  cmake --build "$tree" -j 2 --target "${targets[@]}" >"$build/build.log" 2>&1
}

# Seconds each program may run per mutant: MUTANT_TIMEOUT, or five times its unmutated run plus 10.
declare -A limit
run_tests() {
  local program
  for program in "${programs[@]}"; do
    (cd "$tree" && timeout -k 5 "${limit[$program]}" "./$program" --gtest_brief=1 --gtest_fail_fast) \
      >>"$build/test.log" 2>&1 || return 1
  done
}

# Renders every kept module into folder $1 (float WAV, so any change of a sample value shows).
render_modules() {
  local module
  mkdir -p "$1"
  for module in "$build"/modules/*.xm; do
    timeout -k 5 "${limit[tests/music/music_tool_tests]}" "$tree/tools/music/mirelandt-music" render "$module" \
      "$1/$(basename "$module" .xm).wav" --seconds "$render_s" >/dev/null 2>&1 || true
  done
}

if [ ! -f "$tree/CMakeCache.txt" ]; then
  # The default preset's settings, with warnings left as warnings (a mutant may well warn) and without
  # debug information, which only slows the links of every mutant down.
  (cd "$root" && cmake --preset default -B "$tree" -DMIRELANDT_WERROR=OFF -DMIRELANDT_BENCH=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG") >"$build/configure.log" 2>&1 ||
    die "configuring $build fails (see $build/configure.log)"
fi

echo "building and testing the unmutated player"
build_all || die "the unmutated build fails (see $build/build.log)"
: >"$build/test.log"
for program in "${programs[@]}"; do
  started=$SECONDS
  (cd "$tree" && "./$program" --gtest_brief=1) >>"$build/test.log" 2>&1 ||
    die "the tests fail without a mutant (see $build/test.log)"
  limit[$program]="${MUTANT_TIMEOUT:-$((5 * (SECONDS - started) + 10))}"
done
rm -rf "$build/modules" "$build/renders"
mkdir -p "$build/modules"
(cd "$tree" && MIRELANDT_MUSIC_TEST_MODULES="$build/modules" ./tests/music/music_tests >/dev/null 2>&1)
cp "$root/content/music/mirelandt.xm" "$build/modules/show.xm"
# The music fuzzer's seeds use every effect, loop type and envelope kind.
"${CXX:-c++}" -std=c++20 -O1 -I"$root" "$root/fuzz/music/make_seeds.cpp" "$root/music/xm_writer.cpp" -o "$build/music_seeds"
"$build/music_seeds" "$build/modules"
render_modules "$build/renders/original"
echo "$(ls "$build/modules" | wc -l) modules kept for the equivalence check"

total=0 killed=0 identical=0 broken=0
survivors=() identicals=()
for id in "${names[@]}"; do
  what=""
  if ! apply_mutant "$id"; then
    restore
    echo "$id  stale     the mutant does not fit the current sources"
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
      note=" (every render identical)"
      identical=$((identical + 1))
      identicals+=("$id")
    else
      survivors+=("$id")
    fi
  fi
  restore
  printf '%s  %-8s  %s\n' "$id" "$verdict" "$what$note"
done

# The source is back as it was: build it so that the copy's build holds the unmutated player again.
build_all || true
echo "mutants: $total built, $killed killed, $((total - killed)) survived ($identical with identical renders)," \
  "$broken not applicable"
if [ "$total" -gt 0 ]; then
  echo "kill rate: $((100 * killed / total)) % of all built mutants"
  [ "$total" -gt "$identical" ] &&
    echo "kill rate without those with identical renders: $((100 * killed / (total - identical))) %"
fi
[ ${#survivors[@]} -eq 0 ] || echo "survivors: ${survivors[*]}"
[ ${#identicals[@]} -eq 0 ] || echo "identical renders: ${identicals[*]}"
