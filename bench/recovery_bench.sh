#!/bin/bash
# Recovery of many small deleted files, brinvale-cli against tsk_recover
# (The Sleuth Kit), on the same page-cached image, into folders on one
# file system.
#
#   bench/recovery_bench.sh [BUILD_DIR]
#
# BUILD_DIR holds src/brinvale-cli (default build/release). Environment:
#   IMAGE=...    the NTFS image (default: made by make_fast_ntfs_bench_image.sh
#                into /tmp/ntfsbench; 100,000 files, a third deleted)
#   FAT_IMAGE=.. a FAT32 image to measure too (make_fat_bench_image.sh);
#                "make" makes one into /tmp/fatbench
#   OUT=...      where the recovered trees go (default /tmp/recovery_bench.out;
#                its file system is the one measured)
#   ROUNDS=N     measured runs of each program (default 3), taken in turn
#   FRESH_FS=DIR (as root) every run writes into an empty ext4 of its own,
#                without a journal, made in a sparse file in DIR (a tmpfs
#                such as /dev/shm keeps the disk out of it) and mounted as
#                its target folder
#
# Each run writes into a folder of its own, and all of them are removed only
# at the end: on ext4 without a journal, files created just after many were
# deleted cost far more (the allocator skips recently deleted inodes), which
# would make whichever program runs after a removal look slow. Creating files
# also costs more as the file system fills: on one file system the later
# runs of a round pay for the trees of the earlier ones (twice the time for
# the floor by the third round). FRESH_FS gives every run the same empty
# file system. The trees of the first round are kept for the check at the
# end; every later run's file system is removed right after the run, so that
# the memory they take does not grow from round to round either.
#
# As a floor, a minimal C program writes the same files again (the names and
# sizes of tsk_recover's first tree, bytes from memory: open, write,
# futimens, close) -- what creating that many files costs on the target
# file system whatever the program. The second floor runs two of them at
# once over halves of the top-level folders: what the file system allows
# when both cores create files.
#
# Prints per run: wall seconds, user+system CPU seconds, peak memory (KiB),
# files written; then the median of each program and the check of
# brinvale's files against tsk_recover's (and against the image's list of
# deleted files when it came with one): same names, same bytes.
# Needs: sleuthkit (tsk_recover), /usr/bin/time, python3.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
cli="$build/src/brinvale-cli"
rounds="${ROUNDS:-3}"
out="${OUT:-/tmp/recovery_bench.out}"
[ -x "$cli" ] || { echo "no $cli: build the release preset first" >&2; exit 2; }
command -v tsk_recover > /dev/null || { echo "tsk_recover missing (apt-get install sleuthkit)" >&2; exit 2; }

image="${IMAGE:-}"
if [ -z "$image" ]; then
  image=/tmp/ntfsbench/bench.img
  [ -f "$image" ] || bash "$here/make_fast_ntfs_bench_image.sh" /tmp/ntfsbench
fi
fat="${FAT_IMAGE:-}"
if [ "$fat" = make ]; then
  fat=/tmp/fatbench/bench.img
  [ -f "$fat" ] || bash "$here/make_fat_bench_image.sh" /tmp/fatbench
fi

rm -rf "$out"
mkdir -p "$out"
floor="$out/write_floor"
cat > "$floor.c" <<'C'
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
/* Reads "path<TAB>size" lines; writes each file below argv[1]. */
int main(int argc, char** argv) {
  static char data[1 << 20], line[8192], path[16384], made[16384];
  memset(data, 0x5a, sizeof data);
  made[0] = 0;
  while (fgets(line, sizeof line, stdin)) {
    char* tab = strrchr(line, '\t');
    if (!tab) continue;
    *tab = 0;
    long size = atol(tab + 1);
    snprintf(path, sizeof path, "%s/%s", argv[1], line);
    char* slash = strrchr(path, '/');
    *slash = 0;
    if (strcmp(path, made) != 0) {
      for (char* p = path + 1; *p; ++p)
        if (*p == '/') { *p = 0; mkdir(path, 0755); *p = '/'; }
      mkdir(path, 0755);
      strcpy(made, path);
    }
    *slash = '/';
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) { perror(path); return 1; }
    for (long done = 0; done < size;) {
      long n = size - done > (long)sizeof data ? (long)sizeof data : size - done;
      if (write(fd, data, n) != n) { perror(path); return 1; }
      done += n;
    }
    struct timespec t[2] = {{1262347200, 0}, {1262347200, 0}};
    futimens(fd, t);
    close(fd);
  }
  return 0;
}
C
cc -O2 -o "$floor" "$floor.c"
export XDG_DATA_HOME="$out/appdata"  # brinvale's scan logs stay in here
results="$out/results.txt"
: > "$results"

fresh="${FRESH_FS:-}"
fresh_runs=0
mounted=()
declare -A fs_image  # mounted target -> its file system's file
unmount_all() {
  for m in "${mounted[@]}"; do umount "$m" 2> /dev/null || true; done
  [ -n "$fresh" ] && rm -f "$fresh"/recovery_bench.*.ext4
  return 0
}
drop_target() {
  umount "$1"
  rm -f "${fs_image[$1]}"
  rmdir "$1"
}
trap unmount_all EXIT

# fresh_target FOLDER: an empty ext4 mounted at FOLDER. Its inode tables are
# written now, not by the kernel in the background during the run.
fresh_target() {
  local fsimage="$fresh/recovery_bench.$((++fresh_runs)).ext4"
  rm -f "$fsimage"
  truncate -s 4G "$fsimage"
  mkfs.ext4 -q -F -O ^has_journal -E lazy_itable_init=0,lazy_journal_init=0 "$fsimage"
  mkdir -p "$1"
  mount -o loop "$fsimage" "$1"
  mounted+=("$1")
  fs_image[$1]=$fsimage
  rmdir "$1/lost+found"
}

# run NAME IMAGE TARGET COMMAND...: one measured run; appends
# "name wall cpu rss files" to the results.
run() {
  local name=$1 target=$3
  shift 3
  [ -n "$fresh" ] && [ "$target" != /nonexistent ] && fresh_target "$target"
  local t="$out/time.txt"
  # The runs before left dirty pages behind; writing them back during this
  # run would be charged to it.
  sync
  /usr/bin/time -v "$@" > "$out/last.out" 2> "$t" || true
  local wall cpu rss files
  wall=$(awk -F': ' '/Elapsed/ {n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$t")
  cpu=$(awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "%.2f", u + s}' "$t")
  rss=$(awk -F': ' '/Maximum resident/ {print $2}' "$t")
  files=0
  [ -d "$target" ] && files=$(find "$target" -type f ! -name recovery.csv ! -name recovery.json | wc -l)
  printf '%-22s wall %6.2f s  cpu %6.2f s  rss %7s KiB  files %6s  (load %s)\n' \
    "$name" "$wall" "$cpu" "$rss" "$files" "$(cut -d' ' -f1 /proc/loadavg)"
  echo "$name $wall $cpu $rss $files" >> "$results"
  if [ -n "$fresh" ] && [ "$target" != /nonexistent ] && [[ "$target" != *.1 ]]; then
    drop_target "$target"
  fi
}

# measure LABEL IMAGE: every program ROUNDS times, in turn.
measure() {
  local label=$1 img=$2
  echo "== $label: $img ($(du -h --apparent-size "$img" | cut -f1))"
  for r in $(seq "$rounds"); do
    # Each round starts by reading the whole image: it is measured, and it
    # brings the image into the page cache for the programs after it.
    # Into /dev/null: the runs' output goes to a file on the target, and
    # writing the image there would measure the target, not the read.
    run "$label.cat" "$img" /nonexistent sh -c 'cat "$1" > /dev/null' sh "$img"
    run "$label.tsk_recover" "$img" "$out/$label.tsk.$r" tsk_recover "$img" "$out/$label.tsk.$r"
    run "$label.brinvale.types" "$img" "$out/$label.types.$r" \
      "$cli" scan "$img" --recover-to "$out/$label.types.$r"
    run "$label.brinvale.paths" "$img" "$out/$label.paths.$r" \
      "$cli" scan "$img" --recover-to "$out/$label.paths.$r" --keep-paths
    (cd "$out/$label.tsk.1" && find . -type f -printf '%P\t%s\n') > "$out/$label.sizes"
    run "$label.floor" "$img" "$out/$label.floor.$r" \
      sh -c "\"$floor\" \"$out/$label.floor.$r\" < \"$out/$label.sizes\""
    # The same files by two writers at once, each with its own half of the
    # top-level folders: what creating them costs when both cores create.
    awk -v a="$out/$label.sizes.a" -v b="$out/$label.sizes.b" \
      '{ top = $0; sub(/\/.*/, "", top); if (!(top in half)) half[top] = n++ % 2;
         print > (half[top] ? b : a) }' "$out/$label.sizes"
    run "$label.floor2" "$img" "$out/$label.floor2.$r" \
      sh -c "\"$floor\" \"$out/$label.floor2.$r\" < \"$out/$label.sizes.a\" &
             \"$floor\" \"$out/$label.floor2.$r\" < \"$out/$label.sizes.b\"; wait"
  done
  python3 - "$results" "$label" <<'PY'
import sys, statistics
rows = [l.split() for l in open(sys.argv[1])]
label = sys.argv[2]
names = []
for r in rows:
    if r[0].startswith(label + '.') and r[0] not in names:
        names.append(r[0])
med = {}
for n in names:
    w = [float(r[1]) for r in rows if r[0] == n]
    c = [float(r[2]) for r in rows if r[0] == n]
    med[n] = statistics.median(w)
    print('%-22s wall median %.2f s (%.2f-%.2f)  cpu median %.2f s (%.2f-%.2f)' %
          (n, statistics.median(w), min(w), max(w), statistics.median(c), min(c), max(c)))
tsk = med.get(label + '.tsk_recover')
for mode in ('types', 'paths', 'floor', 'floor2'):
    b = med.get(label + '.brinvale.' + mode, med.get(label + '.' + mode))
    if tsk and b:
        print('tsk_recover / %s (wall medians): %.2fx' % (mode, tsk / b))
PY
  compare "$label" "$img"
}

# compare LABEL IMAGE: brinvale's files of the first round against
# tsk_recover's, by path (--keep-paths) and by name (by type), and against
# the deleted.txt + manifest.txt that came with the image, when present
# (both bench image scripts write them).
compare() {
  local label=$1 img=$2
  python3 - "$out/$label.tsk.1" "$out/$label.types.1" "$out/$label.paths.1" "$(dirname "$img")" "$label" <<'PY'
import hashlib, os, sys
tsk_dir, types_dir, paths_dir, image_dir, label = sys.argv[1:6]

# A deleted FAT entry has lost the first character of its short name:
# brinvale writes "!" for it, tsk_recover "_". FAT names are compared
# without it.
def key(rel):
    if label != 'fat':
        return rel
    d, n = os.path.split(rel)
    return os.path.join(d, n[1:])

def tree(root):
    files = {}
    for d, _, names in os.walk(root):
        for n in names:
            p = os.path.join(d, n)
            rel = os.path.relpath(p, root)
            if rel in ('recovery.csv', 'recovery.json'):
                continue
            files[key(rel)] = hashlib.sha256(open(p, 'rb').read()).hexdigest()
    return files

def report(title, a, b, an, bn):
    same = sum(1 for k in a if k in b and a[k] == b[k])
    differ = sorted(k for k in a if k in b and a[k] != b[k])
    only_a = sorted(k for k in a if k not in b)
    only_b = sorted(k for k in b if k not in a)
    print('%s: %d in both with the same bytes, %d with other bytes, %d only in %s, %d only in %s'
          % (title, same, len(differ), len(only_a), an, len(only_b), bn))
    for what, items in (('other bytes', differ), ('only in ' + an, only_a), ('only in ' + bn, only_b)):
        for k in items[:5]:
            print('   %s: %s' % (what, k))
    return same, differ, only_a, only_b

tsk = tree(tsk_dir)
paths = tree(paths_dir)
types = tree(types_dir)
print('files: tsk_recover %d, brinvale --keep-paths %d, brinvale by type %d'
      % (len(tsk), len(paths), len(types)))
report('--keep-paths vs tsk_recover (by path)', paths, tsk, 'brinvale', 'tsk_recover')
by_name = {}
for rel, h in types.items():
    by_name.setdefault(os.path.basename(rel), set()).add(h)
tsk_by_name = {}
for rel, h in tsk.items():
    tsk_by_name.setdefault(os.path.basename(rel), set()).add(h)
same = sum(1 for n in tsk_by_name if by_name.get(n) == tsk_by_name[n])
print('by type vs tsk_recover (by name): %d names with the same bytes of %d names in tsk_recover, %d in brinvale'
      % (same, len(tsk_by_name), len(by_name)))
deleted = os.path.join(image_dir, 'deleted.txt')
manifest = os.path.join(image_dir, 'manifest.txt')
if os.path.exists(deleted) and os.path.exists(manifest):
    truth = {}
    for line in open(manifest):
        p, size, h = line.rstrip('\n').split('\t')
        truth[p] = h
    want = {key(p): truth[p] for p in (l.strip() for l in open(deleted)) if p in truth}
    for title, got in (('brinvale --keep-paths', paths), ('tsk_recover', tsk)):
        ok = sum(1 for p, h in want.items() if got.get(p) == h)
        print('%s against the deleted files as written: %d of %d with the right bytes'
              % (title, ok, len(want)))
PY
}

measure ntfs "$image"
[ -n "$fat" ] && measure fat "$fat"
unmount_all
mounted=()
rm -rf "$out"
