#!/usr/bin/env bash
# Sets everything up, builds, and runs the program's main job on the embedded defaults: two
# stores on this machine (program folders build/demo/store2 and build/demo/store3, each with its
# own embedded SQLite databases and ledger) generate their day's snapshot with
# "lumaro-sync --headless --run generar", exchange it through an FTP server on loopback and
# merge each other's. The folders stay for a look: settings, run logs (Err_*.log), the
# snapshot folder, MDB_enviadas, MDB_Syncronizadas and the server's folder.
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
for store in store2 store3; do
  echo "demo: $store holds, per table, the rows of each store (IdLocal: rows):"
  for t in Cliente Tarjeta Acumulacion_Punto Canje_Punto Contactos; do
    printf '  %-18s %s\n' "$t" "$(sqlite3 "$demo/$store/cliente.db" \
      "select group_concat(IdLocal || ': ' || n, ', ') from (select IdLocal, count(*) n from $t group by IdLocal)")"
  done
  echo "demo: $store merged (MDB_Syncronizadas): $(ls "$demo/$store/MDB_Syncronizadas")"
done
# The run logs are Windows-1252, as operators read them on Windows.
for store in store2 store3; do
  echo "demo: from $store's run log ($(ls "$demo/$store"/Err_*.log)):"
  iconv -f CP1252 -t UTF-8 "$demo/$store"/Err_*.log |
    grep -E "Copia de Datos Satisfactoria|se ha DESCARGADO|Archivo Origen|SUBIDO el archivo|Problemas" || true
done
if [ -n "${DISPLAY:-}" ]; then
  echo "demo: opening store 3's window"
  (cd "$demo/store3" && exec ./lumaro-sync)
fi
