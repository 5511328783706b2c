#!/usr/bin/env bash
# Installs every Debian package that building, testing and running hqlv needs.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ clang pkg-config
  # libraries of the client
  zlib1g-dev libdeflate-dev libssl-dev libpng-dev libjpeg-dev libtiff-dev libopenjp2-7-dev liblcms2-dev
  qt6-base-dev qt6-webengine-dev libfreetype-dev libfontconfig-dev libsdl2-mixer-dev libcurl4-openssl-dev
  fonts-wqy-microhei fonts-arphic-uming fonts-arphic-ukai
  # the seats' voices, spoken when the table's assets are generated
  espeak-ng
  # tests, benchmarks and fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev libfuzzer-14-dev libclang-rt-14-dev
  libpixman-1-dev libgif-dev locales
  # real proxy peers for the network tests
  dante-server tinyproxy microsocks
  # a display for machines without one
  xvfb xauth
  # the end-to-end screenshots of whole screens (import -window root)
  imagemagick
  # the end-to-end tests click on that display through the X test extension (and xdotool)
  libx11-6 libxtst6 xdotool
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Services that come with the proxy packages must not start on their own: the tests
# start their own instances on free ports.
policy_added=0
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod +x /usr/sbin/policy-rc.d
  policy_added=1
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
if [ $policy_added -eq 1 ]; then $SUDO rm -f /usr/sbin/policy-rc.d; fi
