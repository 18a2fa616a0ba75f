#!/usr/bin/env bash
# Installs the Debian packages given as arguments that are not installed yet.
# As root it runs apt-get; otherwise it names the missing packages and fails.
# On a system without dpkg it assumes the toolchain is there.
set -euo pipefail
command -v dpkg >/dev/null 2>&1 || exit 0
need=()
for pkg in "$@"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
((${#need[@]})) || exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "missing packages: ${need[*]}; install them with: sudo apt-get install ${need[*]}" >&2
  exit 1
fi
echo "installing ${need[*]}" >&2
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
