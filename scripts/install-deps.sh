#!/usr/bin/env bash
# Installs the Debian packages MeterLink needs to build, test and run.
# Only missing packages are installed; apt-get runs through sudo when we are not root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libqt6svg6
    qt6-qpa-plugins libgl-dev
    libhidapi-dev libudev-dev libfontconfig-dev
    libbenchmark-dev
    libxml2-utils
    clang-format
    fonts-dseg fonts-liberation fonts-dejavu-core fonts-wqy-microhei
    xvfb xauth xdotool
    # Making the Debian package (dpkg-shlibdeps) and checking the install (tst_install).
    dpkg-dev file desktop-file-utils groff-base
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
