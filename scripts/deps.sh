#!/usr/bin/env bash
# Installs the Debian packages the build needs, and nothing when they are all there.
# Usage: scripts/deps.sh [extra packages...]
set -euo pipefail

packages=(g++ make cmake qtbase5-dev qtbase5-private-dev qttools5-dev
          qttools5-dev-tools qttranslations5-l10n libqt5sql5-sqlite fonts-dejavu-core "$@")
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
