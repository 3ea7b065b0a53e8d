#!/usr/bin/python3
"""Soak: a chain of six stores left alone for N simulated days (scripts/cadena.py). Store 1 is
the principal store with the MySQL mirror. Each store runs as one long-running service
("lumaro-sync --headless" on its daily schedule, on the test clock) from its first day to the
last; nobody types a command. Every day each store whose machine is on has a small day of
activity, and a seeded schedule of faults comes and goes (bench/soak_plan.py). The last days
have no fault, so that everything can converge; then the chain is checked.

  soak.py BUILD [--dias 365] [--semilla 1] [--minuto-ms 2] [--filas 4] [--tranquilos 3]
          [--fallas KIND,...] [--trabajo DIR] [--parado-s 30] [--limite-s S] [--vigilante]

The services' clocks are kept together with SIGSTOP/SIGCONT: each runs until its run log shows
it idle at the next meeting time (every day at 00:00, 03:00, 12:00 and 15:00, and where a fault
needs one), and waits there for the others; the harness acts only while all are stopped. A
service whose run log stays silent for --parado-s seconds is reported stuck and held (with
--vigilante, restarted). A store's disk is a tmpfs mounted on its folder (shrunk to what it
holds for a disk-full fault); where mounting is refused, disk-full faults are left out, saying
so. Ctrl-C, SIGTERM and --limite-s stop every service and server the run started.

Prints the store-days merged out of those owed (each store's day at every other store), the
rows lost and duplicated (lumaro-cadena verificar: missing and extra rows), the longest time
a day stayed owed after its last fault cleared, each service's resident memory at day 30 (a
third of the days for short runs) and at the last day, run-log bytes per store-day, and per
fault kind how many of its faults the chain came through. Exit 0 when every target is met.
"""

import argparse
import datetime
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache files in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../scripts"))
import cadena  # noqa: E402
import soak_informe  # noqa: E402
import soak_plan  # noqa: E402
import soak_servicio  # noqa: E402
from soak_plan import UN_DIA  # noqa: E402

TIENDAS = 6
RESERVA_DISCO = 16 * 1024   # left free on a full disk
LOG_RESERVADO = "2M"         # kept for the run log of each day of a disk-full fault
NOMBRE = re.compile(r"(\d+)_(\d{8})\.mdb$")


def montar_permitido(base):
    prueba = tempfile.mkdtemp(dir=base)
    try:
        ok = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", prueba],
                            capture_output=True).returncode == 0
        if ok:
            subprocess.run(["umount", prueba], capture_output=True)
        return ok
    finally:
        os.rmdir(prueba)


def desmontar_bajo(carpeta):
    carpeta = os.path.abspath(carpeta)
    with open("/proc/mounts") as m:
        puntos = [linea.split()[1] for linea in m]
    for p in sorted(puntos, reverse=True):
        if p == carpeta or p.startswith(carpeta + "/"):
            subprocess.run(["umount", "-l", p], capture_output=True)


class SinTiempo(Exception):
    """The run's real-time limit came."""


class Soak:
    def __init__(self, a):
        self.a = a
        self.inicio = datetime.date.fromisoformat(a.inicio)
        self.trabajo = os.path.abspath(a.trabajo)
        os.makedirs(self.trabajo, exist_ok=True)
        desmontar_bajo(self.trabajo)
        self.disco = montar_permitido(self.trabajo)
        self.medir = 30 if a.dias >= 60 else max(2, a.dias // 3)
        self.plan = soak_plan.Plan(a.semilla, self.inicio, a.dias, range(1, TIENDAS + 1),
                                   a.tranquilos, self.medir, self.disco,
                                   a.fallas.split(",") if a.fallas is not None else None)
        self.c = None
        self.servicios = {}
        self.fusion = {}      # (store, origin, day) -> first meeting time it was seen merged
        self.memoria = {}     # store -> {"medir" or "fin": (pid, KiB, times found stuck)};
        #                       pid None: down, or started less than 3 days before day medir
        self.eventos = []     # what happened to the services, for the report
        self.rechazadas = []  # (store, verificar's line of the row refused there)
        self.buenos = os.path.join(self.trabajo, "buenos")
        self.t0 = time.monotonic()
        self.dias_hechos = 0  # whole simulated days run

    # Set-up and tear-down.
    def montar(self, carpeta):
        if self.disco:
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % self.a.disco_mb, "tmpfs",
                            carpeta], check=True)

    def arrancar(self):
        self.c = cadena.Cadena(self.a.build, os.path.join(self.trabajo, "cadena"), TIENDAS,
                               espejo=True, clientes=5, inicio=self.inicio, montar=self.montar)
        os.makedirs(self.buenos, exist_ok=True)
        salidas = os.path.join(self.trabajo, "servicios")
        os.makedirs(salidas, exist_ok=True)
        for i in self.c.ids:
            self.servicios[i] = soak_servicio.Servicio(self.c, i, self.a.minuto_ms, salidas,
                                                       self.eventos)

    def parar(self, conservar):
        for s in self.servicios.values():
            s.terminar()
        if self.c:
            self.c.parar()
            if conservar and self.disco:  # the folders outlive their tmpfs, for a look
                for i in self.c.ids:
                    shutil.copytree(self.c.tienda(i), os.path.join(self.trabajo, "store%d" % i),
                                    ignore=shutil.ignore_patterns("lumaro-sync"),
                                    dirs_exist_ok=True)
        desmontar_bajo(self.trabajo)

    # The meeting points.
    def hasta(self, t, solo=None):
        """Runs the services (all, or those in `solo`) until each is idle at simulated time t,
        and leaves them stopped there."""
        activos = [s for i, s in self.servicios.items()
                   if s.vivo() and (solo is None or i in solo)]
        for s in activos:
            s.seguir()
        pendientes = set(activos)
        while pendientes:
            if self.a.limite_s and time.monotonic() - self.t0 > self.a.limite_s:
                raise SinTiempo()
            for s in list(pendientes):
                s.leer()
                if s.idle_en(t):
                    s.parar()
                    pendientes.discard(s)
                # One that writes but whose clock does not get there is stuck too.
                elif s.sin_progreso() > self.a.parado_s or s.en_marcha() > 10 * self.a.parado_s:
                    s.atascado(self.a.vigilante)
                    if not s.vivo():
                        pendientes.discard(s)
            time.sleep(0.002)
        self.observar(t)

    def observar(self, t):
        for i in self.c.ids:
            carpeta = os.path.join(self.c.tienda(i), "MDB_Syncronizadas")
            for nombre in os.listdir(carpeta) if os.path.isdir(carpeta) else []:
                m = NOMBRE.fullmatch(nombre)
                if m:
                    dia = datetime.datetime.strptime(m.group(2), "%d%m%Y").date()
                    self.fusion.setdefault((i, int(m.group(1)), dia), t)

    # Faults starting and ending.
    def empezar(self, f, t):
        i = f.tienda
        if f.tipo.startswith("ftp"):
            self.c.ftp.parar()
        elif f.tipo == "mysql":
            self.c.espejo.parar()
        elif f.tipo == "apagada":
            self.servicios[i].terminar()
        elif f.tipo == "disco":
            self.llenar(i, t)
        elif f.tipo == "rechazo":
            try:
                self.rechazar(f)
            except sqlite3.Error as e:
                f.nota = "the trigger could not be added: %s" % e
                return
        elif f.tipo == "kill":
            self.servicios[i].cortar_en(f)
        elif f.tipo == "danado":
            self.danar(f, t)
            return
        f.hecho = f.hecho or f.tipo != "kill"

    def terminar_falla(self, f, t):
        i = f.tienda
        if f.tipo.startswith("ftp"):
            self.c.ftp.arrancar()
        elif f.tipo == "mysql":
            self.c.espejo.arrancar()
        elif f.tipo == "apagada":
            self.servicios[i].arrancar(t)
        elif f.tipo == "disco":
            self.tamano_disco(i, "%dm" % self.a.disco_mb)
            s = self.servicios[i]
            if s.parado and s.pid():  # its run log stalled on the full disk
                s.parado = False
                s.evento("its disk has room again: waited for again")
        elif f.tipo == "rechazo":
            with sqlite3.connect(os.path.join(self.c.tienda(i), "cliente.db"), timeout=30) as db:
                db.executescript("drop trigger if exists rechazo_prueba_alta; "
                                 "drop trigger if exists rechazo_prueba_cambio;")
        elif f.tipo == "danado" and f.hecho:
            destino = os.path.join(self.c.dir, "ftp", "intercambio", f.datos["archivo"])
            shutil.copyfile(os.path.join(self.buenos, f.datos["archivo"]), destino + ".tmp")
            os.replace(destino + ".tmp", destino)

    def llenar(self, i, t):
        """The store's disk shrunk to what it holds and a little more. Only the run log keeps
        room (blocks reserved beforehand for the fault's days): it is how the soak follows the
        service's clock."""
        for dia in (t.date(), t.date() + UN_DIA):
            log = os.path.join(self.c.tienda(i), dia.strftime("Err_%Y%m%d.log"))
            open(log, "ab").close()
            subprocess.run(["fallocate", "--keep-size", "-l", LOG_RESERVADO, log], check=True)
        st = os.statvfs(self.c.tienda(i))
        usado = (st.f_blocks - st.f_bfree) * st.f_frsize
        self.tamano_disco(i, "%dk" % ((usado + RESERVA_DISCO) // 1024))

    def tamano_disco(self, i, tamano):
        subprocess.run(["mount", "-o", "remount,size=" + tamano, self.c.tienda(i)], check=True)

    def rechazar(self, f):
        """One row of the origin's day (its newest point accumulation) refused by store i."""
        i, o = f.tienda, f.datos["origen"]
        with sqlite3.connect(os.path.join(self.c.tienda(o), "cliente.db"), timeout=30) as db:
            fila = db.execute("select cClieCode, cAcumCode from Acumulacion_Punto where "
                              "IdLocal = ? and bFlagSincro = 0 order by cAcumCode desc limit 1",
                              (o,)).fetchone()
        if not fila:
            f.nota = "store %d had no new point accumulation that day" % o
            return
        cuando = "when new.IdLocal = %d and new.cClieCode = %d and new.cAcumCode = %d" % (o, *fila)
        cuerpo = "begin select raise(abort, 'fila rechazada por la produccion'); end;"
        with sqlite3.connect(os.path.join(self.c.tienda(i), "cliente.db"), timeout=30) as db:
            db.executescript(
                "create trigger rechazo_prueba_alta before insert on Acumulacion_Punto %s %s "
                "create trigger rechazo_prueba_cambio before update on Acumulacion_Punto %s %s"
                % (cuando, cuerpo, cuando, cuerpo))
        f.datos["fila"] = "cClieCode=%d cAcumCode=%d" % fila
        self.rechazadas.append((i, "falta: tienda %d, Acumulacion_Punto: Acumulacion_Punto "
                                   "cClieCode=%d cAcumCode=%d IdLocal=%d" % (i, *fila, o)))

    def danar(self, f, t):
        """Store o's snapshot of the day, damaged on the server right after o uploaded it,
        before any other store's daily time."""
        o = f.tienda
        self.hasta(t + datetime.timedelta(minutes=50), solo={o})
        nombre = "%d_%s.mdb" % (o, t.strftime("%d%m%Y"))
        ruta = os.path.join(self.c.dir, "ftp", "intercambio", nombre)
        if not os.path.exists(ruta):
            f.nota = "%s was not on the server after store %d's daily time" % (nombre, o)
            return
        shutil.copyfile(ruta, os.path.join(self.buenos, nombre))
        with open(ruta, "r+b") as h:
            largo = os.path.getsize(ruta)
            if f.datos["modo"] == "bytes":
                h.seek(largo // 2)
                h.write(b"\xff" * min(8192, largo // 4))
            else:
                h.truncate(largo // 2 if f.datos["modo"] == "mitad" else 4000)
        f.datos["archivo"] = nombre
        f.hecho = True

    # The run.
    def correr(self):
        a = self.a
        fallas = self.plan.fallas
        for n in range(a.dias + 1):
            dia = datetime.datetime.combine(self.inicio + n * UN_DIA, datetime.time())
            # Midnight (the day's activity), noon (half-day outages), and an hour after each
            # daily time (when a merge happened, to the hour).
            momentos = {dia + datetime.timedelta(hours=h) for h in ((0, 3, 12, 15) if n < a.dias
                                                                   else (0,))}
            momentos |= {f.desde for f in fallas if f.desde.date() == dia.date() and
                         f.tipo == "danado"}
            for t in sorted(momentos):
                if n or t != dia:
                    self.hasta(t)
                if t == dia:
                    self.dias_hechos = n  # the days before this one are whole
                vuelven = [f for f in fallas if f.hasta == t and f.desde != f.hasta]
                for f in vuelven:
                    if f.tipo != "apagada":
                        self.terminar_falla(f, t)
                if t == dia and n < a.dias:
                    self.dia_nuevo(n, dia)
                for f in vuelven:  # a machine comes back after its day's activity
                    if f.tipo == "apagada":
                        self.terminar_falla(f, t)
                for f in fallas:
                    # A kill waits from the start of its day for its cycle.
                    if f.desde == t or (f.tipo == "kill" and t == dia and f.desde.date() == t.date()):
                        self.empezar(f, t)
            if n == self.medir or n == a.dias:
                self.medir_memoria("medir" if n == self.medir else "fin")
            if n % 10 == 0 or n == a.dias or a.dias <= 30:
                debidos = 30 * n
                hechos = sum(1 for (i, o, d) in self.fusion if d < dia.date())
                print("soak: day %d of %d, %d of %d store-days merged so far (%.0f s)" % (
                    n, a.dias, min(hechos, debidos), debidos, time.monotonic() - self.t0),
                    flush=True)

    def dia_nuevo(self, n, dia):
        """The day's activity in every store whose machine is on (before its service starts
        again, where it does), or on the first day the services' start."""
        encendidas = [i for i in self.c.ids if not any(
            f.tipo == "apagada" and f.tienda == i and f.desde <= dia < f.hasta
            for f in self.plan.fallas)]
        if n:
            for i in encendidas:
                try:
                    self.c.actividad(dia.date(), self.a.filas, [i])
                except subprocess.CalledProcessError as e:
                    self.servicios[i].evento("the day's activity failed (status %d)" % e.returncode)
            return
        for i in encendidas:
            self.servicios[i].arrancar(dia)

    def medir_memoria(self, cuando):
        for i, s in self.servicios.items():
            # A process started in the last days is still warming up: not measured.
            tibio = s.pid() and s.arrancado.date() <= self.inicio + (self.medir - 3) * UN_DIA
            self.memoria.setdefault(i, {})[cuando] = (s.pid() if tibio else None, s.rss(),
                                                      s.atascos)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("build")
    p.add_argument("--dias", type=int, default=365)
    p.add_argument("--semilla", type=int, default=1)
    p.add_argument("--minuto-ms", type=int, default=2)
    p.add_argument("--filas", type=int, default=4, help="rows of activity per store and day")
    p.add_argument("--tranquilos", type=int, default=3, help="fault-free days at the end")
    p.add_argument("--inicio", default="2025-06-01", help="the first simulated day")
    p.add_argument("--fallas", help="the fault kinds to schedule, comma-separated (all by "
                   "default; empty for a fault-free baseline)")
    p.add_argument("--trabajo")
    p.add_argument("--disco-mb", type=int, default=2048)
    p.add_argument("--parado-s", type=float, default=30,
                   help="real seconds without a run-log line before a service counts as stuck")
    p.add_argument("--limite-s", type=float, help="real seconds the run may take at most")
    p.add_argument("--vigilante", action="store_true",
                   help="restart a stuck service (as a watchdog would) instead of leaving it")
    a = p.parse_args()
    propio = not a.trabajo
    a.trabajo = a.trabajo or tempfile.mkdtemp(prefix="soak-")
    a.build = os.path.abspath(a.build)
    soak = Soak(a)
    # Ctrl-C and SIGTERM end the run through the same tear-down as a failure.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))
    ok = False
    t0 = time.monotonic()
    try:
        print("soak: %d days, seed %d, %d faults%s" % (
            a.dias, a.semilla, len(soak.plan.fallas),
            "" if soak.disco else "; disk-full faults left out: mounting a tmpfs is not allowed "
                                  "here"), flush=True)
        soak.arrancar()
        try:
            soak.correr()
        except SinTiempo:
            print("soak: out of time (--limite-s %g) on day %d of %d; figures for the days run"
                  % (a.limite_s, soak.dias_hechos, a.dias), flush=True)
            soak.medir_memoria("fin")
        for s in soak.servicios.values():
            s.terminar()
        ok = soak_informe.informe(soak, time.monotonic() - t0) and soak.dias_hechos == a.dias
        return 0 if ok else 1
    finally:
        soak.parar(conservar=not ok)
        if propio and ok:
            shutil.rmtree(a.trabajo, ignore_errors=True)
        elif not ok:
            print("soak: kept for a look: " + a.trabajo)


if __name__ == "__main__":
    sys.exit(main())
