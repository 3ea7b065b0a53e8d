#!/usr/bin/python3
"""End to end on a chain of stores (scripts/cadena.py): real program folders, the real
program (its test-clock build), a loopback FTP server and a MariaDB mirror.

  e2e_cadena.py BUILD dias      three stores (store 1 the principal one), two days
  e2e_cadena.py BUILD horario   two stores left to their daily schedule over four days
"""

import datetime
import glob
import os
import re
import sqlite3
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts"))
import cadena  # noqa: E402

FALLOS = []


def comprobar(condicion, texto):
    if not condicion:
        FALLOS.append(texto)
        print("FAIL: " + texto, flush=True)


def ddmmyyyy(dia):
    return dia.strftime("%d%m%Y")


def ledger(c, i):
    db = sqlite3.connect(os.path.join(c.tienda(i), "Seguridad.mdb"))
    return db.execute("select idLocal, substr(fecha, 1, 10), iDescargaOK, iSincronizacionOK "
                      "from TablasFTP").fetchall()


def enviados(c, i):
    return sorted(os.listdir(os.path.join(c.tienda(i), "MDB_enviadas")))


def filas_mdb(ruta, tabla):
    salida = subprocess.run(["mdb-export", ruta, tabla], capture_output=True, text=True,
                            check=True).stdout
    return max(0, len(salida.strip().splitlines()) - 1)


def comunes(c, dias):
    """What every converged chain must show, whatever the path that led there."""
    ok, salida = c.verificar()
    comprobar(ok, "the chain did not converge (see the checker's lines above)")
    for i in c.ids:
        d = c.tienda(i)
        for carpeta in ("MDB_descargadas", "Error"):
            comprobar(not os.listdir(os.path.join(d, carpeta)), "store %d left files in %s" % (i, carpeta))
        archivos = enviados(c, i)
        for dia in dias:
            comprobar(any(re.fullmatch(r"\d{6}_%d_%s\.mdb" % (i, ddmmyyyy(dia)), a) for a in archivos),
                      "store %d has no hhmmss_ copy of its %s snapshot" % (i, dia))
        filas = {(str(o), fecha): (str(dl), str(sy)) for o, fecha, dl, sy in ledger(c, i)}
        for o in c.ids:
            for dia in dias:
                if o != i:
                    comprobar(filas.get((str(o), dia.strftime("%Y/%m/%d"))) == ("1", "1"),
                              "store %d's ledger does not show %d's %s downloaded and merged" % (i, o, dia))
        for log in glob.glob(os.path.join(d, "Err_*.log")):
            datos = open(log, "rb").read()
            comprobar(datos.count(b"\n") == datos.count(b"\r\n"), log + " has lines without CR LF")
            comprobar(b"Cumplea\xf1os" in datos or b"\xc3" not in datos, log + " is not Windows-1252")
    servidor = os.listdir(os.path.join(c.dir, "ftp", "intercambio"))
    for nombre in servidor:
        comprobar(re.fullmatch(r"\d+_(\d{8}\.mdb|[CTAK]_[0-9A-Z]{3}\.dbf)", nombre),
                  "the server holds a name that is not final: " + nombre)
    return servidor


def escenario_dias(build, trabajo):
    hoy = datetime.date.today()
    dias = [hoy - datetime.timedelta(days=1), hoy]
    c = cadena.Cadena(build, trabajo, 3, espejo=True, clientes=15, inicio=dias[0])
    try:
        for n, dia in enumerate(dias):
            comprobar(c.dia(dia, 120 if n else 0), "day %s did not end with every snapshot merged" % dia)
        servidor = comunes(c, dias)
        # One DBF record per row sent, per store and table, over both days.
        import dbfread
        for i in c.ids:
            for codigo, tabla in (("C", "Cliente"), ("T", "Tarjeta"), ("A", "Acumulacion_Punto"),
                                  ("K", "Canje_Punto")):
                registros = sum(len(list(dbfread.DBF(os.path.join(c.dir, "ftp", "intercambio", n))))
                                for n in servidor if n.startswith("%d_%s_" % (i, codigo)))
                filas = sum(filas_mdb(os.path.join(c.dir, "ftp", "intercambio",
                                                   "%d_%s.mdb" % (i, ddmmyyyy(dia))), tabla)
                            for dia in dias)
                comprobar(registros == filas, "store %d's %s DBF files hold %d records for %d rows sent"
                          % (i, codigo, registros, filas))
    finally:
        c.parar()


def programar(c, i, desde, hasta):
    status = c.servicio(i, desde, 10, fin=hasta).wait(600)
    comprobar(status == 0, "store %d's schedule from %s ended with %d" % (i, desde, status))


def escenario_horario(build, trabajo):
    hoy = datetime.date.today()
    d = [hoy - datetime.timedelta(days=3 - n) for n in range(4)]
    c = cadena.Cadena(build, trabajo, 2, clientes=10, inicio=d[0])
    a, b = c.ids
    at = datetime.datetime.combine
    try:
        for dia in d:
            if dia != d[0]:
                c.actividad(dia, 40)
            if dia != d[2]:  # store a is off all of the third day
                # On the second day store a is off at the first time and starts at 10:00.
                programar(c, a, at(dia, datetime.time(10 if dia == d[1] else 1, 58)),
                          at(dia, datetime.time(14, 5)))
            if dia == d[1]:  # store b restarts between the two times
                programar(c, b, at(dia, datetime.time(1, 58)), at(dia, datetime.time(10, 0)))
                programar(c, b, at(dia, datetime.time(10, 0)), at(dia, datetime.time(14, 5)))
            else:
                programar(c, b, at(dia, datetime.time(1, 58)), at(dia, datetime.time(14, 5)))
        # The first time makes the snapshot (hhmmss 02....); a store off then makes it at the
        # second time; a restart makes no second one; the missed third day is back-filled.
        def horas(i):
            return {m.group(2): m.group(1) for m in
                    (re.fullmatch(r"(\d\d)\d{4}_\d+_(\d{8})\.mdb", n) for n in enviados(c, i)) if m}
        comprobar(horas(b) == {ddmmyyyy(x): "02" for x in d}, "store b's snapshots: %s" % enviados(c, b))
        comprobar(horas(a) == {ddmmyyyy(d[0]): "02", ddmmyyyy(d[1]): "14", ddmmyyyy(d[2]): "02",
                               ddmmyyyy(d[3]): "02"}, "store a's snapshots: %s" % enviados(c, a))
        comprobar(filas_mdb(os.path.join(c.dir, "ftp", "intercambio", "%d_%s.mdb" % (a, ddmmyyyy(d[2]))),
                            "Cliente") == 0, "store a's back-filled third day is not empty")
        # Store a catches up by hand; then both hold everything.
        c.correr(a, "subir", at(d[3], datetime.time(15, 0)))
        comunes(c, d)
    finally:
        c.parar()


def main():
    build, escenario = sys.argv[1], sys.argv[2]
    trabajo = tempfile.mkdtemp(prefix="e2e-" + escenario + "-")
    {"dias": escenario_dias, "horario": escenario_horario}[escenario](build, trabajo)
    if FALLOS:
        print("kept for a look: " + trabajo)
        for i in glob.glob(os.path.join(trabajo, "store*", "Err_*.log")):
            print("== " + i)
            print(open(i, "rb").read().decode("cp1252")[-3000:])
        return 1
    subprocess.run(["rm", "-rf", trabajo])
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
