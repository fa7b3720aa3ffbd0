#!/usr/bin/env bash
# scripts/check-layers passes the real tree and refuses each kind of wrong
# include in a small planted one.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check=$root/scripts/check-layers
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$check" >/dev/null || fail "the real tree breaks its layers"

plant() {  # plant FILE LINE: a tree of three layers with one file holding LINE
  rm -rf "${tree:?}"/*
  printf 'common:\nresults: common\napp: results common\n' > "$tree/layers.txt"
  mkdir -p "$tree/common" "$tree/results" "$tree/app"
  echo '#include "common/bytes.h"' > "$tree/results/ok.h"
  mkdir -p "$(dirname "$tree/$1")"
  printf '%s\n' "$2" > "$tree/$1"
}
expect_pass() { plant "$1" "$2"; "$check" "$tree" >/dev/null || fail "refused: $1: $2"; }
expect_fail() {
  plant "$1" "$2"
  if out=$("$check" "$tree"); then fail "accepted: $1: $2"; fi
  grep -q "$3" <<<"$out" || fail "no '$3' in: $out"
}

expect_pass app/a.cpp '#include "results/ok.h"'
expect_pass app/a.cpp '#include <vector>'
expect_pass results/b.cpp '#include "results/ok.h"'
expect_fail results/b.cpp '#include "app/a.h"' "layer 'results' may not include app/a.h"
expect_fail common/c.h '  #  include "results/ok.h"' "layer 'common' may not include"
expect_fail app/a.cpp '#include <QWidget>' "Qt header QWidget"
expect_fail results/b.cpp '#include <windows.h>' "Windows header windows.h"
expect_fail extra/d.cpp '#include <vector>' "folder 'extra' is not a layer"
echo "check-layers test: 9 cases passed"
