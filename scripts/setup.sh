#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing that is already there.
# The print-queue tests run a CUPS scheduler of their own (cups-daemon), add its queue and print
# with cups-client, and need the pstops filter of cups-core-drivers.
set -euo pipefail

packages=(build-essential cmake g++ googletest libgtest-dev qt6-base-dev ghostscript xvfb time
          dpkg-dev desktop-file-utils file groff-base libfile-mimeinfo-perl libglib2.0-bin
          libxml2-utils man-db shared-mime-info xdg-utils clang-format nlohmann-json3-dev lintian
          poppler-utils netpbm libcups2-dev cups-daemon cups-client cups-core-drivers)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
