#!/usr/bin/env bash
# Sets everything up, builds, and runs the program's main job on the embedded defaults in a
# fresh program folder (build/demo): the window where a display exists, headless otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
demo="$build/demo"
rm -rf "$demo" && mkdir -p "$demo"
cp "$build/src/app/lumaro-sync" "$demo/"
cat > "$demo/lumaro-sync.cfg" <<CFG
[Inicio]
Hora1=2
Minuto1=0
Hora2=14
Minuto2=0
AutoSync=0
RtDbf=$demo/salida
CFG
mkdir -p "$demo/salida"
if [ -n "${DISPLAY:-}" ]; then
  exec "$demo/lumaro-sync"
else
  "$demo/lumaro-sync" --headless --run subir || true
  echo "demo: run log:"; cat "$demo"/Err_*.log
fi
