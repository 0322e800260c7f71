#!/usr/bin/env bash
# Builds the Windows program into build/windows/: vantrose.exe (static, no DLL), the show's data
# and vantrose-windows.zip with both. The first build on a machine also compiles SDL2,
# libopenmpt, libpng and zlib with MinGW (a few minutes, kept in ~/.cache/vantrose/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
packages=(g++-mingw-w64-x86-64-posix wine64 dpkg-dev)
for p in "${packages[@]}"; do
    if [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) != "install ok installed" ]]; then
        sudo=()
        [[ $(id -u) -eq 0 ]] || sudo=(sudo)
        echo "windows: installing ${packages[*]}" >&2
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            "${packages[@]}" >/dev/null
        break
    fi
done
cmake --preset windows -DVANTROSE_WERROR=ON >/dev/null
cmake --build --preset windows -j2
