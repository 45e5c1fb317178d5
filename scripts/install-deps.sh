#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Tamber needs.
# Does nothing when all of them are present. Run as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config make git curl
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  qcoro-qt6-dev
  libavahi-client-dev libavahi-glib-dev libglib2.0-dev
  libcurl4-openssl-dev libpugixml-dev
  libxcb1-dev libdbus-1-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format clang-tidy libclang-rt-14-dev
  xvfb xdotool imagemagick trayer x11-utils
  iproute2 dbus avahi-daemon avahi-utils
  xdg-utils traceroute
  fonts-inter fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# avahi-daemon and dbus must not be started by the package scripts: the tests run
# their own instances inside network namespaces only.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod +x /usr/sbin/policy-rc.d
  trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
