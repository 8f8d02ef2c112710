#!/usr/bin/env bash
# Installs the Debian packages the engine, its tests, sanitizer and fuzz builds need.
# Quick when everything is already there; uses sudo when not run as root.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libsdl2-dev libopengl-dev libgl1-mesa-dri libx11-dev xvfb
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-dejavu-core
  libpng-dev zlib1g-dev
  libvorbis-dev libogg-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
