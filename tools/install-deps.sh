#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing;
# with "windows", the cross compiler and wine for the Windows pass.
set -eu
packages="cmake ninja-build g++ make nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev"
if [ "${1:-}" = windows ]; then
  packages="g++-mingw-w64-x86-64-posix wine wine64"
fi
missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
else
  echo "Missing packages:$missing" >&2
  echo "Install them with: sudo apt-get install$missing" >&2
  exit 1
fi
