#!/usr/bin/env bash
# Builds libopenmpt for WebAssembly from Debian's source package, once per machine: the result
# (include/ and lib/libopenmpt.a) is kept under ~/.cache/vantrose and its path printed.
set -euo pipefail

version=$(dpkg-query -W -f='${Version}' libopenmpt-dev) # the native library's version
emcc_version=$(dpkg-query -W -f='${Version}' emscripten)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/vantrose
prefix=$cache/libopenmpt-$version-emscripten-$emcc_version
if [[ -f $prefix/lib/libopenmpt.a ]]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/libopenmpt.lock"
flock 9 # another build of the same machine may be making it right now
if [[ -f $prefix/lib/libopenmpt.a ]]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "$cache/libopenmpt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "libopenmpt-web: building libopenmpt $version with Emscripten (once per machine)" >&2
cd "$work"
apt-get source -qq --download-only "libopenmpt=$version" >&2
dpkg-source -x --skip-patches libopenmpt_*.dsc src >/dev/null 2>&1 || dpkg-source -x libopenmpt_*.dsc src >&2
cd src
# The optimiser of emcc runs on node; node builds other than Debian's look for acorn here.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# A cross --host: configure cannot run the programs it compiles. Dither is off at run time, and
# everything but the module formats themselves is left out.
emconfigure ./configure --host=i686-pc-linux-gnu --prefix="$work/stage" \
    --disable-shared --enable-static --disable-openmpt123 --disable-examples --disable-tests \
    --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
    --without-vorbisfile --without-portaudio --without-portaudiocpp --without-pulseaudio \
    --without-sndfile --without-flac >build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
emmake make -j"$(nproc)" >>build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
make install >>build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
rm -rf "$prefix.tmp"
mv "$work/stage" "$prefix.tmp"
mv "$prefix.tmp" "$prefix"
echo "$prefix"
