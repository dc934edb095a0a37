#!/usr/bin/env bash
# Installs everything Quiltmark needs to build, test and run on Debian 12.
# Quiet and quick when every package is already present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libtinyxml2-dev libexpat1-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev
  libbenchmark-dev
  fonts-liberation2 fonts-dejavu-core
  xvfb xauth imagemagick poppler-utils libxml2-utils
  clang libclang-rt-14-dev
  gzip dpkg-dev lintian appstream desktop-file-utils groff-base
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
