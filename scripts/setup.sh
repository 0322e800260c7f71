#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need, when any is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang
    libsdl2-dev libx11-dev libopenmpt-dev libpng-dev libfreetype-dev fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
    openmpt123 xmp ffmpeg xvfb xdotool x11-utils x11-apps imagemagick time python3
    emscripten node-acorn binaryen chromium dpkg-dev
)

# The web build compiles libopenmpt from Debian's source package: apt needs a deb-src entry.
src_list=/etc/apt/sources.list.d/vantrose-src.sources
if [[ ! -e $src_list ]] && ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
    ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
        "${sudo[@]}" tee "$src_list" >/dev/null
    "${sudo[@]}" apt-get update -qq
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
