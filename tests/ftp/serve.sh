#!/usr/bin/env bash
# Starts the loopback FTP server in the background for trying stores by hand or end to end.
#   tests/ftp/serve.sh <root folder> [exchange folder name]
# Creates <root>/<exchange folder> (default "intercambio"), prints "port=<n> pid=<pid>" and
# returns; stop the server with: kill <pid>. User "tienda", password "clave"; set each store's
# [Inicio] IpFtp=127.0.0.1:<port>, UsuarioFtp=tienda, ContraseñaFtp=clave, SubFile=<exchange>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(mkdir -p "$1" && cd "$1" && pwd)
mkdir -p "$root/${2:-intercambio}"
python=$(command -v /usr/bin/python3 || command -v python3)
state=$(mktemp -d)
"$python" "$here/ftp_server.py" --root "$root" --command-log "$state/commands.log" \
  >"$state/port" 2>"$state/stderr" &
pid=$!
for _ in $(seq 100); do
  [ -s "$state/port" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$state/stderr" >&2; exit 1; }
  sleep 0.1
done
echo "port=$(cat "$state/port") pid=$pid commands=$state/commands.log"
