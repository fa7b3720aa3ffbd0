#!/usr/bin/env bash
# What the verdicts cost a quick scan's listing: `brinvale-cli scan IMAGE
# --list` checks every listed file whose extension has a walker over the
# bytes recovery would read. Two NTFS images (mkntfs, filled through an
# ntfs-3g mount) hold the same FILES deleted files (JPEG and PNG from
# ImageMagick, ZIP from zip; 10 KiB to about 1 MiB): in one they keep their
# names, in the other they are named ".bin", which no walker reads. The
# difference of the two listings' wall times is the check's cost.
#
#   bench/found_verdict_bench.sh [WORK]      (default /tmp/fsverdictbench)
#
# Settings (environment): FILES (2000), SIZE_MIB (1024), CLI (the asan
# build's brinvale-cli). Run as root (FUSE). Needs: ntfs-3g imagemagick zip
# python3.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
work=$(mkdir -p "${1:-/tmp/fsverdictbench}" && cd "${1:-/tmp/fsverdictbench}" && pwd)
files=${FILES:-2000}
size_mib=${SIZE_MIB:-1024}
cli=${CLI:-$root/build/asan/src/brinvale-cli}
im=$(command -v convert-im6.q16 || command -v convert)
py=$(command -v /usr/bin/python3 || command -v python3)
[ -x "$cli" ] || { echo "no brinvale-cli at $cli (set CLI)" >&2; exit 2; }
mnt=$work/mnt
mkdir -p "$mnt" "$work/src"
cleanup() { if mountpoint -q "$mnt" 2>/dev/null; then umount -l "$mnt" || true; fi; }
trap cleanup EXIT

# A few real files of each kind, of several sizes.
for s in 1 2 3 4; do
  "$im" -seed "$s" -size $((s * 300))x$((s * 200)) plasma:fractal -strip -quality 92 \
    "$work/src/p$s.jpg"
  "$im" -seed "$((s + 10))" -size $((s * 120))x$((s * 90)) plasma:fractal -strip "$work/src/p$s.png"
done
printf 'bench line %s\n' $(seq 1 20000) >"$work/src/notes.txt"
(cd "$work/src" && zip -q -X notes.zip notes.txt p1.jpg)

make_image() {  # make_image IMAGE RENAME(0|1)
  rm -f "$1"
  truncate -s "${size_mib}M" "$1"
  mkntfs -F -q -Q -c 4096 "$1" >/dev/null 2>&1
  ntfs-3g -o no_detach "$1" "$mnt" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 50); do mountpoint -q "$mnt" && break; sleep 0.1; done
  "$py" - "$work/src" "$mnt" "$files" "$2" <<'PY'
import os, shutil, sys
src, mnt, count, rename = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == "1"
kinds = sorted(os.listdir(src))
kinds = [k for k in kinds if not k.endswith(".txt")]
for i in range(count):
    k = kinds[i % len(kinds)]
    d = os.path.join(mnt, "d%02d" % (i % 40))
    os.makedirs(d, exist_ok=True)
    name = "f%05d%s" % (i, ".bin" if rename else os.path.splitext(k)[1])
    shutil.copyfile(os.path.join(src, k), os.path.join(d, name))
PY
  sync
  rm -rf "$mnt"/d*
  sync
  umount "$mnt"
  wait "$pid"
}

make_image "$work/named.img" 0
make_image "$work/bin.img" 1
echo "files: $files deleted, $(du -sh "$work/src" | cut -f1) of sources, sizes:"
ls -l "$work/src" | awk 'NR > 1 {print "  " $5, $9}'
for image in bin named; do
  rm -rf "$work/appdata"
  start=$(date +%s.%N)
  XDG_DATA_HOME=$work/appdata "$cli" scan "$work/$image.img" --list >"$work/$image.list"
  end=$(date +%s.%N)
  printf '%s.img: --list %.2f s, %s lines, %s complete, %s damaged\n' "$image" \
    "$(echo "$end - $start" | bc)" "$(wc -l <"$work/$image.list")" \
    "$(grep -c '\[complete' "$work/$image.list" || true)" \
    "$(grep -c '\[damaged' "$work/$image.list" || true)"
done
