#!/usr/bin/env bash
# Builds lumaro-sync for 64-bit Windows on Debian 12, with the MinGW-w64
# cross compilers and Wine from Debian's packages.
#
#   sudo bash scripts/windows.sh          (runs as root: it installs packages)
#
# The toolchain (Qt and the libraries, cross-built from Debian's sources) is
# kept in a cache folder outside the checkout and reused: each piece has a
# stamp file there, and a second run skips what is already built.
#
#   LUMARO_WIN_CACHE  the cache folder (default /var/cache/lumaro-windows)
#   LUMARO_WIN_JOBS   parallel jobs (default 2)
#
# Logs of each piece go to <cache>/logs/. Steps:
#   1. packages: cross compilers, Wine, build tools; a deb-src entry.  done
#   2. SQLite (static, from Debian's sqlite3 source).                   done
#   3. qtbase 6.4.2 for win32-g++: Core, Gui, Widgets, Sql (SQLite and
#      ODBC drivers), Network, Test.                                    done
#   4. libcurl and shapelib.                                            not yet
#   5. the project in build-windows/.                                   not yet
#   6. test programs under Wine, the zip, the two-platform exchange.    not yet
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
    binutils-mingw-w64-x86-64 wine wine64 \
    cmake ninja-build make dpkg-dev perl python3 tcl xz-utils \
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
  (cd "$b" && logged sqlite "${low[@]}" "$triplet-gcc-posix" "${flags[@]}" -c sqlite3.c -o sqlite3.o \
    && logged sqlite "$triplet-gcc-ar-posix" rcs libsqlite3.a sqlite3.o)
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$b/sqlite3.h" "$src/sqlite3/src/sqlite3ext.h" "$prefix/include/" 2>/dev/null \
    || cp "$b/sqlite3.h" "$prefix/include/"
  cp "$b/libsqlite3.a" "$prefix/lib/"
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
  rm -rf "$b" && mkdir -p "$b"
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
  logged qtbase "${low[@]}" cmake --build "$b" --parallel "$jobs"
  logged qtbase cmake --install "$b"
  mark qtbase
}

timed packages step_packages
timed sqlite step_sqlite
timed qtbase step_qt
say "toolchain in $prefix"
