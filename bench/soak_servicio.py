"""One store's long-running service in the soak (bench/soak.py): the process, its simulated
clock as its run log shows it, stopping and continuing it, and the SIGKILL of a kill fault.

A service restarts as the package's systemd unit restarts it: on a failure (a kill, a non-zero
exit), 30 seconds later.
"""

import collections
import datetime
import os
import signal
import subprocess
import time

TICK = "sale A"                               # the schedule's line for a minute with no cycle
REINICIO = datetime.timedelta(seconds=30)     # the unit's RestartSec


def hora_de(linea):
    """The time at the head of a run-log line ("dd/MM/yyyy hh:mm:ss ..."), or None."""
    try:
        return datetime.datetime(int(linea[6:10]), int(linea[3:5]), int(linea[0:2]),
                                 int(linea[11:13]), int(linea[14:16]), int(linea[17:19]))
    except ValueError:
        return None


class Servicio:
    def __init__(self, c, i, minuto_ms, salidas, eventos):
        self.c, self.i, self.minuto_ms, self.eventos = c, i, minuto_ms, eventos
        self.carpeta = c.tienda(i)
        self.ruta_salida = os.path.join(salidas, "store%d.out" % i)
        self.salida = open(self.ruta_salida, "ab")
        self.proc = None
        self.sim = None
        self.ultima = ""
        self.ultimas = collections.deque(maxlen=6)
        self.fecha, self.pos, self.resto = None, 0, b""
        self.visto = self.desde = time.monotonic()
        self.parado = False      # stuck: no run-log line for too long; held stopped
        self.corte = None        # the kill fault waiting for its cycle
        self.ciclo = []          # (time, line) of the cycle under way
        self.largo = {}          # lines of the last cycle at each daily time, by hour
        self.arranques = 0
        self.atascos = 0         # times it was found stuck
        self.finalizando = False  # stopped on purpose: its end is no failure

    # The process.
    def arrancar(self, reloj):
        self.leer(revisar=False)
        self.proc = self.c.servicio(self.i, reloj, self.minuto_ms, self.salida)
        self.arranques += 1
        self.arrancado = reloj
        self.sim, self.ultima, self.ciclo, self.parado = reloj, "", [], False
        self.finalizando = False
        if self.fecha != reloj.date():
            self.fecha, self.resto = reloj.date(), b""
            ruta = self.log(self.fecha)
            self.pos = os.path.getsize(ruta) if os.path.exists(ruta) else 0
        self.visto = self.desde = time.monotonic()

    def vivo(self):
        return self.proc is not None and self.proc.poll() is None and not self.parado

    def pid(self):
        return self.proc.pid if self.proc and self.proc.poll() is None else None

    def rss(self):
        """Resident memory in KiB (VmRSS), or None when not running."""
        try:
            with open("/proc/%d/status" % self.proc.pid) as h:
                for linea in h:
                    if linea.startswith("VmRSS:"):
                        return int(linea.split()[1])
        except (OSError, AttributeError):
            return None

    def senal(self, s):
        if self.proc and self.proc.poll() is None:
            os.kill(self.proc.pid, s)

    def parar(self):
        self.senal(signal.SIGSTOP)
        self.leer()

    def seguir(self):
        self.senal(signal.SIGCONT)
        self.visto = self.desde = time.monotonic()

    def en_marcha(self):
        """Real seconds since it was last continued or started."""
        return time.monotonic() - self.desde

    def terminar(self):
        """Stops the service as a shutdown does: SIGTERM, bounded, then SIGKILL."""
        self.finalizando = True
        if self.proc and self.proc.poll() is None:
            self.senal(signal.SIGTERM)
            self.senal(signal.SIGCONT)
            try:
                self.proc.wait(60)
            except subprocess.TimeoutExpired:
                self.evento("did not stop within 60 s of SIGTERM; killed")
                self.proc.kill()
                self.proc.wait()
        self.leer()

    # The run log.
    def log(self, fecha):
        return os.path.join(self.carpeta, fecha.strftime("Err_%Y%m%d.log"))

    def leer(self, revisar=True):
        """Takes in the new lines of the run log; with revisar, restarts the service after a
        failure."""
        if self.fecha is None:
            return
        for _ in range(400):  # a day after another, while later logs have lines
            datos = self.bytes_nuevos()
            siguiente = self.log(self.fecha + datetime.timedelta(days=1))
            if datos or not os.path.exists(siguiente) or not os.path.getsize(siguiente):
                break
            self.fecha, self.pos, self.resto = self.fecha + datetime.timedelta(days=1), 0, b""
        if revisar and self.proc and self.proc.poll() is not None and not (
                self.parado or self.finalizando):
            self.caido()

    def bytes_nuevos(self):
        try:
            with open(self.log(self.fecha), "rb") as h:
                h.seek(self.pos)
                datos = h.read()
        except FileNotFoundError:
            return b""
        self.pos += len(datos)
        lineas = (self.resto + datos).split(b"\r\n")
        self.resto = lineas.pop()
        cortar = False
        for linea in lineas:
            texto = linea.decode("cp1252", "replace")
            hora = hora_de(texto)
            if hora is None:
                continue
            self.sim, self.ultima = hora, texto[20:]
            self.ultimas.append(texto)
            self.visto = time.monotonic()
            cortar |= self.seguir_ciclo(hora, self.ultima)
        if cortar:
            self.cortar()
        return datos

    def seguir_ciclo(self, hora, texto):
        """Follows the cycles; true when the kill fault's moment has come."""
        if texto == TICK:
            if self.ciclo:
                self.largo[self.ciclo[0][0].hour] = len(self.ciclo)
                if self.corte and self.ciclo[0][0] >= self.corte.desde and not self.corte.hecho:
                    self.corte.nota = "its cycle ended after %d lines, before the kill" % len(
                        self.ciclo)
                    self.corte = None
            self.ciclo = []
            return False
        self.ciclo.append((hora, texto))
        f = self.corte
        if not f or self.ciclo[0][0] < f.desde or hora > f.desde + datetime.timedelta(hours=1):
            return False
        tras = max(1, round(f.datos["fraccion"] * self.largo.get(f.desde.hour, 12)))
        return len(self.ciclo) >= tras

    def cortar(self):
        f, self.corte = self.corte, None
        self.proc.kill()
        self.proc.wait()
        f.hecho = True
        f.nota = "killed after line %d of its cycle: %r" % (len(self.ciclo), self.ultimas[-1])
        self.reiniciar("killed (SIGKILL) at %s" % self.sim)

    def reiniciar(self, por):
        self.bytes_nuevos()  # what it wrote before it ended
        self.evento(por + "; restarted")
        self.arrancar(self.sim + REINICIO)

    def caido(self):
        status = self.proc.returncode
        if status != 0:
            self.reiniciar("ended by itself with status %d" % status)
        else:
            self.parado = True
            self.evento("ended by itself with status 0 (not restarted, as systemd would not)")

    def cortar_en(self, f):
        self.corte = f

    def idle_en(self, t):
        """At t or later between cycles: a minute's tick, or two minutes on (a cycle runs in
        real time: its lines keep the minute it started in)."""
        return self.sim is not None and (
            self.sim >= t and self.ultima == TICK or self.sim >= t + datetime.timedelta(minutes=2))

    def sin_progreso(self):
        return time.monotonic() - self.visto

    def atascado(self, vigilante):
        self.atascos += 1
        antes = "no run-log line for %.0f s (clock at %s)" % (self.sin_progreso(), self.sim)
        if vigilante:
            self.proc.kill()
            self.proc.wait()
            self.reiniciar(antes + "; killed by the watchdog")
        else:
            self.parado = True
            self.senal(signal.SIGSTOP)
            self.evento(antes + "; stopped (SIGSTOP) and no longer waited for")

    def evento(self, texto):
        """Notes what happened, with the last run-log lines and the service's last output
        (what the service manager's journal would hold)."""
        self.salida.flush()
        with open(self.ruta_salida, "rb") as h:
            h.seek(max(0, os.path.getsize(self.ruta_salida) - 2000))
            salida = [x.decode("cp1252", "replace") for x in h.read().splitlines()[-2:]]
        self.eventos.append((self.i, self.sim, texto, list(self.ultimas)[-3:] +
                             ["(output) " + x for x in salida]))
