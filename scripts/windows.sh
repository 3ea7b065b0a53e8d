#!/usr/bin/env bash
# Builds lumaro-sync for 64-bit Windows on Debian 12, with the MinGW-w64
# cross compilers and Wine from Debian's packages.
#
#   sudo bash scripts/windows.sh          (runs as root: it installs packages)
#
# The toolchain (Qt and the libraries, cross-built from Debian's sources) is
# kept in a cache folder outside the checkout and reused: each piece has a
# stamp file there, and a second run skips what is already built (remove
# <cache>/stamps/<piece> to build that piece again; qtbase-configured for
# Qt's configuration). A Qt build that was cut short goes on where it stopped.
#
#   LUMARO_WIN_CACHE  the cache folder (default /var/cache/lumaro-windows)
#   LUMARO_WIN_JOBS   parallel jobs (default 2)
#
# Logs of each piece go to <cache>/logs/. Steps (1-4 once, then from the cache):
#   1. packages: cross compilers, Wine, Xvfb, build tools; a deb-src entry.
#   2. SQLite (a DLL, from Debian's sqlite3 source).
#   3. libcurl (DLL, Schannel), shapelib and GoogleTest (static).
#   4. qtbase 6.4.2 for win32-g++: Core, Gui, Widgets, Sql (SQLite and ODBC
#      drivers), Network, Test. The long one: about two hours here.
#   5. the project in build-windows/ (ccache when installed).
#   6. the test programs that need no display, under Wine, with the loopback servers
#      started on the Linux side by tests/ftp/lanzador.py; logs <cache>/logs/wine-*.log.
#   7. the zip in build-windows/zip/: the programs, the DLLs, the example settings, LEEME.txt
#      and INICIO-AUTOMATICO.txt.
#   8. screenshots of the main window, the configuration dialog and a message box with
#      accented text under Wine and Xvfb, in
#      build-windows/screenshots/.
#   9. a Linux store and a Windows store exchange a day through the loopback FTP server
#      (scripts/cadena_windows.py; the Linux build in build/ is made when missing).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="${LUMARO_WIN_CACHE:-/var/cache/lumaro-windows}"
jobs="${LUMARO_WIN_JOBS:-2}"
src="$cache/src"
work="$cache/build"
prefix="$cache/prefix"
logs="$cache/logs"
stamps="$cache/stamps"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
triplet=x86_64-w64-mingw32
qt_version=6.4.2
host_qt_cmake=/usr/lib/x86_64-linux-gnu/cmake
# Heavy work runs at the lowest priority: the machine is shared.
low=(nice -n 19 ionice -c3)

mkdir -p "$src" "$work" "$prefix" "$logs" "$stamps"
# One run at a time over the same cache.
exec 9>"$cache/lock"
flock -n 9 || { echo "[windows] another run is using $cache" >&2; exit 1; }

say() { printf '[windows] %s\n' "$*"; }
built() { [[ -f "$stamps/$1" ]]; }
mark() { date -u +%FT%TZ >"$stamps/$1"; }
# Runs a command with its output in a log; on failure shows the end of it.
logged() {
  local log="$logs/$1.log"
  shift
  if ! "$@" >>"$log" 2>&1; then
    say "failed: $*  (log: $log)"
    tail -n 30 "$log" >&2
    return 1
  fi
}
timed() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  say "$name: $((SECONDS - start)) s"
}

# Debian source packages are fetched into $src and unpacked (with Debian's
# patches) into $src/<dir>; the unpacked tree is kept for later runs.
debian_source() {
  local package=$1 dir=$2
  [[ -d "$src/$dir" ]] && return 0
  (cd "$src" && logged "source-$package" apt-get source -q --download-only "$package")
  local dsc
  dsc=$(ls -t "$src/${package}"_*.dsc | head -n 1)
  (cd "$src" && logged "source-$package" "${low[@]}" dpkg-source -x "$dsc" "$dir")
}

step_packages() {
  built packages && return 0
  [[ $(id -u) -eq 0 ]] || { say "installing packages needs root"; return 1; }
  if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    say "adding a deb-src entry for Debian's sources"
    cat >/etc/apt/sources.list.d/lumaro-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
  say "installing the cross compilers, Wine and the build tools"
  logged packages apt-get update -q
  DEBIAN_FRONTEND=noninteractive logged packages apt-get install -y -q --no-install-recommends \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
    binutils-mingw-w64-x86-64 wine wine64 xvfb x11-utils imagemagick zip \
    gcc libc6-dev cmake ninja-build make dpkg-dev perl python3 tcl xz-utils googletest \
    qt6-base-dev qt6-base-dev-tools
  mark packages
}

# SQLite: Debian ships the full source tree, not the single-file
# amalgamation; the amalgamation is generated on the host (tclsh) and then
# compiled with the cross compiler into a static library.
step_sqlite() {
  built sqlite && return 0
  say "SQLite"
  debian_source sqlite3 sqlite3
  local b="$work/sqlite3"
  rm -rf "$b" && mkdir -p "$b"
  (cd "$b" && logged sqlite "${low[@]}" "$src/sqlite3/configure" --disable-tcl \
    && logged sqlite "${low[@]}" make sqlite3.c)
  local flags=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA
    -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_JSON1 -DSQLITE_ENABLE_UNLOCK_NOTIFY
    -DSQLITE_OMIT_LOAD_EXTENSION)
  # One DLL: Qt's SQLite driver and the program reach the same library (the program adds
  # functions to the driver's connections, which two static copies could not share).
  (cd "$b" && logged sqlite "${low[@]}" "$triplet-gcc-posix" "${flags[@]}" -c sqlite3.c -o sqlite3.o \
    && logged sqlite "$triplet-gcc-posix" -shared -static-libgcc -o libsqlite3-0.dll sqlite3.o \
      -Wl,--out-implib,libsqlite3.a)
  mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin"
  cp "$b/sqlite3.h" "$src/sqlite3/src/sqlite3ext.h" "$prefix/include/" 2>/dev/null \
    || cp "$b/sqlite3.h" "$prefix/include/"
  cp "$b/libsqlite3.a" "$prefix/lib/"
  cp "$b/libsqlite3-0.dll" "$prefix/bin/"
  mark sqlite
}

# qtbase for win32-g++, with the host tools of the installed Qt (same
# version). Tablet support is off: the Windows platform plugin would need
# the Wintab header, which Debian's source does not carry.
step_qt() {
  built qtbase && return 0
  grep -qs "PACKAGE_VERSION \"$qt_version\"" "$host_qt_cmake"/Qt6/Qt6ConfigVersion*.cmake \
    || { say "the host Qt in /usr is not $qt_version"; return 1; }
  say "qtbase $qt_version for Windows (long: about half an hour on two free cores)"
  debian_source qt6-base qtbase
  local b="$work/qtbase"
  # A build that was cut short goes on where it stopped.
  built qtbase-configured || {
    rm -rf "$b" && mkdir -p "$b"
    qt_configure "$b"
    mark qtbase-configured
  }
  logged qtbase "${low[@]}" cmake --build "$b" --parallel "$jobs"
  logged qtbase cmake --install "$b"
  mark qtbase
}

qt_configure() {
  local b=$1
  (cd "$b" && logged qtbase "${low[@]}" "$src/qtbase/configure" \
    -prefix "$prefix" -release -shared -xplatform win32-g++ \
    -qt-host-path /usr -nomake tests -nomake examples \
    -opengl no -no-dbus -no-icu \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -sql-sqlite -system-sqlite -sql-odbc -no-sql-mysql -no-sql-psql \
    -no-sql-ibase -no-sql-oci -no-sql-db2 \
    -no-feature-tabletevent -no-feature-concurrent -no-feature-xml \
    -no-feature-printsupport -no-feature-opengl \
    -- -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DQT_HOST_PATH_CMAKE_DIR="$host_qt_cmake" \
    -DSQLite3_INCLUDE_DIR="$prefix/include" \
    -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.a")
  grep -qE 'SQLite +\.+ *yes' "$b/config.summary" \
    || say "warning: the SQLite driver is not in the configuration (see $b/config.summary)"
}

# libcurl as a DLL, with Windows' own TLS (Schannel): no OpenSSL to build.
step_curl() {
  built curl && return 0
  say "libcurl (Schannel)"
  debian_source curl curl
  local b="$work/curl"
  rm -rf "$b"
  logged curl "${low[@]}" cmake -S "$src/curl" -B "$b" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF \
    -DCURL_ZSTD=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF \
    -DUSE_NGHTTP2=OFF -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON
  logged curl "${low[@]}" cmake --build "$b" --parallel "$jobs"
  logged curl cmake --install "$b"
  mark curl
}

# GoogleTest for the test programs, from the source that Debian's
# googletest package installs in /usr/src/googletest.
step_gtest() {
  built gtest && return 0
  say "GoogleTest"
  local b="$work/googletest"
  rm -rf "$b"
  logged gtest "${low[@]}" cmake -S /usr/src/googletest -B "$b" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=ON
  logged gtest "${low[@]}" cmake --build "$b" --parallel "$jobs"
  logged gtest cmake --install "$b"
  mark gtest
}

# shapelib (only its C files are needed) as a static library. Where the
# mirror has no shapelib source, GDAL's source carries a copy of the
# shapefile and DBF code without the stdio file hooks; those few lines are
# written here.
step_shapelib() {
  built shapelib && return 0
  say "shapelib"
  local b="$work/shapelib" files
  rm -rf "$b" && mkdir -p "$b"
  if [[ -d "$src/shapelib" ]] || (cd "$src" && apt-get source -q --download-only shapelib \
    >>"$logs/source-shapelib.log" 2>&1); then
    debian_source shapelib shapelib
    files=("$src/shapelib"/{dbfopen.c,shpopen.c,safileio.c})
    cp "$src/shapelib/shapefil.h" "$b/"
  else
    say "no shapelib source on the mirror: using the copy inside GDAL's source"
    if [[ ! -d "$src/gdal-shape" ]]; then
      (cd "$src" && logged shapelib apt-get source -q --download-only gdal)
      local orig
      orig=$(ls -t "$src"/gdal_*.orig.tar.* | head -n 1)
      mkdir -p "$src/gdal-shape"
      logged shapelib tar -xf "$orig" -C "$src/gdal-shape" --strip-components=4 \
        --wildcards '*/ogr/ogrsf_frmts/shape/shapefil.h' \
        '*/ogr/ogrsf_frmts/shape/dbfopen.c' '*/ogr/ogrsf_frmts/shape/shpopen.c'
    fi
    files=("$src/gdal-shape"/{dbfopen.c,shpopen.c} "$b/safileio.c")
    cp "$src/gdal-shape/shapefil.h" "$b/"
    cat >"$b/safileio.c" <<'EOF'
/* Default file hooks of shapelib over stdio. */
#include <stdio.h>
#include "shapefil.h"

static SAFile sa_open(const char *name, const char *access) { return (SAFile)fopen(name, access); }
static SAOffset sa_read(void *p, SAOffset size, SAOffset n, SAFile f) { return (SAOffset)fread(p, size, n, (FILE *)f); }
static SAOffset sa_write(void *p, SAOffset size, SAOffset n, SAFile f) { return (SAOffset)fwrite(p, size, n, (FILE *)f); }
/* Like fseek: 0 on success. */
static SAOffset sa_seek(SAFile f, SAOffset offset, int whence) { return (SAOffset)fseek((FILE *)f, (long)offset, whence); }
static SAOffset sa_tell(SAFile f) { return (SAOffset)ftell((FILE *)f); }
static int sa_flush(SAFile f) { return fflush((FILE *)f); }
static int sa_close(SAFile f) { return fclose((FILE *)f); }
static int sa_remove(const char *name) { return remove(name); }
static void sa_error(const char *message) { fprintf(stderr, "%s\n", message); }
static double sa_atof(const char *text) { double v = 0; sscanf(text, "%lf", &v); return v; }

void SASetupDefaultHooks(SAHooks *h)
{
    h->FOpen = sa_open; h->FRead = sa_read; h->FWrite = sa_write;
    h->FSeek = sa_seek; h->FTell = sa_tell; h->FFlush = sa_flush;
    h->FClose = sa_close; h->Remove = sa_remove; h->Error = sa_error;
    h->Atof = sa_atof;
}
EOF
  fi
  local f objs=()
  for f in "${files[@]}"; do
    logged shapelib "${low[@]}" "$triplet-gcc-posix" -O2 -I"$b" -c "$f" -o "$b/$(basename "$f" .c).o"
    objs+=("$b/$(basename "$f" .c).o")
  done
  logged shapelib "$triplet-gcc-ar-posix" rcs "$b/libshp.a" "${objs[@]}"
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$b/shapefil.h" "$prefix/include/"
  cp "$b/libshp.a" "$prefix/lib/"
  mark shapelib
}

# The project, cross-built in build-windows/ with the cached toolchain.
# Qt's own toolchain file (written by the Qt build) sets the host tools and
# loads the MinGW one. The build goes on past files that do not compile
# yet (-k 0) so that one run lists all of them in the log.
step_project() {
  local b="$root/build-windows"
  say "lumaro-sync for Windows in $b"
  : >"$logs/project.log"
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  logged project cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$prefix" -DWITH_BENCHMARKS=OFF
  if ! "${low[@]}" cmake --build "$b" --parallel "$jobs" -- -k 0 >>"$logs/project.log" 2>&1; then
    say "files that do not compile yet: $(grep -c '^FAILED:' "$logs/project.log") (log: $logs/project.log)"
    return 1
  fi
}

timed packages step_packages
timed sqlite step_sqlite
timed curl step_curl
timed shapelib step_shapelib
timed gtest step_gtest
timed qtbase step_qt
say "toolchain in $prefix"
timed project step_project

# shellcheck source=windows-wine.sh
source "$root/scripts/windows-wine.sh"
status=0
timed "tests under Wine" step_wine_tests || status=1
timed zip step_zip || status=1
timed screenshots step_screens || status=1
timed exchange step_exchange || status=1
say "whole run: $SECONDS s"
exit "$status"
