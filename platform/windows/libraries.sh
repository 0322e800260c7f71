#!/usr/bin/env bash
# Builds the Windows program's libraries (zlib, libpng, SDL2, libopenmpt) from Debian's source
# packages with MinGW-w64, static, once per machine: the prefix (include/, lib/) is kept under
# ~/.cache/vantrose/windows and its path printed.
set -euo pipefail

host=x86_64-w64-mingw32
here=$(cd "$(dirname "$0")" && pwd)
gcc_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
sdl_version=$(dpkg-query -W -f='${Version}' libsdl2-dev)          # the native libraries' versions
openmpt_version=$(dpkg-query -W -f='${Version}' libopenmpt-dev)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/vantrose/windows
prefix=$cache/mingw-$gcc_version-sdl2-$sdl_version-openmpt-$openmpt_version
done_mark=$prefix/lib/libopenmpt.a
if [[ -f $done_mark ]]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/libraries.lock"
flock 9 # another build of the same machine may be making it right now
if [[ -f $done_mark ]]; then
    echo "$prefix"
    exit 0
fi

# apt-get source needs a deb-src entry.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
        "${sudo[@]}" tee /etc/apt/sources.list.d/vantrose-src.sources >/dev/null
    "${sudo[@]}" apt-get update -qq
fi

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage=$work/stage
log=$work/build.log
jobs=$(($(nproc) < 2 ? $(nproc) : 2))
echo "windows: building zlib, libpng, SDL2 $sdl_version and libopenmpt $openmpt_version with MinGW (once per machine)" >&2
cd "$work"
apt-get source -qq --download-only zlib libpng1.6 "libsdl2=$sdl_version" "libopenmpt=$openmpt_version" >"$log" 2>&1 ||
    { tail -20 "$log" >&2; exit 1; }
for dsc in zlib libpng1.6 libsdl2 libopenmpt; do
    dpkg-source -x --skip-patches "$dsc"_*.dsc "src-$dsc" >>"$log" 2>&1
done
fail() { tail -30 "$log" >&2; exit 1; }
cmake_cross() {
    cmake -S "$1" -B "$1/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" -DVANTROSE_WINDOWS_PREFIX="$stage" -DCMAKE_PREFIX_PATH="$stage" \
        "${@:2}" >>"$log" 2>&1 || fail
    cmake --build "$1/build" -j"$jobs" >>"$log" 2>&1 || fail
    cmake --install "$1/build" >>"$log" 2>&1 || fail
}

# zlib and libpng: PNG writing without a DLL beside the program.
(cd src-zlib && CHOST=$host CC=$host-gcc-posix ./configure --static --prefix="$stage" &&
    make -j"$jobs" libz.a && make install) >>"$log" 2>&1 || fail
cmake_cross src-libpng1.6 -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$stage"

cmake_cross src-libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF

# libopenmpt: the module formats alone, as in the web build; no debug information, which
# would only be stripped from the program.
cd src-libopenmpt
./configure --host=$host CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS=-O2 CXXFLAGS=-O2 --prefix="$stage" \
    --disable-shared --enable-static --disable-openmpt123 --disable-examples --disable-tests \
    --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
    --without-vorbisfile --without-portaudio --without-portaudiocpp --without-pulseaudio \
    --without-sndfile --without-flac >>"$log" 2>&1 || fail
make -j"$jobs" >>"$log" 2>&1 || fail
make install >>"$log" 2>&1 || fail

rm -rf "$prefix.tmp"
mv "$stage" "$prefix.tmp"
mv "$prefix.tmp" "$prefix"
echo "$prefix"
