#!/usr/bin/env bash
# Takes screenshots of the main window (the real program, started in a fresh program folder)
# and of the configuration dialog under Xvfb, into build/screenshots/. With
# LUMARO_TIENDA=<program folder> the main window opens on a copy of that store's folder. Builds with
# scripts/build.sh first unless SKIP_BUILD=1 (then BUILD_DIR must hold a build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$root/build}"
out="$root/build/screenshots"

if [ "${SKIP_BUILD:-0}" != 1 ]; then
  BUILD_DIR="$build" bash "$root/scripts/build.sh"
fi
exe="$build/src/app/lumaro-sync"
dialog="$build/tests/app/app_screenshot_dialog"
for f in "$exe" "$dialog"; do
  [ -x "$f" ] || { echo "screenshots: $f is missing (build with BUILD_TESTING=ON)" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb

# Waits for a top-level window whose name contains $1 and saves it as $2.
shoot() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xwininfo -root -tree | grep -F "\"$1" | grep -v 'has no name' | head -1 | awk '{print $1}' || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "screenshots: no window \"$1\"" >&2; cat "$work/program.log" >&2 2>/dev/null; return 1; }
  sleep 1  # let it paint
  # Without a window manager there is no title bar: put the window's own title (as the X
  # server holds it) above the picture.
  local title
  title=$(xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
  import -window "$id" "$work/shot.png"
  convert "$work/shot.png" -background '#dcdcdc' -gravity north -splice 0x26 \
    -font DejaVu-Sans -pointsize 13 -fill black -annotate +0+5 "$title" "$2"
  echo "screenshots: $2 ($title)"
}

# The main window: the program itself, in a program folder of its own, or in a copy of the
# store folder named by LUMARO_TIENDA (a store of the demo, say).
if [ -n "${LUMARO_TIENDA:-}" ]; then
  cp -r "$LUMARO_TIENDA"/. "$work/"
fi
cp "$exe" "$work/lumaro-sync"
(cd "$work" && ./lumaro-sync >"$work/program.log" 2>&1) &
pids+=($!)
shoot "Lumaro - Sincronizaci" "$out/frmProcesoSync.png"

"$dialog" >/dev/null 2>&1 &
pids+=($!)
shoot "Configuraci" "$out/frmConfiguracion.png"
