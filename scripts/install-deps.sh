#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need,
# when any of them is missing. Uses sudo when not root.
set -euo pipefail

# libhts-dev: htslib's headers, library and htslib.pc (found through
# pkg-config) for VCF and BCF; snakemake: the cluster workflow and its test;
# qt6-svg-dev: the pictures' SVG export; openbox: the window manager of the
# keys' X11 test.
packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libbenchmark-dev
          libhts-dev snakemake
          xvfb xauth x11-utils xdotool openbox desktop-file-utils shared-mime-info fonts-dejavu-core)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
