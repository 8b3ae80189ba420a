#!/usr/bin/env bash
# Installs what building the kiosk needs on Debian 12; with "--tests", also what the tests need.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev zlib1g-dev libqt6sql6-sqlite)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(python3 postgresql libqt6sql6-psql libqt6sql6-odbc tdsodbc)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
