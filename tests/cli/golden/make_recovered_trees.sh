#!/bin/bash
# Makes recovered_trees.txt, what recovered_tree_golden_test.cpp expects:
# each fixture image recovered by type and with --keep-paths, listed by
# list_recovered_tree.py. Run with the brinvale-cli of a build whose
# recovery is known good: BRINVALE_CLI=... FIXTURES=build/<preset>/fixtures.
set -e
here="$(cd "$(dirname "$0")" && pwd)"
cli="${BRINVALE_CLI:?set BRINVALE_CLI}"
fixtures="${FIXTURES:?set FIXTURES}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TZ=UTC XDG_DATA_HOME="$work/appdata"
out="$here/recovered_trees.txt"
: > "$out"
for image in $(cat "$here/recovered_tree_images.txt"); do
  for mode in types keep-paths; do
    target="$work/$image.$mode"
    extra=(); [ "$mode" = keep-paths ] && extra=(--keep-paths)
    "$cli" scan "$fixtures/$image" --recover-to "$target" "${extra[@]}" > /dev/null || true
    echo "== $image $mode" >> "$out"
    python3 "$here/list_recovered_tree.py" "$target" >> "$out"
  done
done
