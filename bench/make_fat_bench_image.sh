#!/bin/bash
# Makes a FAT32 image for the recovery benchmark, like
# make_fast_ntfs_bench_image.sh: 2 GiB FAT32 (mkfs.fat, 4 KiB clusters),
# 200 folders of 500 random files (100 B to 20 KB) copied in with mtools,
# then every third file deleted with mdel. Writes bench.img,
# manifest.txt (path, size, sha256) and deleted.txt into $1 (default
# /tmp/fatbench). Needs: dosfstools, mtools, python3.
set -e
out="${1:-/tmp/fatbench}"
mkdir -p "$out"
cd "$out"
rm -rf bench.img tree
truncate -s 2G bench.img
mkfs.fat -F 32 -s 8 -n FATBENCH bench.img > /dev/null
python3 - <<'PY'
import os, random, hashlib
random.seed(7)
man = open('manifest.txt', 'w')
for d in range(200):
    dp = os.path.join('tree', 'd%03d' % d)
    os.makedirs(dp)
    for f in range(500):
        size = random.choice([100, 700, 3000, 9000, 20000])
        data = random.randbytes(size)
        name = 'f%03d_%03d.bin' % (d, f)
        open(os.path.join(dp, name), 'wb').write(data)
        man.write('d%03d/%s\t%d\t%s\n' % (d, name, size, hashlib.sha256(data).hexdigest()))
man.close()
with open('deleted.txt', 'w') as dl:
    for d in range(200):
        for f in range(0, 500, 3):
            dl.write('d%03d/f%03d_%03d.bin\n' % (d, d, f))
PY
export MTOOLS_SKIP_CHECK=1
mcopy -s -i bench.img tree/* ::/
for d in $(seq -f 'd%03g' 0 199); do
  grep "^$d/" deleted.txt | sed 's|^|::/|' | xargs mdel -i bench.img
done
rm -rf tree
echo made
