#!/bin/sh
# Runs one example session through the host program in a scratch settings
# folder and compares its output with the .expected file beside it. Any further
# arguments name a runner for the host program (wine, for a Windows build);
# VESSA_HOST_OPTIONS adds options of the host program (such as --unload).
set -eu
host=$1 module=$2 session=$3
shift 3
expected="${session%.session}.expected"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# shellcheck disable=SC2086 # the options are separate words
"$@" "$host" --module "$module" --appdata "$scratch" ${VESSA_HOST_OPTIONS:-} < "$session" > "$scratch/out" 2> "$scratch/console" || {
  cat "$scratch/console" >&2; exit 1; }
diff -u "$expected" "$scratch/out"
