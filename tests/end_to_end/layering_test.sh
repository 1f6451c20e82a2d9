#!/usr/bin/env bash
# Runs scripts/check-layers.sh on a copy of the product folders: the clean copy passes; each include planted
# against a floor (upwards, between folders of one floor, a bare name, an outside
# folder) fails with exit 1 and exactly one problem line naming the file, the include and the rule; the
# director's use of the shader packer and includes downwards pass. A made-up build tree with one of our
# folders on a compile command's include path and a generated source with a bare include fails with both.
#   layering_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "${1:?usage: layering_test.sh SOURCE_DIR}" && pwd)
check=$src/scripts/check-layers.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
copy=$tmp/src
mkdir "$copy"
for folder in base platform sync music shaders gfx content show app tools generators; do
  cp -R "$src/$folder" "$copy/"
done
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

# Runs the check with ARGS... and expects exit code CODE; its output goes to $out.
expectExit() {
  local code=$1 rc
  shift
  out=$(bash "$check" "$@" 2>&1)
  rc=$?
  ((rc == code)) || fail "check-layers.sh $* exited $rc, not $code:"$'\n'"$out"
  return $((rc != code))
}

expectExit 0 "$copy" && echo "clean copy: $out"
expectExit 2
expectExit 2 "$tmp/missing"

# Adds `#include INCLUDE` to FILE of the copy, expects the check to fail with one problem that names both and
# matches RULE (or to pass where RULE is empty), then restores FILE.
plant() {
  local file=$1 include=$2 rule=$3 line
  echo "#include $include" >>"$copy/$file"
  if [ -z "$rule" ]; then
    expectExit 0 "$copy" || true
  elif expectExit 1 "$copy"; then
    line=$(grep -F "$file: #include \"${include:1:-1}\": " <<<"$out")
    if [[ $(grep -c '' <<<"$line") != 1 || ! $line =~ $rule || $out != *"layering: 1 problem(s)"* ]]; then
      fail "planting $include in $file: expected one problem matching '$rule', got:"$'\n'"$out"
    else
      echo "planted: $line"
    fi
  fi
  cp "$src/$file" "$copy/$file"
}

plant show/show_frame.h '"app/display.h"' "app/ is on a higher floor than show/"
plant show/main_loop.cpp '"tools/capture/capture_options.h"' "tools/ is on a higher floor than show/"
plant gfx/scene.cpp '"content/build_scene.h"' "content/ is on a higher floor than gfx/"
plant base/matrix.cpp '"platform/gpu.h"' "platform/ is on a higher floor than base/"
plant gfx/pass.h '<app/display.h>' "app/ is on a higher floor than gfx/"
plant content/sections.cpp '"scene.h"' "bare include"
plant show/camera.cpp '"tests/gfx/scene_fixture.h"' "names no product folder"
plant music/mixer.cpp '"sync/track_set.h"' "music/ and sync/ stand on one floor"
plant shaders/shader_program.h '"music/mixer.h"' "shaders/ and music/ stand on one floor"
plant tools/pages/main.cpp '"app/intro_options.h"' "tools/ and app/ stand on one floor"
plant generators/composer/main.cpp '"tools/capture/capture_options.h"' "generators/ and tools/ stand on one floor"
plant tools/output_files/safe_file.cpp '"show/show_frame.h"' "show/ is on a higher floor than tools/output_files/"
plant music/mixer.cpp '"tools/output_files/safe_file.h"' "music/ and tools/output_files/ stand on one floor"
plant app/director/director.cpp '"shaders/pack/shader_pack.h"' ""
plant generators/composer/main.cpp '"tools/output_files/safe_file.h"' ""
plant show/show_frame.cpp '"content/build_scene.h"' ""
plant tools/pages/main.cpp '"show/show_frame.h"' ""

# A build tree: the roots on the include path pass; gfx/ there, and a generated source with a bare include,
# fail.
build=$tmp/build
mkdir -p "$build/content"
echo '#include "assets.h"' >"$build/content/generated_table.cpp"
# One entry as CMake writes it: FOLDER under the build tree, extra FLAGS, FILE.
entry() {
  printf '{\n  "directory": "%s",\n  "command": "c++ -I%s -I%s %s -c %s",\n  "file": "%s"\n},\n' \
    "$build/$1" "$copy" "$build" "$2" "$3" "$3"
}
{
  echo "["
  entry gfx "-isystem /usr/include/SDL2" "$copy/gfx/scene.cpp"
  echo "]"
} >"$build/compile_commands.json"
expectExit 0 "$copy" "$build" && echo "clean build tree: $out"
{
  echo "["
  entry gfx "-I $copy/gfx/" "$copy/gfx/scene.cpp"
  entry content "" "$build/content/generated_table.cpp"
  echo "]"
} >"$build/compile_commands.json"
if expectExit 1 "$copy" "$build"; then
  grep -q "^include path: $copy/gfx in 1 compile command" <<<"$out" &&
    grep -q "^$build/content/generated_table.cpp: #include \"assets.h\": bare include" <<<"$out" &&
    [[ $out == *"layering: 2 problem(s)"* ]] || fail "the made-up build tree's two problems were not reported:"$'\n'"$out"
  echo "planted build tree:"$'\n'"$out"
fi

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "layering check: all planted includes caught"
