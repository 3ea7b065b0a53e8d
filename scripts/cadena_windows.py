#!/usr/bin/python3
"""A chain of two stores across platforms: store 2 runs the Linux build, store 3 the Windows
build under Wine (WINEPREFIX and WINEPATH as scripts/windows.sh sets them). Both exchange a
day's snapshots through the loopback FTP server; the chain checker (Linux) must find them
converged.

  cadena_windows.py --build BUILD --build-windows BUILD_WINDOWS --trabajo DIR
"""

import argparse
import datetime
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cadena  # noqa: E402

WINDOWS = 3


class CadenaDosSistemas(cadena.Cadena):
    def __init__(self, build, build_windows, trabajo):
        self.exe_windows = os.path.join(build_windows, "src/app/prueba/lumaro-sync-prueba.exe")
        super().__init__(build, trabajo, 2, clientes=10)

    def montar_tienda(self, i):
        super().montar_tienda(i)
        if i == WINDOWS:
            os.remove(os.path.join(self.tienda(i), "lumaro-sync"))
            shutil.copy(self.exe_windows, os.path.join(self.tienda(i), "lumaro-sync.exe"))

    def lanzar(self, i, orden, reloj):
        programa = ["wine", "lumaro-sync.exe"] if i == WINDOWS else ["./lumaro-sync"]
        return subprocess.Popen(programa + ["--headless", "--run", orden], cwd=self.tienda(i),
                                env=self.entorno(reloj), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--build", required=True)
    p.add_argument("--build-windows", required=True)
    p.add_argument("--trabajo", required=True)
    a = p.parse_args()
    c = CadenaDosSistemas(a.build, a.build_windows, a.trabajo)
    try:
        dia = c.inicio
        completo = c.dia(dia, filas=50)
        for i in c.ids:
            print("tienda %d (%s): %s" % (i, "Windows" if i == WINDOWS else "Linux",
                                          ", ".join(sorted(os.listdir(
                                              os.path.join(c.tienda(i), "MDB_Syncronizadas"))))))
        ok, _ = c.verificar()
        print("cadena entre Linux y Windows: %s" % ("convergen" if completo and ok else "NO convergen"))
        return 0 if completo and ok else 1
    finally:
        c.parar()


if __name__ == "__main__":
    sys.exit(main())
