#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (as root), then
# cross-builds the Windows dependencies into their cache. Fast when all is already there.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

packages=(
    cmake make g++ pkg-config python3 git file ca-certificates
    googletest libbenchmark-dev
    zlib1g-dev libpng-dev libjpeg-dev libfreetype-dev libogg-dev libvorbis-dev libpugixml-dev libsqlite3-dev
    libturbojpeg0-dev fonts-dejavu-core libsdl2-dev
    clang libclang-rt-14-dev bison glslang-tools glslang-dev spirv-tools
    mingw-w64 libz-mingw-w64-dev dpkg-dev
    wine wine64 xvfb xauth
    vorbis-tools pulseaudio pulseaudio-utils
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$here/build-windows-deps.sh"
