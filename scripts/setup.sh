#!/usr/bin/env bash
# Installs every Debian package Folioport needs to build, run and test.
# Idempotent; works as root or through sudo.
set -euo pipefail

packages=(
  # toolchain
  g++ clang libclang-rt-14-dev clang-16 libclang-rt-16-dev cmake ninja-build pkg-config git
  # libraries
  libcurl4-openssl-dev nlohmann-json3-dev libssl-dev libsecret-1-dev libplist-dev libarchive-dev
  qt6-base-dev qt6-svg-dev libgl-dev libxcb-xfixes0-dev qt6-wayland
  # the Qt plugins a release bundle carries, and the tools that lay it out and build the Debian package
  qt6-gtk-platformtheme qt6-xdgdesktopportal-platformtheme patchelf
  dpkg-dev lintian desktop-file-utils appstream
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  dbus dbus-x11 gnome-keyring libsecret-tools openssl locales tzdata
  # desktop session for screenshots; the archive tool that packages and the tests zip with
  xvfb x11-utils xdotool imagemagick libarchive-tools trayer curl
  # a real tray host for the desktop checks: XFCE's panel and window manager
  xfce4-panel xfconf xfwm4 wmctrl
)
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
