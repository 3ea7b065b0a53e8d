# The Windows build under Wine: the test programs, the zip, the screenshots and the exchange
# between a Linux store and a Windows store. Sourced by scripts/windows.sh, which sets root,
# cache, prefix, logs, say, logged and low.

bwin="$root/build-windows"
mingw_dlls=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix/{libstdc++-6,libgcc_s_seh-1}.dll
  /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
# The test programs that need no display (the window's own tests run on Linux).
wine_tests=(config/test_config jet/test_jet_reader jet/test_jet_writer db/test_db_access
  db/test_connections db/test_ledger snapshot/test_copy snapshot/test_data_model outputs/test_dbf
  outputs/test_mirror importer/test_importer ftp/test_transfer ftp/test_runs cadena/test_cadena)

# A Wine prefix of its own in the cache; the DLLs found through WINEPATH; no Wine debug noise.
wine_env() {
  export WINEPREFIX="$cache/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local dirs=("$prefix/bin" "${mingw_dlls[@]%/*}")
  WINEPATH=$(printf 'Z:%s;' "${dirs[@]}")
  export WINEPATH QT_PLUGIN_PATH="Z:$prefix/plugins"
  [[ -f "$WINEPREFIX/system.reg" ]] || logged wine timeout 300 wineboot -i
}

# A Linux-side helper starts the loopback servers the test programs ask for (tests/ftp/lanzador.py).
launcher_start() {
  export LUMARO_LANZADOR="$cache/lanzador"
  rm -rf "$LUMARO_LANZADOR"
  /usr/bin/python3 "$root/tests/ftp/lanzador.py" "$LUMARO_LANZADOR" &
  launcher_pid=$!
}
launcher_stop() { kill "$launcher_pid" 2>/dev/null || true; }

step_wine_tests() {
  wine_env
  launcher_start
  local t failed=() log
  for t in "${wine_tests[@]}"; do
    log="$logs/wine-$(basename "$t").log"
    if (cd "$bwin/tests/${t%/*}" && timeout 1200 wine "./${t#*/}.exe" >"$log" 2>&1); then
      say "under Wine: ${t#*/} passed ($(grep -c '^\[  SKIPPED \].*ms)' "$log") cases skipped)"
    else
      failed+=("${t#*/}")
      say "under Wine: ${t#*/} FAILED (log: $log)"
      grep -E '^\[  FAILED  \]' "$log" | sort -u | head -n 20 >&2 || true
    fi
  done
  launcher_stop
  [[ ${#failed[@]} -eq 0 ]] || { say "failed under Wine: ${failed[*]}"; return 1; }
}

# The zip a store unpacks: the programs, the DLLs they load (Qt, its plugins, the MinGW
# runtime, libcurl, SQLite), the example settings and the README.
step_zip() {
  local name="lumaro-sync-$(sed -n 's/^project(lumaro-sync VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")-windows-x64"
  local z="$bwin/zip/$name"
  rm -rf "$bwin/zip" && mkdir -p "$z"/{platforms,sqldrivers,styles,imageformats,tls}
  cp "$bwin"/src/app/lumaro-sync.exe "$bwin"/src/tools/lumaro-db.exe \
    "$bwin"/src/jet/tool/lumaro-mdb.exe "$bwin"/src/cadena/lumaro-cadena.exe "$z/"
  cp "$prefix"/bin/{Qt6Core,Qt6Gui,Qt6Widgets,Qt6Sql,Qt6Network}.dll \
    "$prefix"/bin/{libcurl,libsqlite3-0}.dll "${mingw_dlls[@]}" "$z/"
  cp "$prefix"/plugins/platforms/qwindows.dll "$z/platforms/"
  cp "$prefix"/plugins/sqldrivers/{qsqlite,qsqlodbc}.dll "$z/sqldrivers/"
  cp "$prefix"/plugins/styles/qwindowsvistastyle.dll "$z/styles/"
  cp "$prefix"/plugins/imageformats/{qico,qjpeg,qgif}.dll "$z/imageformats/"
  cp "$prefix"/plugins/tls/qschannelbackend.dll "$z/tls/"
  # The example settings with Windows' line ends, as Notepad shows them.
  sed 's/\r*$/\r/' "$root/packaging/lumaro-sync.cfg.ejemplo" >"$z/lumaro-sync.cfg.ejemplo"
  sed 's/\r*$/\r/' "$root/packaging/windows/LEEME.txt" >"$z/LEEME.txt"
  sed 's/\r*$/\r/' "$root/packaging/windows/INICIO-AUTOMATICO.txt" >"$z/INICIO-AUTOMATICO.txt"
  # Every DLL a program or plugin needs is in the zip or is Windows' own (as Wine has it).
  wine_env
  local missing system="$WINEPREFIX/drive_c/windows/system32"
  missing=$(x86_64-w64-mingw32-objdump -p "$z"/*.exe "$z"/*.dll "$z"/*/*.dll | sed -n 's/^\tDLL Name: //p' \
    | sort -u | while read -r dll; do
      # api-ms-win-*: names the Windows loader resolves itself.
      [[ $dll == api-ms-win-* || -e "$z/$dll" || -n $(find "$system" -maxdepth 1 -iname "$dll" -print -quit) ]] || echo "$dll"
    done)
  [[ -z "$missing" ]] || { say "the zip lacks: $missing"; return 1; }
  (cd "$bwin/zip" && rm -f "$name.zip" && logged zip zip -qr "$name.zip" "$name")
  say "zip: $bwin/zip/$name.zip ($(du -h "$bwin/zip/$name.zip" | cut -f1))"
}

# The main window and the configuration dialog under Wine on a virtual display, as PNGs in
# build-windows/screenshots/. Window titles come from the X server as Wine names them.
step_screens() {
  wine_env
  local out="$bwin/screenshots" work
  work=$(mktemp -d)
  mkdir -p "$out"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  local xvfb=$!
  for _ in $(seq 1 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
  local display=":$(head -1 "$work/display")"
  cp -r "$bwin/zip"/*/. "$work/"
  local pids=()
  (cd "$work" && DISPLAY=$display wine ./lumaro-sync.exe >"$logs/screen-main.log" 2>&1) &
  pids+=($!)
  shoot_wine "$display" "Lumaro - Sincronizaci" "$out/frmProcesoSync.png" || true
  # Under Wine, Qt's default Windows font engine leaves the text of line edits unpainted;
  # Qt's own FreeType engine draws every text (a real Windows PC needs no such setting).
  local freetype="-platform windows:fontengine=freetype"
  (cd "$bwin/tests/app" && DISPLAY=$display wine ./app_screenshot_dialog.exe $freetype >"$logs/screen-dialog.log" 2>&1) &
  pids+=($!)
  shoot_wine "$display" "Configuraci" "$out/frmConfiguracion.png" || true
  # The example settings (Windows-1252, CR LF) name a SQL Server this machine lacks: the
  # program's message box, whose accented text Qt draws ("Se detendrá el proceso actual").
  mkdir "$work/aviso"
  cp -r "$bwin/zip"/*/. "$work/aviso/"
  cp "$work/aviso/lumaro-sync.cfg.ejemplo" "$work/aviso/lumaro-sync.cfg"
  (cd "$work/aviso" && DISPLAY=$display wine ./lumaro-sync.exe >"$logs/screen-aviso.log" 2>&1) &
  pids+=($!)
  shoot_wine "$display" "Sincronizacion Lumaro" "$out/aviso.png" || true
  DISPLAY=$display wineserver -k 2>/dev/null || true
  kill "${pids[@]}" "$xvfb" 2>/dev/null || true
  wait "${pids[@]}" "$xvfb" 2>/dev/null || true
  rm -rf "$work"
  [[ -s "$out/frmProcesoSync.png" && -s "$out/frmConfiguracion.png" && -s "$out/aviso.png" ]]
}

shoot_wine() {
  local display=$1 title=$2 png=$3 id=""
  for _ in $(seq 1 600); do
    id=$(DISPLAY=$display xwininfo -root -tree | grep -F "\"$title" | head -1 | awk '{print $1}' || true)
    [[ -n "$id" ]] && break
    sleep 0.1
  done
  [[ -n "$id" ]] || { say "no window \"$title\" under Wine"; return 1; }
  sleep 3  # let it paint
  # Without a window manager there is no title bar: the window's own title, as Wine gave it
  # to the X server, goes above the picture.
  local name
  name=$(DISPLAY=$display xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
  # A window Wine is still remapping cannot be read yet: a few tries.
  for _ in 1 2 3 4 5; do
    DISPLAY=$display import -window "$id" "$png.tmp.png" 2>/dev/null && break
    sleep 2
  done
  convert "$png.tmp.png" -background '#dcdcdc' -gravity north -splice 0x26 \
    -font DejaVu-Sans -pointsize 13 -fill black -annotate +0+5 "$name" "$png"
  rm -f "$png.tmp.png"
  say "screenshot: $png ($name)"
}

# A Linux store and a Windows store (under Wine) exchange a day's snapshots through the
# loopback FTP server; the chain checker must find them converged.
step_exchange() {
  wine_env
  [[ -x "$root/build/src/app/prueba/lumaro-sync-prueba" ]] || BUILD_DIR="$root/build" logged exchange \
    "${low[@]}" bash "$root/scripts/build.sh"
  # Debian's interpreter: it carries pyftpdlib for the loopback server.
  logged exchange /usr/bin/python3 "$root/scripts/cadena_windows.py" --build "$root/build" \
    --build-windows "$bwin" --trabajo "$cache/cadena"
  tail -n 5 "$logs/exchange.log"
}
