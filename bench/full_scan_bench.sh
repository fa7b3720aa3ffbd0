#!/usr/bin/env bash
# Full scan of a reformatted volume against PhotoRec (testdisk), with wall
# time, throughput (and, for brinvale, the pass's throughput apart from the
# check step of the carved files, and that step's time), peak memory and
# the number of files each brings back
# intact (sha256 against the generator's list).
#
#   bench/full_scan_bench.sh [WORK]          makes WORK/bench.img, then measures
#   IMAGE=path LIST=path bench/full_scan_bench.sh [WORK]
#                                            measures an existing image whose
#                                            generator list (path TAB size TAB
#                                            sha256 per line) is LIST
#
# Settings (environment): KIND=ntfs|fat (default ntfs): the volume made, filled
# and then made again (mkntfs -Q, or mkfs.fat with the same cluster size);
# SIZE_MIB (2048); FILES (16000) real-format files (jpg by cjpeg, png, pdf,
# zip, docx) of 4 KiB to 160 KiB in 100 folders from a seeded generator;
# CLI (build/release/src/brinvale-cli); SKIP_PHOTOREC=1 leaves PhotoRec out;
# PHOTOREC_CMD (options,paranoid,search), the /cmd list given to photorec;
# WORKERS ("1 2"), the numbers of pass threads the scan alone is timed with.
#
# Run as root (ntfs-3g needs FUSE). Installs what it needs: ntfs-3g
# dosfstools mtools libjpeg-turbo-progs testdisk time python3. Build the CLI
# first: cmake --preset release && cmake --build --preset release --target brinvale-cli
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$root/scripts/lib.sh"
ensure_packages ntfs-3g dosfstools mtools libjpeg-turbo-progs testdisk time python3
py=$(command -v /usr/bin/python3 || command -v python3)

work=$(mkdir -p "${1:-/tmp/fullscanbench}" && cd "${1:-/tmp/fullscanbench}" && pwd)
kind=${KIND:-ntfs}
size_mib=${SIZE_MIB:-2048}
files=${FILES:-16000}
cli=${CLI:-$root/build/release/src/brinvale-cli}
photorec_cmd=${PHOTOREC_CMD:-options,paranoid,search}
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC

case "$kind" in ntfs | fat) ;; *) echo "KIND is ntfs or fat, not $kind" >&2; exit 2 ;; esac
[ -x "$cli" ] || { echo "no brinvale-cli at $cli (set CLI)" >&2; exit 2; }

mnt=$work/mnt
fuse_pid=
cleanup() {
  if mountpoint -q "$mnt" 2>/dev/null; then umount -l "$mnt" || true; fi
}
trap cleanup EXIT

# generate DIR LIST: FILES real-format files under DIR/dNN/, and their list.
generate() {
  "$py" - "$1" "$2" "$files" <<'EOF'
import hashlib, os, random, struct, subprocess, sys, zipfile, zlib
top, listing, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(20241208)

def png(n):
    w = 64
    h = max(1, n // (w * 3))
    raw = b"".join(b"\x00" + rng.randbytes(w * 3) for _ in range(h))
    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))

def pdf(n):
    text = rng.randbytes(n // 2).hex().encode()
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
            b"<< /Length %d >>\nstream\n" % len(text) + text + b"\nendstream"]
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, body in enumerate(objs, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
    return bytes(out)

def package(n, members):
    import io
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED) as z:
        for name, body in members:
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 3, 1, 12, 0, 0)), body)
    return buf.getvalue()

def zip_(n):
    return package(n, [("data.bin", rng.randbytes(n)), ("note.txt", b"bench\n")])

def docx(n):
    return package(n, [
        ("[Content_Types].xml", b'<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.'
         b'org/package/2006/content-types"><Override PartName="/word/document.xml" ContentType='
         b'"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
         b'</Types>'),
        ("word/document.xml", b"<w:document>" + rng.randbytes(n // 2).hex().encode() + b"</w:document>")])

def jpg(n):
    side = max(16, int((n / 1.2) ** 0.5))
    ppm = b"P6 %d %d 255\n" % (side, side) + rng.randbytes(side * side * 3)
    return subprocess.run(["cjpeg", "-quality", "60"], input=ppm, capture_output=True,
                          check=True).stdout

makers = [("jpg", jpg), ("png", png), ("pdf", pdf), ("zip", zip_), ("docx", docx)]
with open(listing, "w") as out:
    for i in range(count):
        folder = os.path.join(top, "d%02d" % (i % 100))
        os.makedirs(folder, exist_ok=True)
        ext, make = makers[i % len(makers)]
        data = make(rng.choice([4096, 16384, 65536, 163840]))
        rel = "d%02d/f%05d.%s" % (i % 100, i, ext)
        with open(os.path.join(top, rel), "wb") as f:
            f.write(data)
        out.write("%s\t%d\t%s\n" % (rel, len(data), hashlib.sha256(data).hexdigest()))
EOF
}

make_image() {  # make_image IMG LIST
  local img=$1 list=$2
  rm -f "$img"
  truncate -s "${size_mib}M" "$img"
  if [ "$kind" = ntfs ]; then
    mkntfs -F -q -Q -c 4096 -L BENCH "$img" >/dev/null 2>&1
    mkdir -p "$mnt"
    ntfs-3g -o no_detach "$img" "$mnt" >"$work/ntfs-3g.log" 2>&1 &
    fuse_pid=$!
    for _ in $(seq 50); do mountpoint -q "$mnt" && break; sleep 0.2; done
    mountpoint -q "$mnt" || { echo "mount failed" >&2; exit 1; }
    generate "$mnt" "$list"
    sync
    umount "$mnt"
    wait "$fuse_pid" || true
    mkntfs -F -q -Q -c 4096 -L NEWBENCH "$img" >/dev/null 2>&1
  else
    mkfs.fat -F 32 -s 8 -i 0bec0001 -n BENCH "$img" >/dev/null
    rm -rf "$work/stage" && mkdir -p "$work/stage"
    generate "$work/stage" "$list"
    mcopy -s -i "$img" "$work/stage"/* ::/
    rm -rf "$work/stage"
    mkfs.fat -F 32 -s 8 -i 0bec0002 -n NEWBENCH "$img" >/dev/null
  fi
}

# intact LIST DIR: how many listed files have an intact copy under DIR.
intact() {
  "$py" - "$1" "$2" <<'EOF'
import hashlib, os, sys
wanted = {line.split("\t")[2].strip() for line in open(sys.argv[1]) if line.strip()}
seen = set()
for folder, _, names in os.walk(sys.argv[2]):
    for name in names:
        h = hashlib.sha256()
        with open(os.path.join(folder, name), "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
        if h.hexdigest() in wanted:
            seen.add(h.hexdigest())
print(len(seen))
EOF
}

count_files() { find "$1" -type f | wc -l; }

# timed NAME COMMAND...: runs under /usr/bin/time -v; prints wall seconds,
# peak RSS (KiB) and CPU seconds (user + system) as "NAME_wall=S NAME_rss=K
# NAME_cpu=C" for eval.
timed() {
  local name=$1
  shift
  /usr/bin/time -v -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 || true
  local wall rss cpu
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/$name.time" |
    awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s}')
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/$name.time")
  cpu=$(awk -F': ' '/User time|System time/ {s += $2} END {printf "%.2f", s}' "$work/$name.time")
  echo "${name}_wall=$wall ${name}_rss=$rss ${name}_cpu=$cpu"
}

image=${IMAGE:-$work/bench.img}
list=${LIST:-$work/files.txt}
if [ -z "${IMAGE:-}" ]; then
  echo "making $image ($kind, $size_mib MiB, $files files)..."
  make_image "$image" "$list"
fi
if [ ! -f "$image" ] || [ ! -f "$list" ]; then
  echo "need IMAGE and LIST" >&2
  exit 2
fi
brinvale_wall=0 brinvale_rss=0 photorec_wall=0 photorec_rss=0 photorec_cpu=0
image_bytes=$(stat -c %s "$image")
listed=$(wc -l <"$list")

cat "$image" >/dev/null
start=$(date +%s.%N)
cat "$image" >/dev/null
end=$(date +%s.%N)
cat_mbs=$(awk -v b="$image_bytes" -v s="$start" -v e="$end" 'BEGIN {printf "%.0f", b / 1048576 / (e - s)}')

out=$work/out
rm -rf "$out" && mkdir -p "$out/brinvale" "$out/photorec"
eval "$(timed brinvale "$cli" scan "$image" --mode full --fresh --recover-to "$out/brinvale")"
brinvale_mbs=$(awk -v b="$image_bytes" -v s="$brinvale_wall" 'BEGIN {printf "%.0f", (s > 0 ? b / 1048576 / s : 0)}')
brinvale_files=$(count_files "$out/brinvale")
brinvale_intact=$(intact "$list" "$out/brinvale")

# The same scan without recovery, for its own split: the pass (quick step
# included) and the check step of the carved files that follows it.
"$cli" scan "$image" --mode full --fresh --json >"$work/split.json" 2>/dev/null || true
scan_ms=$(grep -o '"scan_ms":[0-9]*' "$work/split.json" | cut -d: -f2)
check_ms=$(grep -o '"check_ms":[0-9]*' "$work/split.json" | cut -d: -f2)
pass_mbs=$(awk -v b="$image_bytes" -v s="${scan_ms:-0}" -v c="${check_ms:-0}" \
  'BEGIN {printf "%.0f", (s - c > 0 ? b / 1048576 / ((s - c) / 1000) : 0)}')

echo "image: $image, $((image_bytes / 1048576)) MiB, $listed files written before the reformat ($kind)"
echo "cat from the page cache: $cat_mbs MB/s"
echo "brinvale-cli scan --mode full: ${brinvale_wall} s, $brinvale_mbs MB/s, peak RSS" \
  "$((brinvale_rss / 1024)) MiB, $brinvale_files files written, $brinvale_intact of $listed intact"
echo "brinvale-cli scan --mode full --json: ${scan_ms:-?} ms in all, pass $pass_mbs MB/s," \
  "check step of the carved files ${check_ms:-?} ms"

# The scan alone (no files written) with each number of pass threads:
# wall time, the pass's own MB/s (without the check step) and its share of
# cat's speed, CPU seconds and peak memory.
for w in ${WORKERS:-1 2}; do
  eval "$(timed "scan_w$w" "$cli" scan "$image" --mode full --fresh --json --workers "$w")"
  wall_var=scan_w${w}_wall rss_var=scan_w${w}_rss cpu_var=scan_w${w}_cpu
  ms=$(grep -o '"scan_ms":[0-9]*' "$work/scan_w$w.log" | cut -d: -f2)
  cms=$(grep -o '"check_ms":[0-9]*' "$work/scan_w$w.log" | cut -d: -f2)
  w_mbs=$(awk -v b="$image_bytes" -v s="${ms:-0}" -v c="${cms:-0}" \
    'BEGIN {printf "%.0f", (s - c > 0 ? b / 1048576 / ((s - c) / 1000) : 0)}')
  share=$(awk -v p="$w_mbs" -v c="$cat_mbs" 'BEGIN {printf "%.2f", (c > 0 ? p / c : 0)}')
  echo "brinvale-cli scan --mode full --workers $w (no recovery): ${!wall_var} s, pass $w_mbs MB/s" \
    "($share of cat), ${!cpu_var} CPU s, peak RSS $((${!rss_var} / 1024)) MiB"
done

if [ -z "${SKIP_PHOTOREC:-}" ]; then
  # PhotoRec writes its log (photorec.log) into the current folder.
  eval "$(cd "$work" && timed photorec photorec /log /d "$out/photorec/recup_dir" /cmd "$image" \
    "$photorec_cmd")"
  photorec_mbs=$(awk -v b="$image_bytes" -v s="$photorec_wall" 'BEGIN {printf "%.0f", (s > 0 ? b / 1048576 / s : 0)}')
  photorec_files=$(count_files "$out/photorec")
  photorec_intact=$(intact "$list" "$out/photorec")
  echo "photorec $photorec_cmd: ${photorec_wall} s, $photorec_mbs MB/s, $photorec_cpu CPU s, peak RSS" \
    "$((photorec_rss / 1024)) MiB, $photorec_files files written, $photorec_intact of $listed intact"
fi
