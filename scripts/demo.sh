#!/usr/bin/env bash
# Sets everything up, builds, and runs the program's main job on the embedded defaults: two
# stores on this machine (program folders build/demo/store2 and build/demo/store3, each with its
# own embedded SQLite databases and ledger) exchange a snapshot through an FTP server on
# loopback, each with "lumaro-sync --headless --run subir". The folders stay for a look:
# settings, run logs (Err_*.log), MDB_enviadas, MDB_descargadas and the server's folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
demo="$build/demo"
bash "$root/tests/e2e/two_stores.sh" "$build" "$demo"
echo
echo "demo: the server's exchange folder ($demo/ftp/intercambio):"
ls -l "$demo/ftp/intercambio"
echo "demo: store 2 sent (MDB_enviadas):"; ls "$demo/store2/MDB_enviadas"
echo "demo: store 3 received (MDB_descargadas):"; ls "$demo/store3/MDB_descargadas"
echo "demo: tables of the received snapshot, as lumaro-mdb reads them:"
"$build/src/jet/tool/lumaro-mdb" tables "$demo/store3/MDB_descargadas/"*.mdb
# The run logs are Windows-1252, as operators read them on Windows.
for store in store2 store3; do
  echo "demo: from $store's run log ($(ls "$demo/$store"/Err_*.log)):"
  iconv -f CP1252 -t UTF-8 "$demo/$store"/Err_*.log |
    grep -E "se ha DESCARGADO|SUBIDO el archivo|Importacion|No se encontro|registrarDescarga" || true
done
if [ -n "${DISPLAY:-}" ]; then
  echo "demo: opening store 3's window"
  (cd "$demo/store3" && exec ./lumaro-sync)
fi
