#!/usr/bin/env bash
# Fails, naming the file and the include, when a folder of src/ includes a folder
# above it in the layer order of the README's layout section, or one not in that order.
set -eu
root=${1:-"$(dirname "$0")/.."}
order_line=$(grep -m1 '^Layers, bottom to top:' "$root/README.md" || true)
if [ -z "$order_line" ]; then
  echo "check-layers: README.md has no 'Layers, bottom to top:' line" >&2
  exit 1
fi
# The backquoted names on that line, bottom first.
order=$(printf '%s\n' "$order_line" | grep -o '`[a-z_]*`' | tr -d '`')

rank() {
  local i=0 name
  for name in $order; do
    [ "$name" = "$1" ] && { echo "$i"; return; }
    i=$((i + 1))
  done
  echo -1
}

status=0
while IFS= read -r file; do
  folder=${file#src/}
  folder=${folder%%/*}
  own=$(rank "$folder")
  if [ "$own" -lt 0 ]; then
    echo "$file: its folder $folder is not in the layer order" >&2
    status=1
    continue
  fi
  while IFS= read -r include; do
    target=${include%%/*}
    other=$(rank "$target")
    if [ "$other" -lt 0 ]; then
      echo "$file: includes \"$include\", whose folder is not in the layer order" >&2
      status=1
    elif [ "$other" -gt "$own" ]; then
      echo "$file: includes \"$include\" from $target, above $folder" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$root/$file")
done < <(cd "$root" && find src -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if [ "$status" -eq 0 ]; then
  echo "Layers hold: $(echo $order | sed 's/ / -> /g')"
fi
exit "$status"
