#!/usr/bin/env bash
# Qt for 64-bit Windows (QtCore, QtGui, QtWidgets and QtTest as DLLs, the windows and offscreen platform
# plugins), cross-built with Debian's mingw-w64 (posix threads) from Debian's own qt6-base source
# package. Debian's host Qt of the same version (its moc, rcc, uic and CMake files) serves as the
# host tools.
#
#   scripts/build-qt-windows.sh          builds when needed, then prints the Qt folder
#   scripts/build-qt-windows.sh --where  only prints the folder a build would go to
#
# The Qt folder is kept outside the checkout, in ${VT_CACHE_DIR:-$HOME/.cache/velmoor}, named by
# Qt's version, Debian's revision and a hash of the configure options and of the toolchain's
# version, so that any change to them builds anew and an unchanged second run costs nothing. It
# appears there only when it is whole: the build goes to a work folder beside it (kept when a
# build stops, so the next run carries on), is installed into a temporary folder and stripped,
# and that folder is renamed at the end. Two runs at once wait for each other.
#
# Left out of this Qt: SQL, network, D-Bus, XML, concurrent, print support,
# OpenGL, Vulkan, tablet events (Debian's repack of the source has no Windows tablet headers).
# zlib, PCRE2, libpng, HarfBuzz and the rest come from the copies in Qt's source. Direct2D stays
# at its default: its switch also carries the DirectWrite font code the windows plugin links.
# Needs (VT_WITH_WINDOWS=1 scripts/install-deps.sh): qt6-base-dev and qt6-base-dev-tools of the
# version of the source, g++-mingw-w64-x86-64-posix, cmake, ninja-build, perl, the deb-src index.
set -euo pipefail
host=x86_64-w64-mingw32
cache=${VT_CACHE_DIR:-$HOME/.cache/velmoor}

# The version of the source is that of the host Qt: the two must match.
deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
[ -n "$deb_version" ] || { echo "qt6-base-dev is missing: run scripts/install-deps.sh" >&2; exit 1; }
qt_version=${deb_version%%+*}
qt_version=${qt_version%%-*}
deb_revision=${deb_version##*-}
command -v "$host-g++-posix" >/dev/null || { echo "$host-g++-posix is missing: run VT_WITH_WINDOWS=1 scripts/install-deps.sh" >&2; exit 1; }
host_cmake=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)/cmake

toolchain="set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $host-gcc-posix)
set(CMAKE_CXX_COMPILER $host-g++-posix)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$host)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
"
options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_doubleconversion=OFF
)
toolchain_version=$("$host-g++-posix" -dumpfullversion 2>/dev/null || "$host-g++-posix" -dumpversion)
toolchain_version+=" $(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev 2>/dev/null || true)"
hash=$(printf '%s\n' "${options[@]}" "$toolchain" "$toolchain_version" | sha256sum | cut -c1-12)
key=qt6-win-$qt_version-deb$deb_revision-$hash
final=$cache/$key
if [ "${1:-}" = --where ]; then echo "$final"; exit 0; fi
[ -f "$final/lib/cmake/Qt6/Qt6Config.cmake" ] && { echo "$final"; exit 0; }

mkdir -p "$cache"
exec 9>"$cache/$key.lock"
flock 9
[ -f "$final/lib/cmake/Qt6/Qt6Config.cmake" ] && { echo "$final"; exit 0; }

t0=$SECONDS
step() { echo "== Qt $qt_version for Windows: $1 ($((SECONDS - t0)) s)" >&2; }
work=$cache/$key.work
mkdir -p "$work"
printf '%s' "$toolchain" >"$work/toolchain.cmake"

# The source package, of the host Qt's version. Its own patches are applied by apt-get source.
src=$(ls -d "$work"/qtbase-everywhere-src-*/ "$work"/qt6-base-*/ 2>/dev/null | head -1 || true)
if [ -z "$src" ] || [ ! -f "$work/source.done" ]; then
  step "source of qt6-base $deb_version"
  rm -rf "$work/src"
  mkdir -p "$work/src"
  (cd "$work/src" && apt-get source -q "qt6-base=$deb_version" >../source.log 2>&1) ||
    { tail -5 "$work/source.log" >&2; echo "apt-get source qt6-base=$deb_version failed (is the deb-src index there? VT_WITH_WINDOWS=1 scripts/install-deps.sh)" >&2; exit 1; }
  touch "$work/source.done"
fi
src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d | head -1)
[ -f "$src/CMakeLists.txt" ] || { echo "no Qt source in $work/src" >&2; exit 1; }

build=$work/build
if [ ! -f "$build/build.ninja" ]; then
  step "configure"
  rm -rf "$build"
  mkdir -p "$build"
  (cd "$build" && cmake -G Ninja -S "$src" -B . -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_INSTALL_PREFIX="$final.tmp" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
    "${options[@]}" >configure.log 2>&1) || { tail -30 "$build/configure.log" >&2; rm -f "$build/build.ninja"; exit 1; }
fi

step "build"
jobs=${VT_QT_JOBS:-$(nproc)}
ninja -C "$build" -j"$jobs" >>"$work/build.log" 2>&1 || { tail -30 "$work/build.log" >&2; exit 1; }

step "install and strip"
rm -rf "$final.tmp"
cmake --install "$build" >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }
find "$final.tmp" -name '*.dll' -exec "$host-strip" --strip-unneeded {} +
for p in platforms/qwindows.dll platforms/qoffscreen.dll; do
  [ -f "$final.tmp/plugins/$p" ] || { echo "the plugin $p was not built" >&2; exit 1; }
done
printf 'qt6-base %s\ntoolchain %s\noptions %s\n' "$deb_version" "$toolchain_version" "${options[*]}" >"$final.tmp/VELMOOR-BUILD"
mv "$final.tmp" "$final"
rm -rf "$work"
step "done"
echo "$final"
