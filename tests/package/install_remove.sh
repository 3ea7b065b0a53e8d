#!/usr/bin/env bash
# install_remove.sh <build folder>: builds the .deb with cpack, installs it, checks what it
# installed and runs it, then removes (folder kept) and purges it (nothing left).
set -euo pipefail
build=$(cd "$1" && pwd)
pkg=lumaro-sync folder=/var/lib/lumaro-sync

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v dpkg >/dev/null && command -v cpack >/dev/null || skip "dpkg or cpack is missing"
if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q installed; then
  skip "a $pkg package is installed on this machine already; it is left alone (dpkg --purge $pkg)"
fi

work=$(mktemp -d)
had_user=0; getent passwd "$pkg" >/dev/null && had_user=1
cleanup() {
  dpkg --purge "$pkg" >/dev/null 2>&1 || true
  [ "$had_user" = 1 ] || deluser --system --quiet "$pkg" >/dev/null 2>&1 || true
  getent group "$pkg" >/dev/null && [ "$had_user" = 0 ] && delgroup --system --quiet "$pkg" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6widgets6 libqt6sql6 libqt6sql6-sqlite libcurl4 libshp libsqlite3 adduser; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}' >"$work/files"

dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
unit=$(grep 'systemd/system/lumaro-sync.service$' "$work/files")
example=/usr/share/lumaro-sync/lumaro-sync.cfg.ejemplo
man=/usr/share/man/man1 doc=/usr/share/doc/lumaro-sync
for f in "$unit" /usr/share/applications/lumaro-sync.desktop $doc/README.md $doc/copyright \
  $doc/changelog.Debian.gz /usr/share/icons/hicolor/scalable/apps/lumaro-sync.svg "$example" \
  $man/lumaro-sync.1.gz $man/lumaro-mdb.1.gz $man/lumaro-db.1.gz $man/lumaro-cadena.1.gz; do
  [ -f "$f" ] || fail "$f is not installed"
  if [[ $f == *.1.gz ]] && command -v man >/dev/null; then
    warn=$(man --warnings -l "$f" 2>&1 >/dev/null) && [ -z "$warn" ] || fail "man page $f: $warn"
  fi
done
getent passwd "$pkg" | grep -q ":$folder:/usr/sbin/nologin$" || fail "system user: $(getent passwd "$pkg")"
[ "$(stat -c '%U:%G %a' "$folder")" = "$pkg:$pkg 2770" ] || fail "program folder: $(stat -c '%U:%G %a' "$folder")"

verify=$(systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify: $verify"
! grep -q "lumaro-sync" <<<"$verify" || fail "systemd-analyze verify: $verify"
score=$(systemd-analyze security --offline=true "$unit" 2>&1 | sed -n 's/.*Overall exposure level.*: \([0-9.]*\) .*/\1/p')
echo "systemd-analyze security: $score"
awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 1.5) }' || fail "unit exposure $score, above 1.5"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/lumaro-sync.desktop || fail "desktop entry"
fi

# The example settings file, as the program's reader reads it (Windows-1252: the ñ keys).
got=$("$build/tests/package/leer_cfg" "$example" Inicio/ContraseñaFtp Inicio/FtpPasivo \
  Inicio/Local_Activo Conexion_Logistica/BaseDatosSQL Correo/Contraseña)
[ "$got" = "Inicio/ContraseñaFtp=cambiar-esta-clave
Inicio/FtpPasivo=1
Inicio/Local_Activo=
Conexion_Logistica/BaseDatosSQL=LumaroLogistica
Correo/Contraseña=" ] || fail "example settings file reads as: $got"

# An upgrade closes a settings file left readable by all (reinstalling runs the same steps).
cfg=$folder/$pkg.cfg
cp "$example" "$cfg"; chown "$pkg:$pkg" "$cfg"; chmod 0644 "$cfg"; chmod 2775 "$folder"
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i over itself"; }
[ "$(stat -c '%U:%G %a' "$cfg")" = "root:$pkg 660" ] || fail "settings file: $(stat -c '%U:%G %a' "$cfg")"
[ "$(stat -c %a "$folder")" = 2770 ] || fail "program folder after upgrade: $(stat -c %a "$folder")"

# The installed programs run.
/usr/bin/lumaro-sync --version | grep -qx "lumaro-sync [0-9.]*" || fail "lumaro-sync --version"
out=$(/usr/bin/lumaro-mdb check /usr/share/applications/lumaro-sync.desktop 2>&1) && fail "lumaro-mdb check took a text file"
grep -q "no es un archivo Jet 4.0 (empieza con texto" <<<"$out" || fail "lumaro-mdb: $out"
out=$(/usr/bin/lumaro-db 2>&1) && fail "lumaro-db without a command"
grep -q "lumaro-db: falta la orden" <<<"$out" || fail "lumaro-db: $out"
status=0; /usr/bin/lumaro-cadena >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "lumaro-cadena without a command ended with $status, not 2"

# A store set up from the example file by the service's user (embedded databases, an FTP server
# that refuses): the cycle makes its snapshot and ends incomplete at the upload, and the
# program's own writes leave the settings file closed.
sed -i 's|^IpFtp=.*|IpFtp=127.0.0.1:9\r|' "$cfg"
as() { runuser -u "$pkg" -- "$@" >>"$work/run.log" 2>&1; }
as mkdir "$folder/snapshots" && as /usr/bin/lumaro-db ledger-crear "$folder/Seguridad.mdb" &&
  as /usr/bin/lumaro-db demo "$folder/cliente.db" "$folder/logistica.db" 2 20 --cfg "$cfg" ||
  fail "store set-up: $(cat "$work/run.log")"
status=0; as /usr/bin/lumaro-sync --headless --run generar --folder "$folder" || status=$?
[ "$status" = 1 ] || fail "a cycle with no FTP server ended with $status, not 1: $(cat "$work/run.log")"
ls "$folder"/snapshots/2_*.mdb >/dev/null 2>&1 || fail "no snapshot: $(cat "$work/run.log")"
[ "$(stat -c '%G %a' "$cfg")" = "$pkg 660" ] || fail "settings file once written: $(stat -c '%U:%G %a' "$cfg")"
ls "$folder"/Err_*.log >/dev/null 2>&1 || fail "no run log in $folder"
[ "$(stat -c %U "$folder"/Err_*.log | sort -u)" = "$pkg" ] || fail "run log not the service user's"

# Removal keeps the store's state; purge leaves nothing of the package.
dpkg -r "$pkg" >/dev/null || fail "dpkg -r"
[ -d "$folder" ] || fail "dpkg -r removed the program folder"
dpkg --purge "$pkg" >/dev/null || fail "dpkg --purge"
while read -r f; do [ ! -e "$f" ] || fail "$f is left after purge"; done <"$work/files"
[ ! -e "$folder" ] || fail "$folder is left after purge"
! dpkg-query -W "$pkg" >/dev/null 2>&1 || fail "dpkg still knows $pkg"
echo "package $(basename "$deb"): installed, checked, removed and purged"
