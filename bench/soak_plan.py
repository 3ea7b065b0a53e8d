"""The soak's seeded schedule of faults (bench/soak.py): what goes wrong, where and when, in
simulated time. The same seed, days and stores give the same schedule.

Kinds (each at least once within the days that may have faults):
  ftp-horas  the FTP server down for half a day (00:00-12:00 or 12:00-24:00: one daily time)
  ftp-dias   the FTP server down for one or two whole days
  apagada    a store's machine off for one to three days (service not running); one of them
             on the chain's first day, the store's first day
  disco      a store's disk full for a day
  danado     a store's snapshot damaged or truncated on the server right after its upload,
             the right one put back one or two days later
  rechazo    one store's production refuses, for a day, one row another store sends that day
  kill       SIGKILL in the middle of a store's cycle at a daily time; restarted at once
  mysql      the mirror's MySQL server down for half a day to two days
"""

import datetime
import random

UN_DIA = datetime.timedelta(days=1)
MEDIO_DIA = datetime.timedelta(hours=12)
# Expected faults of each kind per day with faults (at least one of each kind).
FRECUENCIA = {"apagada": 1 / 25, "ftp-dias": 1 / 40, "ftp-horas": 1 / 15, "mysql": 1 / 40,
              "disco": 1 / 40, "danado": 1 / 20, "rechazo": 1 / 30, "kill": 1 / 10}
# Faults that take a store's service down (its memory is measured on stores spared them).
REINICIAN = ("apagada", "kill")


class Falla:
    def __init__(self, tipo, desde, hasta, tienda=None, **datos):
        self.tipo, self.desde, self.hasta, self.tienda = tipo, desde, hasta, tienda
        self.datos = datos
        self.hecho = False   # whether it took place as planned
        self.nota = ""       # what happened, for the report

    def dias(self):
        """The days the fault touches."""
        d, fin = self.desde.date(), max(self.hasta, self.desde + datetime.timedelta(seconds=1))
        while datetime.datetime.combine(d, datetime.time()) < fin:
            yield d
            d += UN_DIA

    def describir(self):
        quien = "store %d" % self.tienda if self.tienda else "server"
        extra = " ".join("%s=%s" % kv for kv in sorted(self.datos.items()))
        return "%-9s %-8s %s .. %s %s" % (self.tipo, quien, self.desde.strftime("%d/%m %H:%M"),
                                          self.hasta.strftime("%d/%m %H:%M"), extra)


class Plan:
    """The schedule: faults on days [0, dias - tranquilos) of a chain starting on `inicio`."""

    def __init__(self, semilla, inicio, dias, tiendas, tranquilos, medir_desde, disco=True,
                 tipos=None):
        """tipos: the kinds to schedule (all by default; none for a fault-free baseline)."""
        self.azar = random.Random(semilla)
        self.inicio, self.tiendas = inicio, list(tiendas)
        self.con_fallas = max(1, dias - tranquilos)
        # Two stores keep one service from the day memory is measured on to the end.
        self.testigos = set(self.azar.sample(self.tiendas, 2))
        self.medir_desde = medir_desde
        self.fallas = []
        self.ocupado = {}   # (store or "ftp" or "mysql", day) -> kind
        tipos = set(FRECUENCIA if tipos is None else tipos) - (set() if disco else {"disco"})
        if "apagada" in tipos:
            self.colocar(self.apagada(0))
        for tipo in ("ftp-dias", "ftp-horas", "mysql", "apagada", "disco", "danado", "rechazo",
                     "kill"):
            if tipo not in tipos:
                continue
            veces = max(1, round(FRECUENCIA[tipo] * self.con_fallas)) - (tipo == "apagada")
            for _ in range(veces):
                for _ in range(200):  # a free place for it, or none
                    if self.colocar(getattr(self, tipo.replace("-", "_"))()):
                        break
        self.fallas.sort(key=lambda f: (f.desde, f.tipo))

    def dia(self, n, horas=0):
        return datetime.datetime.combine(self.inicio + n * UN_DIA, datetime.time()) + \
            datetime.timedelta(hours=horas)

    def alguno(self, tope=0):
        return self.azar.randrange(0, self.con_fallas - tope)

    def tienda(self, tipo):
        libres = [t for t in self.tiendas if tipo not in REINICIAN or t not in self.testigos]
        return self.azar.choice(libres)

    # One candidate of each kind.
    def apagada(self, n=None):
        n = self.alguno(1) if n is None else n
        return Falla("apagada", self.dia(n), self.dia(n + self.azar.randint(1, 3)),
                     self.azar.choice(self.tiendas) if n == 0 else self.tienda("apagada"))

    def ftp_dias(self):
        n = self.alguno(1)
        return Falla("ftp-dias", self.dia(n), self.dia(n + self.azar.randint(1, 2)))

    def ftp_horas(self):
        desde = self.dia(self.alguno(), self.azar.choice((0, 12)))
        return Falla("ftp-horas", desde, desde + MEDIO_DIA)

    def mysql(self):
        desde = self.dia(self.alguno(1), self.azar.choice((0, 12)))
        return Falla("mysql", desde, desde + MEDIO_DIA * self.azar.randint(1, 4))

    def disco(self):
        n = self.alguno()
        return Falla("disco", self.dia(n), self.dia(n + 1), self.azar.choice(self.tiendas))

    def danado(self):
        n = self.alguno(1)
        modo = self.azar.choice(("mitad", "corto", "bytes"))
        return Falla("danado", self.dia(n, 1) + datetime.timedelta(minutes=50),
                     self.dia(n + self.azar.randint(1, 2)), self.azar.choice(self.tiendas),
                     modo=modo)

    def rechazo(self):
        n = self.azar.randrange(1, self.con_fallas)  # a day with activity
        i, o = self.azar.sample(self.tiendas, 2)
        return Falla("rechazo", self.dia(n), self.dia(n + 1), i, origen=o)

    def kill(self):
        n = self.alguno()
        orden = self.azar.choice(("generar", "subir"))
        desde = self.dia(n, 2 if orden == "generar" else 14)
        return Falla("kill", desde, desde, self.tienda("kill"), orden=orden,
                     fraccion=round(self.azar.uniform(0.05, 0.95), 2))

    def colocar(self, f):
        """Adds the fault where it meets no other on the same store, or on the server where
        it needs the server up."""
        tiendas = [f.tienda] if f.tienda else []
        if f.tipo == "rechazo":
            tiendas.append(f.datos["origen"])
        if f.tipo in REINICIAN and f.tienda in self.testigos and \
                f.hasta >= self.dia(self.medir_desde - 3):
            return False
        claves = [(t, d) for t in tiendas for d in f.dias()]
        if f.tipo.startswith("ftp") or f.tipo in ("danado", "rechazo", "kill"):
            claves += [("ftp", d) for d in f.dias()]  # these need the server up, or take it
        if f.tipo == "mysql":
            claves = [("mysql", d) for d in f.dias()]
        if f.tipo == "danado":
            claves.append(("danado", f.desde.date()))
        if any(c in self.ocupado for c in claves):
            return False
        for c in claves:
            self.ocupado[c] = f.tipo
        self.fallas.append(f)
        return True
