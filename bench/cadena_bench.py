#!/usr/bin/python3
"""Chain benchmark: N stores on loopback (store 1 the principal one, feeding a MariaDB
mirror), each with about F changed rows of the day across the ten tables; one day's cycle for
every store: "generar" (copy, DBF files, upload, then the merge of what has arrived) and, where
snapshots arrived later, "subir". Every store downloads and merges the N-1 other snapshots.

  cadena_bench.py BUILD [--tiendas 50] [--filas 2000] [--trabajo DIR] [--sin-espejo]

Prints the per-store cycle time (median and maximum), the total, the bytes each store sent
and received, and whether the chain converged.
"""

import argparse
import datetime
import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../scripts"))
import cadena  # noqa: E402


def tamano(carpeta, filtro=lambda n: True):
    if not os.path.isdir(carpeta):
        return 0
    return sum(os.path.getsize(os.path.join(carpeta, n)) for n in os.listdir(carpeta) if filtro(n))


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("build")
    p.add_argument("--tiendas", type=int, default=50)
    p.add_argument("--filas", type=int, default=2000)
    p.add_argument("--trabajo")
    p.add_argument("--sin-espejo", action="store_true")
    a = p.parse_args()
    trabajo = a.trabajo or tempfile.mkdtemp(prefix="cadena-bench-")
    dia = datetime.date.today()
    t0 = time.monotonic()
    # Stores start with no rows to send (downloads start today): the day's activity is all.
    c = cadena.Cadena(a.build, trabajo, a.tiendas, not a.sin_espejo, clientes=0, inicio=dia)
    try:
        c.actividad(dia, a.filas)
        print("set-up: %d stores in %.1f s" % (a.tiendas, time.monotonic() - t0), flush=True)
        tiempos = {}
        t1 = time.monotonic()
        completo = c.dia(dia, 0, tiempos)
        total = time.monotonic() - t1
        ciclos = sorted(tiempos.values())
        lenta = max(tiempos, key=tiempos.get)
        servidor = os.path.join(c.dir, "ftp", "intercambio")
        enviados = [tamano(servidor, lambda n, i=i: n.startswith("%d_" % i)) for i in c.ids]
        recibidos = [tamano(os.path.join(c.tienda(i), "MDB_Syncronizadas")) for i in c.ids]
        print("stores: %d, changed rows per store: about %d" % (a.tiendas, a.filas))
        print("per-store cycle: median %.2f s, max %.2f s (store %d) (target: median under 10 s)"
              % (statistics.median(ciclos), ciclos[-1], lenta))
        print("whole day for the chain: %.1f s" % total)
        print("bytes sent per store: median %d; received per store: median %d; all stores: "
              "%d sent, %d received" % (statistics.median(enviados), statistics.median(recibidos),
                                        sum(enviados), sum(recibidos)))
        ok, _ = c.verificar(mostrar=False)
        print("every snapshot merged: %s; converged: %s" % (completo, ok))
        return 0 if completo and ok else 1
    finally:
        c.parar()
        if not a.trabajo:
            shutil.rmtree(trabajo, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
