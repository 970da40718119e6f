#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
set -euo pipefail
packages=(build-essential cmake ninja-build libgtest-dev qt6-base-dev
          fonts-liberation fonts-arphic-uming xvfb xauth
          qt6-svg-dev qt6-charts-dev libqt6opengl6-dev libpng-dev desktop-file-utils groff-base xdotool imagemagick lintian)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
