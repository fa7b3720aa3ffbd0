#!/usr/bin/env bash
# brinvale-pkexec hands the program beside it, and every argument, to pkexec
# (with its own agent left to the desktop), and finds the X cookie when the
# environment names none; without pkexec it says what to install.
set -euo pipefail
launcher="$(cd "$(dirname "$0")/../.." && pwd)/packaging/linux/brinvale-pkexec"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/fake" "$work/home"
cp "$launcher" "$work/bin/brinvale-pkexec"
cat > "$work/fake/pkexec" <<'FAKE'
#!/bin/sh
printf '%s\n' "$@" > "$PKEXEC_ARGS"
printf '%s\n' "${XAUTHORITY:-}" > "$PKEXEC_XAUTH"
FAKE
chmod +x "$work/fake/pkexec"
touch "$work/home/.Xauthority"

PATH="$work/fake:$PATH" HOME="$work/home" DISPLAY=:5 XAUTHORITY= \
  PKEXEC_ARGS="$work/args" PKEXEC_XAUTH="$work/xauth" \
  "$work/bin/brinvale-pkexec" "/media/card one.img" --second
expected=$(printf '%s\n' --disable-internal-agent "$work/bin/brinvale" "/media/card one.img" --second)
if [ "$(cat "$work/args")" != "$expected" ]; then
  echo "pkexec was given:"; cat "$work/args"; echo "expected:"; echo "$expected"; exit 1
fi
if [ "$(cat "$work/xauth")" != "$work/home/.Xauthority" ]; then
  echo "XAUTHORITY was $(cat "$work/xauth")"; exit 1
fi

# Without pkexec: exit 127 and the package to install.
mkdir -p "$work/tools"
for tool in dirname readlink; do ln -s "$(command -v $tool)" "$work/tools/$tool"; done
set +e
out=$(PATH="$work/tools" /bin/sh "$work/bin/brinvale-pkexec" 2>&1)
rc=$?
set -e
[ "$rc" -eq 127 ] || { echo "exit $rc without pkexec"; exit 1; }
[[ "$out" == *"pkexec is not installed"* ]] || { echo "said: $out"; exit 1; }
echo "brinvale-pkexec: ok"
