#!/usr/bin/env bash
# Two program folders set up as stores 2 and 3 exchange a day's work through a loopback FTP
# server with the real executable on embedded databases: each generates its snapshot with
# "lumaro-sync --headless --run generar" (copy, DBF files, upload), and each merges the other's.
#   two_stores.sh <build folder> [work folder]
# With a work folder the stores are kept there (the demo looks at them); otherwise a temporary
# folder is used and removed.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
exe="$build/src/app/lumaro-sync"
dbtool="$build/src/db/tool/lumaro-db"
mdbtool="$build/src/jet/tool/lumaro-mdb"
if [ $# -ge 2 ]; then work="$2"; rm -rf "$work"; mkdir -p "$work"; keep=1; else work=$(mktemp -d); keep=0; fi

fail() { echo "FAIL: $*"; for f in "$work"/store*/Err_*.log; do echo "== $f"; iconv -f CP1252 -t UTF-8 "$f"; done; exit 1; }

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
  "$dbtool" demo "$dir/cliente.db" "$dir/logistica.db" "$id" 20 --locales 3 --semilla "$id" \
    --cfg "$dir/lumaro-sync.cfg" >/dev/null
  "$dbtool" ledger-crear "$dir/Seguridad.mdb"
  # Downloads of the other store start today.
  "$dbtool" ledger-iniciar "$dir/Seguridad.mdb" "$other" "$start"
}
# Store 1 is the principal store, which also feeds a MySQL mirror: these two are not.
make_store 2 3
make_store 3 2
q() { sqlite3 "$work/store$1/$2" "$3"; }

run() { # store, command
  (cd "$work/store$1" && ./lumaro-sync --headless --run "$2") || fail "store $1 ($2) ended with status $?"
}

echo "-- store 2 generates and sends"
run 2 generar
snap="2_${today}.mdb"
[ -f "$work/ftp/intercambio/$snap" ] || fail "the snapshot is not on the server"
[ "$(ls "$work/ftp/intercambio" | grep -Ec '^2_[CTAK]_[0-9A-Z]{3}\.dbf$')" = 4 ] || fail "the four DBF files are not on the server"
ls "$work/store2/MDB_enviadas/" | grep -Eq "^[0-9]{6}_${snap}$" || fail "no archived copy in MDB_enviadas"
grep -q "^BD_Temp=$snap" "$work/store2/lumaro-sync.cfg" || fail "BD_Temp does not name $snap"
[ "$(q 2 cliente.db 'select count(*) from Cliente where bFlagSincro=0')" = 0 ] || fail "store 2's clients are not marked sent"
[ "$(q 2 logistica.db 'select count(*) from registro_canje_cumpleaños_d where bFlagSincro=0')" = 0 ] || fail "store 2's register lines are not marked sent"
[ "$("$mdbtool" export "$work/ftp/intercambio/$snap" Cliente | tail -n +2 | wc -l)" = 20 ] || fail "the snapshot does not hold store 2's 20 clients"
if command -v mdb-tables >/dev/null; then
  mdb-tables -1 "$work/ftp/intercambio/$snap" | grep -q "Cumpleaños" || fail "mdb-tables cannot read the snapshot"
fi

echo "-- store 3 receives, merges and sends"
run 3 generar
echo "-- store 2 receives and merges"
run 2 subir

for pair in "2 3" "3 2"; do
  set -- $pair
  me=$1 other=$2
  for t in Cliente Tarjeta Acumulacion_Punto Canje_Punto Contactos; do
    mine=$(q "$other" cliente.db "select count(*) from $t where IdLocal=$other")
    got=$(q "$me" cliente.db "select count(*) from $t where IdLocal=$other")
    [ "$got" = "$mine" ] || fail "store $me holds $got of store $other's $mine rows of $t"
  done
  got=$(q "$me" logistica.db "select count(*) from registro_canje_cumpleaños_d where i_id_local_canje=$other")
  [ "$got" = "$(q "$other" logistica.db "select count(*) from registro_canje_cumpleaños_d where i_id_local_canje=$other")" ] ||
    fail "store $me lacks store $other's register lines"
  merged="$work/store$me/MDB_Syncronizadas/${other}_${today}.mdb"
  [ -f "$merged" ] || fail "store $me did not file ${other}_${today}.mdb as merged"
  "$mdbtool" export "$merged" Acumulacion_Punto | tail -n +2 | grep -q ',0$' && fail "store $me left rows of ${other}_${today}.mdb unmarked"
  [ "$(q "$me" Seguridad.mdb "select min(iSincronizacionOK) || count(*) from TablasFTP where idLocal=$other")" = 12 ] || fail "store $me's ledger rows are not merged"
  [ -z "$(find "$work/store$me/MDB_descargadas" "$work/store$me/Error" -type f)" ] || fail "store $me left files in MDB_descargadas or Error"
done

echo "-- store 3 again: nothing new"
run 3 subir
[ "$(ls "$work/ftp/intercambio" | grep -c '\.mdb$')" = 2 ] || fail "the server holds more than the two snapshots"
echo "1 passed, 0 failed"
