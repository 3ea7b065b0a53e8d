#!/usr/bin/python3
"""Crash trials: a chain of stores (scripts/cadena.py) lives one day per trial; in each trial
one store's "generar" or "subir" is killed with SIGKILL at a random moment (after a random
number of its run-log lines: the copy, the upload, the download, a merge, the filing), the
same command is started again, the day ends as usual, and the chain must have converged: no
row lost, none duplicated, every column as the merge rules say.

  cortes.py BUILD [--ensayos 5] [--tiendas 3] [--espejo] [--semilla 1] [--trabajo DIR]

Prints one line per trial and "faults survived / tried: S / T"; exit 0 when all survived.
"""

import argparse
import datetime
import os
import random
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../scripts"))
import cadena  # noqa: E402


def lineas_log(carpeta, reloj):
    """The lines so far of the run log of the clock's day."""
    try:
        with open(os.path.join(carpeta, reloj.strftime("Err_%Y%m%d.log")), "rb") as h:
            return h.read().split(b"\r\n")
    except FileNotFoundError:
        return []


class Cortador:
    """Runs one chosen command of the day with a SIGKILL after `despues` new log lines."""

    def __init__(self, c, tienda, orden, despues):
        self.c, self.tienda, self.orden, self.despues = c, tienda, orden, despues
        self.hecho = False
        self.ultima = b""
        self.llego = False

    def __call__(self, i, orden, reloj):
        if self.hecho or i != self.tienda or orden != self.orden:
            return None
        self.hecho = True
        carpeta = self.c.tienda(i)
        antes = len(lineas_log(carpeta, reloj))
        t0 = time.monotonic()
        proc = self.c.lanzar(i, orden, reloj)
        while proc.poll() is None:
            lineas = lineas_log(carpeta, reloj)
            if len(lineas) - antes >= self.despues:
                proc.kill()
                proc.wait()
                self.llego = True
                self.ultima = lineas[-2] if len(lineas) > 1 else b""
                break
            time.sleep(0.0005)
        # The store comes back: the same command, to its end.
        status, segundos = self.c.correr(i, orden, reloj)
        return status, time.monotonic() - t0 + segundos


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("build")
    p.add_argument("--ensayos", type=int, default=5)
    p.add_argument("--tiendas", type=int, default=3)
    p.add_argument("--espejo", action="store_true")
    p.add_argument("--semilla", type=int, default=1)
    p.add_argument("--filas", type=int, default=60)
    p.add_argument("--trabajo")
    a = p.parse_args()
    azar = random.Random(a.semilla)
    trabajo = a.trabajo or tempfile.mkdtemp(prefix="cortes-")
    inicio = datetime.date.today() - datetime.timedelta(days=a.ensayos)
    c = cadena.Cadena(a.build, trabajo, a.tiendas, a.espejo, clientes=10, inicio=inicio)
    sobrevividos = 0
    try:
        # A first day without faults measures how many log lines each command writes.
        largo = {}

        def medir(i, orden, reloj):
            antes = len(lineas_log(c.tienda(i), reloj))
            r = c.correr(i, orden, reloj)
            largo[(i, orden)] = max(largo.get((i, orden), 2), len(lineas_log(c.tienda(i), reloj)) - antes)
            return r

        c.dia(inicio, al_correr=medir)
        for n in range(1, a.ensayos + 1):
            dia = inicio + datetime.timedelta(days=n)
            orden = azar.choice(("generar", "subir"))
            # Every store but the last to generate has a "subir" round to finish its day.
            tienda = azar.choice(c.ids if orden == "generar" else c.ids[:-1])
            cortador = Cortador(c, tienda, orden, azar.randint(1, largo.get((tienda, orden), 2)))
            c.dia(dia, a.filas, al_correr=cortador)
            ok, salida = c.verificar(mostrar=False)
            sobrevividos += ok
            print("trial %d: %s of store %d killed %s after line %r: %s" % (
                n, orden, tienda, "" if cortador.llego else "(it ended first)",
                cortador.ultima.decode("cp1252", "replace")[-90:],
                "converged" if ok else "NOT converged"), flush=True)
            if not ok:
                print(salida[-3000:])
        print("faults survived / tried: %d / %d" % (sobrevividos, a.ensayos))
        return 0 if sobrevividos == a.ensayos else 1
    finally:
        c.parar()
        if not a.trabajo and sobrevividos == a.ensayos:
            shutil.rmtree(trabajo, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
