#!/usr/bin/env bash
# Installs the Debian packages of the groups given as arguments (see
# tools/debian-packages.txt; "all" means every group) that are not installed
# yet. As root it runs apt-get; otherwise it names the missing packages and
# fails. On a system without dpkg it assumes the toolchain is there.
set -euo pipefail
list="$(dirname "$0")/debian-packages.txt"
if (($# == 0)); then
  echo "usage: $0 GROUP... (groups in $list, or all)" >&2
  exit 2
fi

# package and group of every entry, comments and blank lines dropped
entries=$(sed -e 's/#.*//' "$list" | awk 'NF')
for group in "$@"; do
  if [[ $group != all ]] && ! awk -v g="$group" '$2 == g { found = 1 } END { exit !found }' <<<"$entries"; then
    echo "$0: no group '$group' in $list" >&2
    exit 2
  fi
done
mapfile -t wanted < <(awk -v groups=" $* " 'groups ~ " all " || index(groups, " " $2 " ") { print $1 }' <<<"$entries")

command -v dpkg >/dev/null 2>&1 || exit 0
need=()
for pkg in "${wanted[@]}"; do
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
