#!/usr/bin/env bash
# Installs the Debian 12 packages Trellick needs to build, run and test. Installs only what is
# missing, through sudo when not root. Usage: install-deps.sh [run|test|package]
set -euo pipefail

what=${1:-test}

build_pkgs=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  libevdev-dev libudev-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-xinput-dev libxcb-res0-dev libxcb-keysyms1-dev libxcb-xfixes0-dev
  libglib2.0-dev libyaml-cpp-dev
  libwayland-dev wayland-protocols  # the Wayland backend: libwayland-client and -cursor, wayland-scanner, xdg-shell
  plasma-wayland-protocols  # KWin's window management and blur
  libqt6svg6  # the SVG icon engine: many application icons are SVG only
  libgtest-dev libgmock-dev libbenchmark-dev
  scdoc  # the manual page
  ccache  # rebuilds in seconds where the machine keeps its cache
)
# What the windows need at run time: colour emoji for the welcome and about marks, and the SVG
# icon engine, since most icon themes draw applications' icons in SVG only; Qt's Wayland platform for
# its windows in a Wayland session; libinput's quirks database (/usr/share/libinput), per-device
# sizes and thresholds.
run_pkgs=(fonts-noto-color-emoji libqt6svg6 qt6-wayland libinput-bin)
# The Debian package: dpkg-shlibdeps computes its dependencies (CPack finds the programs with file).
package_pkgs=(dpkg-dev file)
test_pkgs=(
  clang libclang-rt-14-dev
  clang-format clang-tidy cppcheck  # scripts/lint.sh
  xvfb xauth openbox xdotool wmctrl x11-utils dbus xcompmgr trayer
  # the Wayland rig: a headless sway, clients, screenshots, keys, and an event viewer to debug it
  sway foot grim wtype wev qt6-wayland
  kwin-wayland  # the KDE rig: kwin_wayland --virtual (run in a D-Bus session of its own)
  # the installation's checks: desktop entry, metainfo, manual page, polkit action, package
  desktop-file-utils appstream man-db libxml2-utils
  "${package_pkgs[@]}"
)

pkgs=("${build_pkgs[@]}" "${run_pkgs[@]}")
case "$what" in
  test) pkgs+=("${test_pkgs[@]}") ;;
  package) pkgs+=("${package_pkgs[@]}") ;;
esac

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
