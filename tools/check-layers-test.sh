#!/usr/bin/env bash
# The layer check on tiny trees: a clean one passes; one climbing include, and one
# include of a folder outside the order, each fail and are named.
set -eu
check="$(cd "$(dirname "$0")" && pwd)/check-layers.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/low" "$tree/src/high"
echo 'Layers, bottom to top: `low` → `high`' > "$tree/README.md"
printf '#include <vector>\n#include "low/a.h"\n' > "$tree/src/low/a.h"
printf '#include "low/a.h"\n#include "high/b.h"\n' > "$tree/src/high/b.cpp"
touch "$tree/src/high/b.h"
"$check" "$tree" > /dev/null

fails() {  # the check must fail and name `$1`
  if out=$("$check" "$tree" 2>&1); then
    echo "a tree with $1 passed the check" >&2
    exit 1
  fi
  case "$out" in *"$1"*) ;; *) echo "the failure does not name $1: $out" >&2; exit 1 ;; esac
}
printf '#include "low/a.h"\n  #  include "high/b.h"  // climbs\n' > "$tree/src/low/c.cpp"
fails 'src/low/c.cpp: includes "high/b.h"'
rm "$tree/src/low/c.cpp"
printf '#include "elsewhere/x.h"\n' > "$tree/src/high/d.cpp"
fails 'src/high/d.cpp: includes "elsewhere/x.h"'
rm "$tree/src/high/d.cpp"
mkdir "$tree/src/stray" && touch "$tree/src/stray/e.h"
fails 'src/stray/e.h'
echo "layer check: clean tree passes, climbing and unknown includes fail"
