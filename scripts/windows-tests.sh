#!/usr/bin/env bash
# CI for the Windows build: cross-builds the programs and tests with mingw-w64 (preset "windows"), checks
# that the programs import only Windows' own DLLs (Direct3D 11's only where it renders), and runs under wine
# the unit tests, the GPU tests once on Direct3D 11 and once on Vulkan (lavapipe), the wave device's clock
# against a PulseAudio null sink, the intro and its start-up dialog end to end on a small X screen (on both
# renderers), holds stills of mirelandt-capture.exe on both renderers against the Linux build's and the music
# of mirelandt-music.exe on each mixing tier against the Linux build's WAV, and packs the zip. It starts its
# own X server, sound server and wineserver (prefix under build-windows/) and stops them all when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
bash scripts/install-deps.sh windows

build=build-windows
echo "== Windows cross build"
cmake --preset windows
build_started=$(date +%s)
cmake --build --preset windows -j "$(nproc)"
echo "Windows build: $(($(date +%s) - build_started)) s"

echo "== the programs import only Windows' own DLLs"
programs=(app/mirelandt.exe tools/capture/mirelandt-capture.exe tools/music/mirelandt-music.exe
  tools/tracks/mirelandt-tracks.exe tools/pages/mirelandt-pages.exe)
# The two programs that render may import Direct3D 11 and DXGI; the other tools draw nothing on a GPU.
renderers=" app/mirelandt.exe tools/capture/mirelandt-capture.exe "
for program in "${programs[@]}"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$build/$program" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
  echo "$program: $(echo $dlls)"
  for dll in $dlls; do
    case $dll in
    kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll | advapi32.dll | shell32.dll | ole32.dll | \
      api-ms-win-*.dll) ;;
    d3d11.dll | dxgi.dll)
      [[ $renderers == *" $program "* ]] || { echo "FAIL: $program imports $dll, but it renders nothing" && exit 1; } ;;
    *) echo "FAIL: $program imports $dll, which Windows does not bring" && exit 1 ;;
    esac
  done
done

# A private X server, sound server and wine prefix; all of them go when the script ends, however it ends.
# winedbg is off: a program that faults ends at once with an error instead of waiting in the debugger.
runtime=$(mktemp -d)
xvfb= pulse=
export WINEPREFIX=$PWD/$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" MIRELANDT_NO_DIALOG=1
# Each step names the renderer it runs on; none is taken from the caller's environment.
unset MIRELANDT_GPU MIRELANDT_GPU_INFO MIRELANDT_VULKAN_INFO
export XDG_RUNTIME_DIR=$runtime PULSE_RUNTIME_PATH=$runtime/pulse PULSE_STATE_PATH=$runtime/pulse-state
export PULSE_SERVER=unix:$runtime/pulse/native
wine=$(command -v /usr/lib/wine/wine64 wine64 wine | sed -n 1p)
cleanup() {
  wineserver -k 2>/dev/null && wineserver -w 2>/dev/null
  [[ -n $pulse ]] && kill "$pulse" 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

source scripts/xvfb.sh
startXvfb 320x180
export DISPLAY=$display
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
  -L "module-null-sink sink_name=nullsink" -L "module-native-protocol-unix" >"$runtime/pulse.log" 2>&1 &
pulse=$!
for _ in $(seq 100); do [[ -S $runtime/pulse/native ]] && break; sleep 0.1; done
[[ -S $runtime/pulse/native ]] || { cat "$runtime/pulse.log"; echo "FAIL: PulseAudio did not start"; exit 1; }

echo "== wine prefix"
prefix_started=$(date +%s)
# The wineserver is kept running until the end, so that each test program does not wait for a new one.
mkdir -p "$WINEPREFIX"
wineserver -p
"$wine" wineboot -i >/dev/null 2>&1
echo "wine prefix ready: $(($(date +%s) - prefix_started)) s"

status=0
# Runs ctest under wine with the arguments given, its log kept; prints the summary and the skipped tests.
ctest_counts() { # $1: what runs, then ctest's arguments
  local what=$1 log=$runtime/ctest.log
  shift
  ctest --preset windows -j "$(nproc)" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  echo "$what: $(grep -E 'tests passed' "$log"), $(grep -c '(Skipped)' "$log") skipped"
  return "$rc"
}

# The end-to-end runs of mirelandt.exe choose their renderers themselves, after the GPU suites.
wine_runs='^shell_(intro_end_to_end|start_dialog)$'
ctest_counts "unit tests under wine" -L '^unit$' || status=1
# The backend-independent suites on each renderer; every fixture's device must be the renderer named. The
# Vulkan 1.2 path's repeats are Vulkan's own. Wine runs Direct3D 11 on OpenGL by default and on Vulkan when
# asked; on Vulkan its adapter is lavapipe, the driver the golden stills were made on, so they are held there.
for run in "d3d11 gl" "d3d11 vulkan" "vulkan gl"; do
  read -r renderer wined3d <<<"$run"
  what="GPU tests on $renderer"
  [[ $renderer == d3d11 ]] && what+=" (wine's $wined3d renderer)"
  echo "== $what"
  exclude=$wine_runs
  [[ $renderer == vulkan ]] || exclude="$wine_runs|_vulkan12\$"
  WINE_D3D_CONFIG=renderer=$wined3d MIRELANDT_GPU=$renderer ctest_counts "$what" -L '^gpu$' -E "$exclude" ||
    status=1
done
ctest_counts "the wave device under wine" -L '^audio$' || status=1
echo "== mirelandt.exe end to end under wine, on the default renderer and with --gpu vulkan"
ctest_counts "end-to-end runs under wine" -R "$wine_runs" || status=1

echo "== stills of mirelandt-capture.exe against the Linux build's"
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target mirelandt-capture compare_stills
still=$runtime/stills
mkdir -p "$still"
# A still of the Windows build on a renderer (Direct3D 11 by default), held against Linux's at that moment;
# the information line must name the renderer asked for.
compare_still() { # $1: seconds, $2: the renderer, then the renderer's options
  local at=$1 renderer=$2 linux=$still/linux-$1.png windows=$still/windows-$1-$2.png
  shift 2
  [[ -f $linux ]] || build/tools/capture/mirelandt-capture --at "$at" --size 160x90 --out "$linux" 2>/dev/null
  MIRELANDT_GPU_INFO=1 "$wine" "$build/tools/capture/mirelandt-capture.exe" "$@" --at "$at" --size 160x90 \
    --out "$windows" 2>"$still/log" || { echo "FAIL: the still at $at s on $renderer: $(cat "$still/log")"; return 1; }
  grep -q "^$renderer: " "$still/log" ||
    { echo "FAIL: the still at $at s ran on another renderer than $renderer: $(cat "$still/log")"; return 1; }
  local figures rc=0
  figures=$(build/tests/show/golden/compare_stills "$linux" "$windows") || rc=$?
  echo "$at s on $renderer: $figures"
  return "$rc"
}
# Direct3D 11 on wine's Vulkan renderer runs on lavapipe like the Linux build, so the stills must agree. On
# its OpenGL renderer wine translates the programs to GLSL, which rounds differently, and the cylinder's many
# small glyph quads cover other pixels; those figures are shown, not held.
for at in 5 24 30 40 52; do
  WINE_D3D_CONFIG=renderer=vulkan compare_still "$at" d3d11 || status=1
done
echo "-- the same on wine's OpenGL renderer (not held):"
for at in 5 24 30 40 52; do
  WINE_D3D_CONFIG=renderer=gl compare_still "$at" d3d11 || true
done
compare_still 30 vulkan --gpu vulkan || status=1

echo "== the music of mirelandt-music.exe against the Linux build's, on each mixing tier"
cmake --build --preset default -j "$(nproc)" --target mirelandt-music
build/tools/music/mirelandt-music render "$still/linux.wav" 2>/dev/null
echo "the Windows build mixes with: $("$wine" "$build/tools/music/mirelandt-music.exe" info | sed -n 's/^mixer: //p')"
for tier in scalar avx2 avx512; do
  MIRELANDT_MIX_TIER=$tier "$wine" "$build/tools/music/mirelandt-music.exe" render "$still/windows.wav" 2>/dev/null
  if cmp "$still/linux.wav" "$still/windows.wav"; then
    echo "$tier: the same bytes as Linux's ($(stat -c %s "$still/windows.wav") bytes)"
  else
    echo "FAIL: mirelandt-music.exe on the $tier tier differs from Linux's WAV"
    status=1
  fi
done

echo "== the Windows package, its stills rendered by the Linux build's mirelandt-capture"
cmake --preset windows -DMIRELANDT_HOST_CAPTURE="$PWD/build/tools/capture/mirelandt-capture" >/dev/null
rm -f "$build"/mirelandt-*-windows-x64.zip
(cd "$build" && cpack -G ZIP >/dev/null) || status=1
expected="LICENSE LICENSE-Terminus.txt README.md file_id.diz mirelandt-capture.exe mirelandt-music.exe \
mirelandt-pages.exe mirelandt-thumb.png mirelandt-tracks.exe mirelandt.exe mirelandt.png mirelandt.txt"
for zip in "$build"/mirelandt-*-windows-x64.zip; do
  files=$(unzip -Z1 "$zip" | sed 's|^[^/]*/||' | LC_ALL=C sort | tr '\n' ' ')
  echo "$zip: $(stat -c %s "$zip") bytes; $files"
  [[ ${files% } == "$expected" ]] || { echo "FAIL: the zip should hold exactly: $expected"; status=1; }
done

echo "scripts/windows-tests.sh: $(($(date +%s) - started)) s in all"
exit $status
