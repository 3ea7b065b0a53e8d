#!/usr/bin/python3
"""A chain of stores on this machine: program folders with their own embedded databases,
ledger and settings, one loopback FTP server, and (optionally) a MariaDB server on loopback
holding the principal store's MySQL mirror. Days are simulated: each command runs the test
build of the program (lumaro-sync-prueba) with its clock set to that day.

Used by the demo, the end-to-end tests, the crash trials, the chain benchmark and the soak
(bench/soak.py, which runs each store as a long-running service instead):

  cadena.py --build BUILD --trabajo DIR [--tiendas 4] [--dias 2] [--espejo] [--clientes 20]
            [--filas 200] [--verificar]

A day: every store's day of activity (from the second day on), then every store's
"--headless --run generar" at 02:00, then "--headless --run subir" at 14:00 for every store
that has not yet merged every other store's snapshot of the day.
"""

import argparse
import datetime
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SRC = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def puerto_libre():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def terminar(proc, espera=30):
    """Stops a child with SIGTERM, then SIGKILL after `espera` seconds."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(espera)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class ServidorFtp:
    """The loopback FTP server (tests/ftp/ftp_server.py) on a port that stays the same when it
    is stopped and started again: an outage, for the stores."""

    def __init__(self, raiz):
        self.raiz = raiz
        self.port = 0
        self.proc = None
        os.makedirs(os.path.join(raiz, "intercambio"), exist_ok=True)
        self.arrancar()

    def arrancar(self):
        # The server takes any free port; this one binds the port it had before.
        codigo = ("import sys; sys.path.insert(0, sys.argv.pop(1)); import ftp_server as f; "
                  "p = int(sys.argv.pop(1)); s = f.ThreadedFTPServer; "
                  "f.ThreadedFTPServer = lambda a, h: s((a[0], p), h); f.main()")
        for _ in range(50):
            self.proc = subprocess.Popen(
                [sys.executable, "-c", codigo, os.path.join(SRC, "tests/ftp"), str(self.port),
                 "--root", self.raiz], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            linea = self.proc.stdout.readline()
            if linea.strip().isdigit():
                self.port = int(linea)
                return
            self.proc.wait(30)  # the port is still held: try again shortly
            time.sleep(0.2)
        raise RuntimeError("the FTP server does not start on port %d" % self.port)

    def parar(self):
        if self.proc:
            terminar(self.proc)
            self.proc = None


class Espejo:
    """A MariaDB server on loopback with database "espejo" and user lumaro/clave."""

    def __init__(self, carpeta, esquema, memoria="32M"):
        self.dir = carpeta
        self.memoria = memoria  # InnoDB's buffer pool
        self.port = puerto_libre()
        self.proc = None
        os.makedirs(carpeta, exist_ok=True)
        root = ["--user=root"] if os.geteuid() == 0 else []
        subprocess.run(["mariadb-install-db", "--no-defaults", "--datadir=" + carpeta + "/data",
                        "--skip-test-db", "--auth-root-authentication-method=normal"] + root,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.arrancar()
        self.sql("create database espejo; create user lumaro@'%' identified by 'clave'; "
                 "grant all on espejo.* to lumaro@'%'; " + esquema)

    def arrancar(self):
        """Starts the server on its data and port (again, after parar)."""
        carpeta = self.dir
        self.proc = subprocess.Popen(
            ["mariadbd", "--no-defaults", "--datadir=" + carpeta + "/data", "--user=root",
             "--port=%d" % self.port, "--bind-address=127.0.0.1", "--socket=" + self.sock(),
             "--pid-file=" + carpeta + "/pid", "--lower-case-table-names=0", "--skip-log-bin",
             "--innodb-buffer-pool-size=" + self.memoria, "--log-error=" + carpeta + "/error.log"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(300):
            if self.sql("select 1", check=False).returncode == 0:
                return
            time.sleep(0.1)

    def sock(self):
        return self.dir + "/sock"

    def sql(self, texto, check=True):
        return subprocess.run(["mariadb", "--no-defaults", "--socket=" + self.sock(), "-uroot",
                               "-e", texto], check=check, capture_output=True, text=True)

    def argumento(self):
        return "127.0.0.1:%d:lumaro:clave:espejo" % self.port

    def parar(self):
        if self.proc:
            terminar(self.proc)
            self.proc = None


class Cadena:
    def __init__(self, build, trabajo, tiendas, espejo=False, clientes=20, inicio=None,
                 montar=None, memoria_espejo="32M"):
        """montar(folder), when given, prepares each store's (still empty) folder first;
        memoria_espejo is the mirror server's InnoDB buffer pool."""
        self.build = os.path.abspath(build)
        self.dir = os.path.abspath(trabajo)
        self.exe = os.path.join(self.build, "src/app/prueba/lumaro-sync-prueba")
        self.dbtool = os.path.join(self.build, "src/tools/lumaro-db")
        self.checker = os.path.join(self.build, "src/cadena/lumaro-cadena")
        # Store 1 is the principal store (it feeds the mirror); without a mirror the stores
        # are numbered from 2.
        primero = 1 if espejo else 2
        self.ids = list(range(primero, primero + tiendas))
        self.inicio = inicio or datetime.date.today() - datetime.timedelta(days=1)
        self.clientes = clientes
        self.espejo = None
        self.montar = montar
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.ftp = ServidorFtp(os.path.join(self.dir, "ftp"))
        self.ftp_port = self.ftp.port
        try:
            if espejo:
                esquema = subprocess.run([self.dbtool, "espejo-esquema", "espejo"], check=True,
                                         capture_output=True, text=True).stdout
                self.espejo = Espejo(os.path.join(self.dir, "mariadb"), esquema, memoria_espejo)
            for i in self.ids:
                self.montar_tienda(i)
        except BaseException:
            self.parar()  # no server outlives a failed set-up
            raise

    def tienda(self, i):
        return os.path.join(self.dir, "store%d" % i)

    def montar_tienda(self, i):
        d = self.tienda(i)
        os.makedirs(d)
        if self.montar:
            self.montar(d)
        os.makedirs(os.path.join(d, "salida"))
        shutil.copy(self.exe, os.path.join(d, "lumaro-sync"))
        cfg = ("[Inicio]\r\nHora1=2\r\nMinuto1=0\r\nHora2=14\r\nMinuto2=0\r\nAutoSync=0\r\n"
               "RtDbf=%s\r\nIpFtp=127.0.0.1:%d\r\nUsuarioFtp=tienda\r\nContrase\xf1aFtp=clave\r\n"
               "SubFile=intercambio\r\n" % (os.path.join(d, "salida"), self.ftp_port))
        if self.espejo and i == 1:
            cfg += ("[Mysql]\r\nRutaBDClienteMySQL=127.0.0.1:%d\r\nDataBaseMySQL=espejo\r\n"
                    "USRNameMySQL=lumaro\r\nPWDMySQL=clave\r\n" % self.espejo.port)
        with open(os.path.join(d, "lumaro-sync.cfg"), "w", encoding="cp1252", newline="") as f:
            f.write(cfg)
        dia = self.inicio.strftime("%d/%m/%Y")
        self.herramienta("demo", d + "/cliente.db", d + "/logistica.db", str(i),
                         str(self.clientes), "--locales", str(max(self.ids)), "--semilla", str(i),
                         "--hoy", dia, "--cfg", d + "/lumaro-sync.cfg")
        self.herramienta("ledger-crear", d + "/Seguridad.mdb")
        otros = ",".join(str(otro) for otro in self.ids if otro != i)
        if otros:
            self.herramienta("ledger-iniciar", d + "/Seguridad.mdb", otros, dia)

    def herramienta(self, *args):
        subprocess.run([self.dbtool] + list(args), check=True, stdout=subprocess.DEVNULL)

    def entorno(self, reloj, minuto_ms=None, fin=None):
        """The test clock at reloj; with minuto_ms, the schedule's minute lasts that many ms;
        with fin, the program stops itself there."""
        env = dict(os.environ, LUMARO_RELOJ=reloj.isoformat(timespec="seconds"),
                   QT_QPA_PLATFORM="offscreen")
        env.pop("LUMARO_RELOJ_MINUTO_MS", None)
        env.pop("LUMARO_RELOJ_FIN", None)
        if minuto_ms:
            env["LUMARO_RELOJ_MINUTO_MS"] = str(minuto_ms)
        if fin:
            env["LUMARO_RELOJ_FIN"] = fin.isoformat(timespec="seconds")
        return env

    def servicio(self, i, reloj, minuto_ms, salida=subprocess.DEVNULL, fin=None):
        """Starts store i's service: "--headless" on its daily schedule, the clock at reloj."""
        return subprocess.Popen(["./lumaro-sync", "--headless"], cwd=self.tienda(i),
                                env=self.entorno(reloj, minuto_ms, fin), stdout=salida,
                                stderr=subprocess.STDOUT if salida != subprocess.DEVNULL else salida)

    def lanzar(self, i, orden, reloj):
        """Starts "--headless --run <orden>" in store i with the clock at reloj."""
        return subprocess.Popen(["./lumaro-sync", "--headless", "--run", orden], cwd=self.tienda(i),
                                env=self.entorno(reloj), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def correr(self, i, orden, reloj):
        """Runs a command to its end; its exit status and wall time in seconds."""
        t0 = time.monotonic()
        status = self.lanzar(i, orden, reloj).wait(600)
        return status, time.monotonic() - t0

    def actividad(self, dia, filas, tiendas=None):
        for i in tiendas or self.ids:
            d = self.tienda(i)
            self.herramienta("actividad", d + "/cliente.db", d + "/logistica.db", str(i),
                             dia.strftime("%d/%m/%Y"), "--filas", str(filas),
                             "--semilla", str(i * 1000 + dia.toordinal() % 1000))

    def fusionado(self, i, otro, dia):
        nombre = "%d_%s.mdb" % (otro, dia.strftime("%d%m%Y"))
        return os.path.exists(os.path.join(self.tienda(i), "MDB_Syncronizadas", nombre))

    def pendientes(self, i, dia):
        return [o for o in self.ids if o != i and not self.fusionado(i, o, dia)]

    def dia(self, dia, filas=0, tiempos=None, al_correr=None):
        """One day of the chain. tiempos, when given, collects each store's wall seconds.
        al_correr(i, orden, reloj) may run a command itself (the crash trials) and returns
        its (status, seconds), or None to let the day run it."""
        if filas:
            self.actividad(dia, filas)
        def paso(i, orden, reloj):
            r = al_correr(i, orden, reloj) if al_correr else None
            status, segundos = r if r else self.correr(i, orden, reloj)
            if tiempos is not None:
                tiempos[i] = tiempos.get(i, 0.0) + segundos
            return status
        for i in self.ids:
            paso(i, "generar", datetime.datetime.combine(dia, datetime.time(2, 0)))
        for ronda in range(3):
            faltan = [i for i in self.ids if self.pendientes(i, dia)]
            if not faltan:
                return True
            for i in faltan:
                paso(i, "subir", datetime.datetime.combine(dia, datetime.time(14, ronda)))
        return not any(self.pendientes(i, dia) for i in self.ids)

    def verificar(self, mostrar=True):
        args = [self.checker, "verificar"] + [self.tienda(i) for i in self.ids]
        if self.espejo:
            args += ["--espejo", self.espejo.argumento(), "--principal", self.tienda(1)]
        r = subprocess.run(args, capture_output=True, text=True)
        if mostrar:
            sys.stdout.write(r.stdout + r.stderr)
        return r.returncode == 0, r.stdout + r.stderr

    def parar(self):
        self.ftp.parar()
        if self.espejo:
            self.espejo.parar()
            self.espejo = None


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--build", required=True)
    p.add_argument("--trabajo")
    p.add_argument("--tiendas", type=int, default=4)
    p.add_argument("--dias", type=int, default=2)
    p.add_argument("--espejo", action="store_true")
    p.add_argument("--clientes", type=int, default=20)
    p.add_argument("--filas", type=int, default=200)
    p.add_argument("--verificar", action="store_true")
    a = p.parse_args()
    trabajo = a.trabajo or tempfile.mkdtemp(prefix="cadena-")
    inicio = datetime.date.today() - datetime.timedelta(days=a.dias - 1)
    cadena = Cadena(a.build, trabajo, a.tiendas, a.espejo, a.clientes, inicio)
    try:
        completo = True
        for n in range(a.dias):
            dia = inicio + datetime.timedelta(days=n)
            print("cadena: dia %s" % dia.strftime("%d/%m/%Y"), flush=True)
            completo &= cadena.dia(dia, a.filas if n else 0)
        ok = True
        if a.verificar:
            ok, _ = cadena.verificar()
        return 0 if completo and ok else 1
    finally:
        cadena.parar()
        if not a.trabajo:
            shutil.rmtree(trabajo, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
