#!/bin/sh
# Fails unless ext_main is the only name in the DLL's export table (read with the cross toolchain's objdump).
set -eu
objdump=$1 dll=$2
# The name table's rows look like "[   0] ext_main"; its header line starts the list.
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\).*/\1/p' | sort -u)
if [ "$exports" != "ext_main" ]; then
  echo "exported names of $dll:" >&2
  echo "$exports" >&2
  exit 1
fi
