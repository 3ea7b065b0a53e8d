#!/usr/bin/env bash
# Two program folders set up as stores 2 and 3 exchange a snapshot through a loopback FTP
# server with "lumaro-sync --headless --run subir", the real executable on embedded databases.
#   two_stores.sh <build folder> [work folder]
# With a work folder the stores are kept there (the demo looks at them); otherwise a temporary
# folder is used and removed.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
exe="$build/src/app/lumaro-sync"
dbtool="$build/src/db/tool/lumaro-db"
mdbtool="$build/src/jet/tool/lumaro-mdb"
mksnap="$build/tests/e2e/make_snapshot"
if [ $# -ge 2 ]; then work="$2"; rm -rf "$work"; mkdir -p "$work"; keep=1; else work=$(mktemp -d); keep=0; fi

fail() { echo "FAIL: $*"; for f in "$work"/store*/Err_*.log; do echo "== $f"; cat "$f"; done; exit 1; }

server=$(bash "$src/tests/ftp/serve.sh" "$work/ftp")
port=$(sed -n 's/.*port=\([0-9]*\).*/\1/p' <<<"$server")
pid=$(sed -n 's/.*pid=\([0-9]*\).*/\1/p' <<<"$server")
cleanup() { kill "$pid" 2>/dev/null || true; [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT

today=$(date +%d%m%Y)
start=$(date +%d/%m/%Y)

# A store: its program folder, settings, embedded databases, ledger and snapshot folder.
make_store() {
  local id=$1 other=$2 dir="$work/store$1"
  mkdir -p "$dir/salida"
  cp "$exe" "$dir/"
  printf '[Inicio]\r\nHora1=2\r\nMinuto1=0\r\nHora2=14\r\nMinuto2=0\r\nAutoSync=0\r\nRtDbf=%s\r\nIpFtp=127.0.0.1:%s\r\nUsuarioFtp=tienda\r\nContrase\xf1aFtp=clave\r\nSubFile=intercambio\r\n' \
    "$dir/salida" "$port" > "$dir/lumaro-sync.cfg"
  "$dbtool" demo "$dir/cliente.db" "$dir/logistica.db" "$id" 20 --locales 3 --cfg "$dir/lumaro-sync.cfg" >/dev/null
  "$dbtool" ledger-crear "$dir/Seguridad.mdb"
  # Downloads of the other store start today.
  "$dbtool" ledger-iniciar "$dir/Seguridad.mdb" "$other" "$start"
}
# Store 1 is the principal store, which also feeds a MySQL mirror: these two are not.
make_store 2 3
make_store 3 2

snap="2_${today}.mdb"
"$mksnap" "$work/store2/salida/$snap" 2 5
cp "$work/store2/salida/$snap" "$work/original.mdb"

echo "-- store 2 sends"
(cd "$work/store2" && ./lumaro-sync --headless --run subir) || fail "store 2 ended with status $?"
[ -f "$work/ftp/intercambio/$snap" ] || fail "the snapshot is not on the server"
ls "$work/store2/MDB_enviadas/" | grep -Eq "^[0-9]{6}_${snap}$" || fail "no archived copy in MDB_enviadas"
[ ! -e "$work/store2/salida/$snap" ] || fail "the sent snapshot is still in the snapshot folder"

echo "-- store 3 receives"
(cd "$work/store3" && ./lumaro-sync --headless --run subir) || fail "store 3 ended with status $?"
got="$work/store3/MDB_descargadas/$snap"
[ -f "$got" ] || fail "store 2 did not download $snap"
cmp -s "$got" "$work/original.mdb" || fail "the downloaded snapshot differs from the one sent"
rows=$(sqlite3 "$work/store3/Seguridad.mdb" "select count(*) from TablasFTP where idLocal=2 and iDescargaOK=1 and iSincronizacionOK=0" 2>/dev/null || echo "?")
[ "$rows" = 1 ] || fail "the ledger of store 3 has no download row for store 2 ($rows)"
"$mdbtool" tables "$got" | grep -q Acumulacion_Punto || fail "lumaro-mdb cannot read the received snapshot"
if command -v mdb-tables >/dev/null; then
  mdb-tables -1 "$got" | grep -q "Cumpleaños" || fail "mdb-tables cannot read the received snapshot"
fi
grep -q "se ha DESCARGADO satisfactoriamente" "$work"/store3/Err_*.log || fail "no download line in store 3's log"

echo "-- store 3 again: nothing new"
(cd "$work/store3" && ./lumaro-sync --headless --run subir) || fail "store 3's second run ended with status $?"
[ "$(ls "$work/ftp/intercambio")" = "$snap" ] || fail "the server holds more than the one snapshot"
echo "1 passed, 0 failed"
