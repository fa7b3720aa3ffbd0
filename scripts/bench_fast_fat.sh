#!/usr/bin/env bash
# Quick FAT scan at scale, side by side with The Sleuth Kit.
#
# Builds once, in /tmp, a 1 GiB FAT32 image (mkfs.fat + mtools) holding
# 100,000 files in 2,000 folders and deletes every third file, then measures
# wall time and peak memory (/usr/bin/time -v) of:
#   - brinvale's quick scan (bench/fast_fat_bench, release build),
#   - fls -rd (the listing of deleted entries),
#   - tsk_recover (recovery of the deleted files),
# and prints the number of deleted files each one finds.
#
# Usage: scripts/bench_fast_fat.sh [image path]   (default /tmp/brinvale_bench_fat32.img)
# BENCH_IMAGE_ONLY=1 only makes the image.
# Needs: dosfstools mtools sleuthkit time python3, and the release preset
# (whose configure step needs the desktop packages of scripts/lib.sh).
# Not run in CI: making the image takes minutes.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
image=${1:-/tmp/brinvale_bench_fat32.img}
work=$(mktemp -d /tmp/brinvale_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC

folders=2000
per_folder=50

if [[ ! -f $image ]]; then
  echo "making $image (once)..." >&2
  tree=$work/tree
  python3 - "$tree" "$folders" "$per_folder" <<'PY'
import os, random, sys
root, folders, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(2026)
for d in range(folders):
    path = os.path.join(root, f"DIR{d:04d}")
    os.makedirs(path)
    for f in range(per):
        with open(os.path.join(path, f"F{f:03d}.BIN"), "wb") as out:
            out.write(rng.randbytes(rng.randint(512, 10000)))
PY
  rm -f "$image.tmp"
  mkfs.fat -C -F 32 -i 0BE4C400 -n BENCH "$image.tmp" 1048576 >/dev/null
  mcopy -s -i "$image.tmp" "$tree"/* ::/
  # Every third file of every folder is deleted, in one mdel per 40 folders.
  args=()
  for ((d = 0; d < folders; d++)); do
    for ((f = 0; f < per_folder; f += 3)); do
      args+=("$(printf '::/DIR%04d/F%03d.BIN' "$d" "$f")")
    done
    if (( (d + 1) % 40 == 0 )); then
      mdel -i "$image.tmp" "${args[@]}"
      args=()
    fi
  done
  ((${#args[@]})) && mdel -i "$image.tmp" "${args[@]}"
  mv "$image.tmp" "$image"
fi
deleted_expected=$(( folders * ((per_folder + 2) / 3) ))
[[ ${BENCH_IMAGE_ONLY:-0} == 1 ]] && exit 0

cmake --preset release >/dev/null
cmake --build --preset release -j2 --target fast_fat_bench >/dev/null
bench=$here/build/release/bench/fast_fat_bench

measure() {  # measure NAME COMMAND...: prints "seconds peak-KiB" from time -v
  /usr/bin/time -v "$@" >"$work/out" 2>"$work/time" || true
  local wall peak
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
  echo "$wall $peak"
}

read -r b_wall b_peak < <(BRINVALE_FAST_FAT_IMAGE=$image measure "$bench" \
  --benchmark_format=json)
b_found=$(python3 -c 'import json,sys; print(int(json.load(open(sys.argv[1]))["benchmarks"][0]["deleted_files"]))' \
  "$work/out" 2>/dev/null || echo "?")

read -r f_wall f_peak < <(measure fls -rd -f fat32 "$image")
f_found=$(grep -cE '^(\+* )?r/r \* ' "$work/out" || true)

mkdir -p "$work/recovered"
read -r t_wall t_peak < <(measure tsk_recover -f fat32 "$image" "$work/recovered")
t_found=$(find "$work/recovered" -type f | wc -l)

printf '\nimage: %s (%d folders x %d files, %d deleted)\n\n' "$image" "$folders" "$per_folder" \
  "$deleted_expected"
printf '| %-28s | %-10s | %-14s | %-14s |\n' "tool" "wall" "peak RSS (KiB)" "deleted files"
printf '|%s|%s|%s|%s|\n' "------------------------------" "------------" "----------------" "----------------"
printf '| %-28s | %-10s | %-14s | %-14s |\n' "brinvale quick scan" "$b_wall" "$b_peak" "$b_found"
printf '| %-28s | %-10s | %-14s | %-14s |\n' "fls -rd" "$f_wall" "$f_peak" "$f_found"
printf '| %-28s | %-10s | %-14s | %-14s |\n' "tsk_recover (deleted)" "$t_wall" "$t_peak" "$t_found"
