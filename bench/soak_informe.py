"""The soak's figures and targets (bench/soak.py), with the run-log lines behind each miss."""

import datetime
import glob
import os
import re
import subprocess

from soak_plan import UN_DIA

LIMITE_RETRASO = 1.0   # days an owed day may stay owed after its last fault cleared
LIMITE_MEMORIA = 1024  # KiB of growth allowed between the two memory readings
MOSTRAR = 8            # examples shown per miss


def toca(f, i, o, d):
    """Whether fault f bears on store i merging store o's day d."""
    if not f.hecho:
        return False
    if f.tipo == "danado":
        return f.tienda == o and f.desde.date() == d
    if f.tipo == "rechazo":
        return f.tienda == i and f.datos["origen"] == o and f.desde.date() == d
    if f.tipo == "mysql":
        return 1 in (i, o)
    return f.tienda is None or f.tienda in (i, o)


def vencimiento(fallas, i, o, d, fusion):
    """When store i's merge of o's day d fell due: the end of the day, pushed on to the end
    of every fault bearing on it that came while the day was still owed (before its merge):
    the day's last fault. A kill counts from its moment."""
    due = datetime.datetime.combine(d + UN_DIA, datetime.time())
    cambio = True
    while cambio:
        cambio = False
        for f in fallas:
            if (toca(f, i, o, d) and due < f.hasta and
                    (f.desde <= due if fusion is None else f.desde < fusion)):
                due, cambio = f.hasta, True
    return due


def retraso(fallas, t, fusion):
    if fusion is None:
        return None
    return max(0.0, (fusion - vencimiento(fallas, *t, fusion)).total_seconds() / 86400)


def lineas_con(carpeta, texto, cuantas=3):
    """The last run-log lines of a store folder that name `texto`."""
    logs = sorted(glob.glob(os.path.join(carpeta, "Err_*.log")))
    if not logs:
        return []
    r = subprocess.run(["grep", "-a", "-h", "-F", texto] + logs, capture_output=True)
    return [x.decode("cp1252", "replace") for x in r.stdout.splitlines()[-cuantas:]]


def totales(salida, nombre):
    m = re.search(r"totales %s: (\d+) faltan, (\d+) sobran, (\d+) columnas distintas" % nombre,
                  salida)
    return tuple(int(x) for x in m.groups()) if m else None


def informe(soak, segundos):
    c, plan, a = soak.c, soak.plan, soak.a
    fallas = [f for f in plan.fallas]
    hechos = soak.dias_hechos
    dias = [soak.inicio + n * UN_DIA for n in range(hechos)]
    debidos = [(i, o, d) for i in c.ids for o in c.ids if o != i for d in dias]
    retrasos = {t: retraso(fallas, t, soak.fusion.get(t)) for t in debidos}
    sin_fusionar = [t for t in debidos if retrasos[t] is None]
    tarde = sorted((t for t in debidos if retrasos[t] is not None and retrasos[t] > LIMITE_RETRASO),
                   key=lambda t: -retrasos[t])
    peor = max((r for r in retrasos.values() if r is not None), default=0.0)
    if c.espejo and not c.espejo.proc:
        c.espejo.arrancar()
    _, salida = c.verificar(mostrar=False)
    cad, esp = totales(salida, "cadena"), totales(salida, "espejo")
    print("\n== soak: %d days, seed %d, %d stores, %.0f s ==" % (hechos, a.semilla, len(c.ids),
                                                                 segundos))
    print("faults:")
    for f in fallas:
        if not (f.hecho or f.nota) and f.tipo == "kill":
            f.nota = "no cycle of the store at that daily time (its service stuck or down)"
        print("  %s  %s%s" % (f.describir(), "" if f.hecho else "(did not take place) ", f.nota))
    for i, sim, texto, ultimas in soak.eventos:
        print("service of store %d at %s: %s" % (i, sim, texto))
        for x in ultimas:
            print("      | " + x)

    print("\nstore-days merged: %d of %d owed" % (len(debidos) - len(sin_fusionar), len(debidos)))
    por_par = {}
    for i, o, d in sin_fusionar:
        por_par.setdefault((i, o), []).append(d)
    for (i, o), ds in sorted(por_par.items()):
        print("  store %d never merged store %d's %d day(s): %s" % (
            i, o, len(ds), " ".join(d.strftime("%d/%m") for d in ds[:12])))
    for i, o, d in sin_fusionar[:MOSTRAR]:
        nombre = "%d_%s" % (o, d.strftime("%d%m%Y"))
        print("  store %d, %s.mdb, last lines naming it:" % (i, nombre))
        for x in lineas_con(c.tienda(i), nombre) or ["(none)"]:
            print("      | " + x)

    perdidas = duplicadas = distintas = None
    apartadas = [linea for _, linea in soak.rechazadas if linea in salida]
    if cad:
        perdidas, duplicadas, distintas = cad[0] - len(apartadas), cad[1], cad[2]
        print("rows lost: %d; rows duplicated (held by a store that no snapshot sent): %d; "
              "columns not as the merge rules say: %d" % (perdidas, duplicadas, distintas))
        if soak.rechazadas:
            print("  rows refused by a store's production on purpose: %d, still missing there "
                  "(set aside for an operator, not counted as lost): %d" % (
                      len(soak.rechazadas), len(apartadas)))
    else:
        print("chain check failed to run:\n" + salida[-2000:])
    if esp:
        print("mirror: %d rows missing, %d extra, %d columns different" % esp)
    for linea in [x for x in salida.splitlines() if x.startswith("  falta") or
                  x.startswith("  sobra") or x.startswith("  distinta")][:MOSTRAR]:
        print("   " + linea)

    print("longest time a day stayed owed after its last fault cleared: %.2f days (of the days "
          "merged; %d never merged)" % (peor, len(sin_fusionar)))
    for t in tarde[:MOSTRAR]:
        i, o, d = t
        print("  store %d merged store %d's %s %.2f days after it fell due (%s)" % (
            i, o, d.strftime("%d/%m"), retrasos[t], vencimiento(fallas, i, o, d, soak.fusion[t])))

    print("resident memory (KiB) at day %d and at the last day:" % soak.medir)
    crecimientos = []
    for i in c.ids:
        m = soak.memoria.get(i, {})
        (p1, r1, a1), (p2, r2, a2) = m.get("medir", (None,) * 3), m.get("fin", (None,) * 3)
        mismo = p1 is not None and p1 == p2 and r1 is not None and r2 is not None
        if mismo and not a2:
            crecimientos.append(r2 - r1)
        print("  store %d: %s -> %s%s" % (i, r1, r2, " (growth %+d)" % (r2 - r1) if mismo else
                                           " (not counted: restarted, down or just started)") +
              (" (found stuck: not counted)" if mismo and a2 else ""))
    bytes_log = {i: sum(os.path.getsize(x) for x in glob.glob(os.path.join(c.tienda(i), "Err_*.log")))
                 for i in c.ids}
    print("run-log bytes per store-day: %d (per store: %s)" % (
        sum(bytes_log.values()) / (len(c.ids) * max(1, hechos)),
        ", ".join("%d: %d" % (i, b / max(1, hechos)) for i, b in bytes_log.items())))

    print("per fault kind, faults the chain came through (every day it bore on merged within "
          "%g day of it clearing):" % LIMITE_RETRASO)
    por_tipo = {}
    for f in fallas:
        if not f.hecho:
            continue
        tocados = [t for t in debidos if t[2] in set(f.dias()) and toca(f, *t)]
        malos = [t for t in tocados if retrasos[t] is None or retrasos[t] > LIMITE_RETRASO]
        if f.tipo == "mysql" and esp and any(esp):
            malos.append("mirror")
        por_tipo.setdefault(f.tipo, []).append((f, malos))
    for tipo, lista in sorted(por_tipo.items()):
        bien = sum(1 for _, m in lista if not m)
        print("  %-9s %d / %d" % (tipo, bien, len(lista)))
        for f, m in lista:
            if m:
                print("      not: %s -> %d day(s) late or never merged, e.g. %s" % (
                    f.describir(), len(m), ", ".join(
                        x if isinstance(x, str) else "store %d <- %d %s" % (
                            x[0], x[1], x[2].strftime("%d/%m")) for x in m[:3])))

    metas = [("everything merged", not sin_fusionar),
             ("nothing lost or duplicated, the mirror as the principal store",
              cad is not None and perdidas == 0 and duplicadas == 0 and distintas == 0 and
              (esp is None or not any(esp))),
             ("every owed day merged within %g day of its fault clearing" % LIMITE_RETRASO,
              not sin_fusionar and not tarde),
             ("memory growth under %d KiB (services never restarted or stuck)" % LIMITE_MEMORIA,
              bool(crecimientos) and max(crecimientos) < LIMITE_MEMORIA)]
    print("targets:")
    for texto, ok in metas:
        print("  %-70s %s" % (texto, "met" if ok else "MISSED"))
    return all(ok for _, ok in metas)
