#!/usr/bin/env bash
# Runs the Linux archive as a stranger's machine would: unpacked in a minimal Debian 12 root
# (debootstrap --variant=minbase, plus only libvulkan1 and mesa-vulkan-drivers), where it asks for the
# version, the music's summary and a still, and lists the libraries the intro needs. It downloads the
# root, so it runs by hand (as root), not in CI.
#   scripts/minimal-root-check.sh build/mirelandt-<version>-linux-x64.tar.gz [ROOT]
# A ROOT made by an earlier run is used again as it is.
set -euo pipefail
[[ $# -ge 1 && -f $1 ]] || { echo "usage: $0 ARCHIVE.tar.gz [ROOT]" >&2; exit 2; }
archive=$(realpath "$1")
root=${2:-/tmp/mirelandt-minimal-root}
if [[ ! -x $root/usr/bin/apt-get ]]; then
  command -v debootstrap >/dev/null || apt-get install -y -q debootstrap
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
  chroot "$root" apt-get install -y -q --no-install-recommends libvulkan1 mesa-vulkan-drivers
fi
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
rm -rf "$root/opt/mirelandt" && mkdir -p "$root/opt/mirelandt"
tar xzf "$archive" -C "$root/opt/mirelandt" --strip-components=1
echo "== $(basename "$archive"): $(stat -c %s "$archive") bytes"
tar tzf "$archive"
run() {
  echo "\$ $*"
  chroot "$root" "$@"
}
status=0
run /opt/mirelandt/bin/mirelandt --version || status=1
run /opt/mirelandt/bin/mirelandt-music info || status=1
run /opt/mirelandt/bin/mirelandt-capture --size 320x180 --at 30 --out /tmp/still.png || status=1
libraries=$(run ldd /opt/mirelandt/bin/mirelandt) || status=1
echo "$libraries"
grep -q "not found" <<<"$libraries" && status=1
echo "== the newest glibc symbol version the programs need"
objdump -T "$root"/opt/mirelandt/bin/* | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -1
exit $status
