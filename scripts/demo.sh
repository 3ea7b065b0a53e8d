#!/usr/bin/env bash
# Sets everything up, builds, and runs the program's main job on the embedded defaults: the
# daily cycle of a chain of four stores on this machine over two days (scripts/cadena.py).
# Store 1 is the principal store and feeds a MySQL mirror on a MariaDB server started on
# loopback; stores 2 to 4 are ordinary ones. Each store is a program folder (build/demo/storeN)
# with its own embedded SQLite databases, ledger and settings; one FTP server on loopback
# carries the snapshots. Each day every store runs "lumaro-sync --headless --run generar" at
# the first daily time, then "--headless --run subir" until it has merged every other store's
# snapshot; on day 2 every store first has a day of activity (new rows, updates of day-1 rows,
# reversals). The demo then prints, per store and table, the rows held by origin store, and
# a verdict: whether the chain converged by the merge rules and whether the mirror holds what
# the principal store has. The folders stay for a look; the window of one store:
#   LUMARO_TIENDA=build/demo/store2 bash scripts/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
demo="$build/demo"
/usr/bin/python3 "$root/scripts/cadena.py" --build "$build" --trabajo "$demo" --tiendas 4 --dias 2 \
  --espejo --clientes 20 --filas 200 --verificar
echo
echo "demo: the folders are in $demo (store1..store4, ftp/intercambio, mariadb)"
