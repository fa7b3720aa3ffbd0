#!/usr/bin/env bash
# Carving against PhotoRec on the fixture images whose manifests list the
# files planted in them (content, carve, media, streams): for each image and
# each program, how many planted files come back byte for byte (and of
# those planted whole), how many recovered files match no planted file, and
# how many begin where no planted file begins (false finds).
#
#   bench/carve_compare.sh [FIXTURE_DIR] [WORK]
#
# FIXTURE_DIR holds the unpacked images and their manifests (default
# build/release/fixtures, else build/asan/fixtures); CLI
# (build/release/src/brinvale-cli) is the program measured. Installs testdisk.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$root/scripts/lib.sh"
ensure_packages testdisk

fixtures=${1:-}
if [ -z "$fixtures" ]; then
  for d in "$root/build/release/fixtures" "$root/build/asan/fixtures"; do
    [ -f "$d/carve.img" ] && fixtures=$d && break
  done
fi
[ -n "$fixtures" ] && [ -f "$fixtures/carve.img" ] || { echo "no fixture images (give FIXTURE_DIR)" >&2; exit 2; }
fixtures=$(cd "$fixtures" && pwd)
work=$(mkdir -p "${2:-/tmp/carvecompare}" && cd "${2:-/tmp/carvecompare}" && pwd)
cli=${CLI:-$root/build/release/src/brinvale-cli}
[ -x "$cli" ] || { echo "no brinvale-cli at $cli (set CLI)" >&2; exit 2; }

# planted MANIFEST: "sha256 how" per planted file, how "whole" for a file
# planted whole (in random data, in zeros, or just before another format's
# start; the content fixture's files are all whole), else "cut" or
# "corrupt".
planted() {
  awk '!/^#/ && NF >= 5 {
         if ($3 ~ /^(complete|damaged|unchecked|-)$/)
           print $5, ($2 == "noise" || $2 == "zeros" || $2 ~ /^before_/ ? "whole" : $2);
         else print $4, "whole";
       }' "$1"
}

# score LIST DIR: "exact whole-exact unmatched files". A recovered file
# counts as exact when it is one of the planted files, each planted copy
# matched once; unmatched when it is none of them.
score() {
  local list=$1 dir=$2
  find "$dir" -type f ! -name 'recovery*.csv' ! -name 'recovery*.json' ! -name '*.log' \
    ! -name 'report.xml' -print0 | xargs -0 -r sha256sum | awk '{print $1}' | sort >"$work/got"
  awk 'NR == FNR { copies[$1]++; if ($2 == "whole") whole[$1]++; next }
       { files++
         if (!($1 in copies)) { other++; next }
         if (used[$1] >= copies[$1]) next
         used[$1]++; exact++
         if (usedWhole[$1] < whole[$1]) { usedWhole[$1]++; wholeExact++ } }
       END { printf "%d %d %d %d\n", exact, wholeExact, other, files }' "$list" "$work/got"
}

# starts MANIFEST: the first sector of every planted file.
starts() {
  awk '!/^#/ && NF >= 5 { print int($1 / 512) }' "$1" | sort -u
}

# false_starts STARTS DIR: recovered files that begin at no planted file's
# first sector (brinvale names a file "<sector>.<ext>", PhotoRec
# "f<sector>.<ext>"): files that are no planted file at all, where
# "unmatched" also counts planted files brought back at another length.
false_starts() {
  find "$2" -type f ! -name 'recovery*' ! -name '*.log' ! -name 'report.xml' -printf '%f\n' |
    sed -n -E 's/^f?0*([0-9]+)[._].*/\1/p' |
    awk 'NR == FNR { planted[$1] = 1; next } !($1 in planted) { n++ } END { print n + 0 }' "$1" -
}

# missed LIST MANIFEST NAME DIR: the files planted whole that no recovered
# file matches byte for byte, as "image: name (how, offset)".
missed() {
  find "$4" -type f ! -name 'recovery*' ! -name '*.log' ! -name 'report.xml' -print0 |
    xargs -0 -r sha256sum | awk '{print $1}' | sort >"$work/got"
  awk -v image="$3" 'NR == FNR { got[$1]++; next }
       !/^#/ && NF >= 5 {
         if ($3 ~ /^(complete|damaged|unchecked|-)$/) { h = $5; how = $2; name = $6 }
         else { h = $4; how = "whole"; name = $5 }
         if (how != "noise" && how != "zeros" && how !~ /^before_/ && how != "whole") next
         if (got[h] > 0) { got[h]--; next }
         printf "  %s: %s (%s, offset %s)\n", image, name, how, $1 }' "$work/got" "$2"
}

misses=""
printf '%-8s %-9s %8s %8s %10s %8s %6s\n' image program planted exact unmatched files false
for name in content carve media streams; do
  image=$fixtures/$name.img
  manifest=$fixtures/$name.manifest
  [ -f "$image" ] && [ -f "$manifest" ] || continue
  planted "$manifest" >"$work/$name.list"
  starts "$manifest" >"$work/$name.starts"
  total=$(wc -l <"$work/$name.list")
  whole=$(awk '$2 == "whole"' "$work/$name.list" | wc -l)
  rm -rf "$work/$name.brinvale" "$work/$name.photorec"
  "$cli" scan "$image" --mode full --fresh --recover-to "$work/$name.brinvale" >/dev/null 2>&1 || true
  read -r b_exact b_whole b_other b_files < <(score "$work/$name.list" "$work/$name.brinvale")
  mkdir -p "$work/$name.photorec"
  (cd "$work" && photorec /log /d "$work/$name.photorec/recup_dir" /cmd "$image" \
    options,paranoid,search >"$work/photorec.out" 2>&1) || true
  read -r p_exact p_whole p_other p_files < <(score "$work/$name.list" "$work/$name.photorec")
  b_false=$(false_starts "$work/$name.starts" "$work/$name.brinvale")
  p_false=$(false_starts "$work/$name.starts" "$work/$name.photorec")
  printf '%-8s %-9s %8s %8s %10s %8s %6s\n' "$name" brinvale "$total ($whole whole)" \
    "$b_exact ($b_whole whole)" "$b_other" "$b_files" "$b_false"
  printf '%-8s %-9s %8s %8s %10s %8s %6s\n' "$name" photorec "$total ($whole whole)" \
    "$p_exact ($p_whole whole)" "$p_other" "$p_files" "$p_false"
  misses+=$(missed "$work/$name.list" "$manifest" "$name" "$work/$name.brinvale")$'\n'
done
echo "whole files brinvale did not bring back byte for byte:"
printf '%s' "$misses" | sed '/^$/d'
