#!/bin/sh
# Fails unless ext_main is the only symbol the module exports.
set -eu
exports=$(nm -D --defined-only "$1" | awk '{print $3}' | sort -u)
if [ "$exports" != "ext_main" ]; then
  echo "exported symbols of $1:" >&2
  echo "$exports" >&2
  exit 1
fi
