#!/usr/bin/env bash
# Installs the Debian packages Quillberry needs to build, run and test; skips what is already there.
#   scripts/install-deps.sh [fuzz]    (fuzz: also clang and its sanitizer runtime, for scripts/fuzz.sh)
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-sqlite libgsf-1-dev libxcb1-dev libfontconfig-dev
          clang-format fonts-dejavu-core fonts-liberation2 python3-xlrd xvfb xauth gnumeric poppler-utils sqlite3
          strace)  # strace: the command-line tests make one rename fail
packages+=(desktop-file-utils appstream dpkg-dev groff-base)  # what checks the install and the package
packages+=(libreoffice-calc-nogui python3-uno)  # the second formula oracle; prints templates to PDF for the drawing tests
if [ "${1:-}" = fuzz ]; then
    packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
    $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi
