#!/bin/bash
# Makes the image for bench/fast_ntfs_bench.cpp: 2 GiB NTFS (mkntfs, 4 KiB
# clusters), 200 folders of 500 random files (100 B to 20 KB) written through
# an ntfs-3g mount, then every third file deleted. Run as root; writes
# bench.img, manifest.txt (path, size, sha256) and deleted.txt into $1
# (default /tmp/ntfsbench). Needs: ntfs-3g, python3.
set -e
mkdir -p "${1:-/tmp/ntfsbench}"
cd "${1:-/tmp/ntfsbench}"
rm -f bench.img; truncate -s 2G bench.img
mkntfs -F -q -f -c 4096 bench.img
mkdir -p mnt
ntfs-3g -o no_detach bench.img mnt > ntfs-3g.log 2>&1 &
pid=$!
for i in $(seq 50); do mountpoint -q mnt && break; sleep 0.2; done
python3 - <<'PY'
import os, random, hashlib
random.seed(7)
root='mnt'
man=open('manifest.txt','w')
n=0
for d in range(200):
    dp=os.path.join(root,'d%03d'%d); os.mkdir(dp)
    for f in range(500):
        size=random.choice([100,700,3000,9000,20000])
        data=random.randbytes(size)
        p=os.path.join(dp,'f%03d_%03d.bin'%(d,f))
        open(p,'wb').write(data)
        man.write('%s\t%d\t%s\n'%(p[4:],size,hashlib.sha256(data).hexdigest()))
        n+=1
man.close()
# delete every third file
dl=open('deleted.txt','w')
for d in range(200):
    for f in range(0,500,3):
        p=os.path.join(root,'d%03d'%d,'f%03d_%03d.bin'%(d,f))
        os.remove(p); dl.write(p[4:]+'\n')
dl.close()
PY
sync
umount mnt
wait $pid || true
echo made
