#!/usr/bin/env bash
# Installs everything the build, the program and the tests need on Debian 12. Idempotent; runs
# as root (or through sudo when it is there).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-mysql
  libgl-dev libcurl4-openssl-dev libshp-dev libgtest-dev
  unixodbc unixodbc-dev libsqliteodbc tdsodbc sqlite3 libsqlite3-dev
  mdbtools python3 python3-pyftpdlib python3-openssl python3-aiosmtpd openssl python3-dbfread
  mariadb-server mariadb-client
  xvfb xauth x11-utils fonts-dejavu-core imagemagick nodejs chromium
  dpkg-dev systemd desktop-file-utils adduser
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  # Servers are started by the tests on loopback ports; keep the packages from starting theirs.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# npm comes with nodejs where nodejs is not Debian's own build.
if ! command -v npm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq npm >/dev/null
fi

# mdb-reader: an independent reader of Jet files, used by the tests to check what we write.
node_dir="$root/.cache/node"
if [ ! -f "$node_dir/node_modules/mdb-reader/package.json" ]; then
  mkdir -p "$node_dir"
  (cd "$node_dir" && [ -f package.json ] || echo '{"name":"lumaro-test-tools","private":true}' > package.json)
  npm install --silent --no-audit --no-fund --prefix "$node_dir" mdb-reader@3.2.0 >/dev/null
fi
echo "setup: ready"
