#!/usr/bin/env bash
# Makes the committed DXBC programs (the show's in shaders/dxbc/, the test programs' in
# tests/platform/shaders/dxbc/ and tests/gfx/shaders/dxbc/, each folder's *.dxbc and manifest.txt) again
# with the pinned vkd3d HLSL compiler, fetched from Debian's unstable suite and unpacked into a build folder;
# the system's packages, sources and apt state are never touched. The compiler needs a newer C library than
# Debian 12's, so it runs through the unpacked suite's own loader.
#   scripts/make-dxbc.sh [--compare] [FOLDER]   (FOLDER: where the compiler lives, default build/dxbc)
# Without --compare it writes the dxbc/ folders and prints what changed. With --compare it writes nothing
# and fails when a blob or a manifest differs from the committed one; where the pinned compiler cannot be
# had, it says so in one line and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."
compare=0
if [[ ${1:-} == --compare ]]; then compare=1; shift; fi
folder=$(realpath -m "${1:-build/dxbc}")

# The pinned compiler: package, version, SHA-256 of the .deb. Moving to another version is a deliberate
# change of these lines and of the manifest.
compiler_version=2.1+ds-1
pins=(
  "vkd3d-compiler $compiler_version be68e5acace335a6da4f7f95bd89381e0f1926901899f8e14be95f3b29406f1e"
  "libvkd3d-shader1 $compiler_version af2260d53778c2e86c104d8d31d5c20feaa34c795ddc28ff1467cc6d0d0041f3"
  "libc6 2.43-7 5c71715c51103beb4fbba9fe9f8dff604af6610dfa71c70bff342f54a7860803"
  "libtinfo6 6.6+20260608-2 14682d1f6e35df22df0fe1eb2c09418aff0e29e2ea5a7bc0aa1bcd37192ba5a7"
)

# Where the compiler cannot be had: a comparison goes on, making the blobs stops.
unavailable() {
  if ((compare)); then
    echo "make-dxbc: DXBC comparison skipped: $1"
    exit 0
  fi
  echo "make-dxbc: $1" >&2
  exit 1
}

# A private apt: its own sources list, lists and cache under the folder; the archive's address comes from
# this machine's own Debian sources.
mirror=$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' | grep -v security | head -n1 || true)
if [[ -z $mirror ]]; then
  mirror=$(grep -hs '^deb ' /etc/apt/sources.list | awk '{print $2}' | grep -v security | head -n1 || true)
fi
[[ -n $mirror ]] || unavailable "no Debian archive address in this machine's apt sources"
apt_dir="$folder/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d" "$folder/debs"
echo "deb $mirror unstable main" >"$apt_dir/sources.list"
: >"$apt_dir/status"
apt_options=(-o "Dir::Etc::sourcelist=$apt_dir/sources.list" -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Dir::State::status=$apt_dir/status"
  -o Debug::NoLocking=1 -o APT::Sandbox::User=root -q)

root="$folder/root"
if [[ ! -x $root/usr/bin/vkd3d-compiler ]] || ! grep -qx "$compiler_version" "$folder/version" 2>/dev/null; then
  apt-get "${apt_options[@]}" update >"$folder/apt.log" 2>&1 || unavailable "the unstable suite cannot be read (see $folder/apt.log)"
  rm -rf "$root" "$folder/debs" && mkdir -p "$root" "$folder/debs"
  for pin in "${pins[@]}"; do
    read -r package version sha <<<"$pin"
    offered=$(apt-cache "${apt_options[@]}" show "$package" 2>/dev/null | awk '/^Version:/ {print $2}' | tr '\n' ' ')
    if ! grep -qw -- "$version" <<<"$offered"; then
      unavailable "the unstable suite no longer serves $package $version (it has ${offered:-none})"
    fi
    (cd "$folder/debs" && apt-get "${apt_options[@]}" download "$package=$version" >>"$folder/apt.log" 2>&1) ||
      unavailable "could not download $package $version (see $folder/apt.log)"
    deb=$(ls "$folder/debs/${package}_"*.deb)
    actual=$(sha256sum "$deb" | cut -d' ' -f1)
    [[ $actual == "$sha" ]] || { echo "make-dxbc: $deb has SHA-256 $actual, not the pinned $sha" >&2; exit 1; }
    dpkg-deb -x "$deb" "$root"
  done
  echo "$compiler_version" >"$folder/version"
fi
compiler=("$root/usr/lib64/ld-linux-x86-64.so.2" --library-path "$root/usr/lib/x86_64-linux-gnu"
  "$root/usr/bin/vkd3d-compiler")
"${compiler[@]}" --version | grep -q "Debian $compiler_version" || unavailable "the unpacked compiler does not run here"

# Each program folder, and where the build leaves its SPIR-V (for the sizes printed beside the DXBC ones).
program_folders=(
  "shaders shaders/mirelandt_shaders"
  "tests/platform/shaders tests/platform/gpu_test_shaders"
  "tests/gfx/shaders tests/gfx/gfx_test_shaders"
)
printf '%s\n' "${pins[@]}" >"$folder/packages.txt"

# Compile every program of a folder in a work folder that holds all the folder's sources, since the compiler
# reads includes from its working folder.
changed=()
for entry in "${program_folders[@]}"; do
  read -r programs spirv_dir <<<"$entry"
  work="$folder/work/$programs"
  rm -rf "$work"
  cmake -DMODE=plan "-DWORK_DIR=$work" "-DFOLDER=$programs" -P shaders/cmake/dxbc_manifest.cmake
  echo "$programs:"
  printf '%-24s %-8s %10s %10s %8s\n' program stage SPIR-V DXBC seconds
  while read -r program arguments; do
    start=$(date +%s.%N)
    # shellcheck disable=SC2086 # the plan's arguments are words
    (cd "$work" && "${compiler[@]}" $arguments) || { echo "make-dxbc: $programs/$program did not compile" >&2; exit 1; }
    seconds=$(echo "$(date +%s.%N) - $start" | bc)
    spirv=$(stat -c %s "build/$spirv_dir/$program.spv" 2>/dev/null || echo -)
    printf '%-24s %-8s %10s %10s %8.2f\n' "$program" "${program##*_}" "$spirv" "$(stat -c %s "$work/$program.dxbc")" "$seconds"
  done <"$work/plan.txt"
  cmake -DMODE=write "-DWORK_DIR=$work" "-DFOLDER=$programs" "-DCOMPILER=$compiler_version" \
    "-DPACKAGES=$folder/packages.txt" -P shaders/cmake/dxbc_manifest.cmake

  for made in "$work"/*.dxbc "$work/manifest.txt"; do
    name=$(basename "$made")
    cmp -s "$made" "$programs/dxbc/$name" || changed+=("$programs/dxbc/$name")
  done
  for committed in "$programs"/dxbc/*.dxbc; do
    [[ -e $committed && ! -e $work/$(basename "$committed") ]] && changed+=("$committed (no source)")
  done
done
if ((compare)); then
  if ((${#changed[@]})); then
    echo "make-dxbc: the committed DXBC programs differ from the compiler's: ${changed[*]}" >&2
    exit 1
  fi
  echo "make-dxbc: all committed DXBC programs match the pinned compiler byte for byte"
  exit 0
fi
for entry in "${program_folders[@]}"; do
  read -r programs _ <<<"$entry"
  mkdir -p "$programs/dxbc"
  rm -f "$programs"/dxbc/*.dxbc
  cp "$folder/work/$programs"/*.dxbc "$folder/work/$programs/manifest.txt" "$programs/dxbc/"
done
if ((${#changed[@]})); then echo "make-dxbc: changed: ${changed[*]}"; else echo "make-dxbc: nothing changed"; fi
