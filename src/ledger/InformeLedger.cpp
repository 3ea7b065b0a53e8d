#include "ledger/InformeLedger.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

namespace lumaro::ledger {

namespace {

using Estado = DiaInforme::Estado;
using Clave = std::pair<qint64, QDate>;

QString ddmmyyyy(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

// Snapshots of the working folders by store and day: MDB_descargadas holds
// "<store>_<ddmmyyyy>.mdb", Error "<hhmmss>_<store>_<ddmmyyyy>.mdb".
void archivosEn(const QString& carpetaPrograma, const QString& carpeta, const QString& patron,
                QMap<Clave, QString>* dias) {
    const QRegularExpression re(patron, QRegularExpression::CaseInsensitiveOption);
    const QStringList nombres =
        QDir(QDir(carpetaPrograma).filePath(carpeta)).entryList(QDir::Files);
    for (const QString& nombre : nombres) {
        const auto m = re.match(nombre);
        const QDate d = QDate::fromString(m.captured(2), QStringLiteral("ddMMyyyy"));
        if (m.hasMatch() && d.isValid()) dias->insert({m.captured(1).toLongLong(), d}, carpeta);
    }
}

}  // namespace

Informe armarInforme(const QList<FilaLedger>& filas, const QString& carpetaPrograma,
                     const FiltroInforme& filtro) {
    QMap<Clave, QString> archivos;
    archivosEn(carpetaPrograma, QStringLiteral("MDB_descargadas"),
               QStringLiteral("^(\\d{1,9})_(\\d{8})\\.mdb$"), &archivos);
    archivosEn(carpetaPrograma, QStringLiteral("Error"),
               QStringLiteral("^\\d+_(\\d{1,9})_(\\d{8})\\.mdb$"), &archivos);
    QMap<Clave, Estado> estados;
    for (const FilaLedger& f : filas)
        estados.insert({f.idLocal, f.fecha}, f.descarga == 0     ? Estado::NoEncontrado
                                             : f.sincroniza == 1 ? Estado::Sincronizado
                                                                 : Estado::Descargado);
    // Each store's known days, kept by the filter.
    QMap<qint64, std::pair<QDate, QDate>> rangos;
    auto conocer = [&](const Clave& c) {
        if ((filtro.desde.isValid() && c.second < filtro.desde) ||
            (filtro.local && *filtro.local != c.first))
            return;
        auto it = rangos.find(c.first);
        if (it == rangos.end())
            rangos.insert(c.first, {c.second, c.second});
        else
            *it = {std::min(it->first, c.second), std::max(it->second, c.second)};
    };
    for (auto it = estados.cbegin(); it != estados.cend(); ++it) conocer(it.key());
    for (auto it = archivos.cbegin(); it != archivos.cend(); ++it) conocer(it.key());

    Informe informe;
    for (auto it = rangos.cbegin(); it != rangos.cend(); ++it) {
        ResumenLocal r;
        r.idLocal = it.key();
        r.primero = it->first;
        r.ultimo = it->second;
        for (QDate d = r.primero; d <= r.ultimo; d = d.addDays(1)) {
            DiaInforme dia{r.idLocal, d, estados.value({r.idLocal, d}, Estado::SinRegistro),
                           archivos.value({r.idLocal, d})};
            if (dia.estado == Estado::SinRegistro) {
                // The range starts and ends on known days, so a gap always ends inside it.
                if (informe.huecos.isEmpty() || informe.huecos.last().idLocal != r.idLocal ||
                    informe.huecos.last().hasta != d.addDays(-1)) {
                    informe.huecos.append({r.idLocal, d, d});
                    ++r.huecos;
                }
                informe.huecos.last().hasta = d;
            }
            int* cuenta[] = {&r.sincronizados, &r.descargados, &r.noEncontrados, &r.sinRegistro};
            ++*cuenta[static_cast<int>(dia.estado)];
            if (dia.carpeta == QLatin1String("Error")) ++r.enError;
            if (dia.carpeta == QLatin1String("MDB_descargadas")) ++r.enDescargadas;
            informe.dias.append(dia);
        }
        informe.locales.append(r);
    }
    return informe;
}

std::optional<Informe> leerInforme(const QString& rutaLedger, const FiltroInforme& filtro,
                                   QString* error) {
    QStringList malas;
    const auto filas = leerFilasLedger(rutaLedger, error, &malas);
    if (!filas) return std::nullopt;
    Informe informe = armarInforme(*filas, QFileInfo(rutaLedger).absolutePath(), filtro);
    informe.filasMalas = malas;
    return informe;
}

QString textoEstado(const DiaInforme& dia) {
    static const char* const kTextos[] = {"sincronizado", "descargado, sin sincronizar",
                                          "buscado y no encontrado", "sin registro"};
    QString t = QString::fromLatin1(kTextos[static_cast<int>(dia.estado)]);
    if (!dia.carpeta.isEmpty()) t += QStringLiteral(" (en ") + dia.carpeta + u')';
    return t;
}

QStringList lineasTexto(const Informe& informe) {
    QStringList out;
    for (const QString& mala : informe.filasMalas)
        out << QStringLiteral("Fila no valida, se omite: ") + mala;
    for (const ResumenLocal& r : informe.locales) {
        out << QStringLiteral("Local %1").arg(r.idLocal);
        for (const DiaInforme& d : informe.dias)
            if (d.idLocal == r.idLocal)
                out << QStringLiteral("  ") + ddmmyyyy(d.fecha) + QStringLiteral("  ") +
                           textoEstado(d);
        for (const Hueco& h : informe.huecos)
            if (h.idLocal == r.idLocal)
                out << QStringLiteral("  Hueco: del %1 al %2, %3 dias sin registro en el ledger")
                           .arg(ddmmyyyy(h.desde), ddmmyyyy(h.hasta))
                           .arg(h.desde.daysTo(h.hasta) + 1);
        out << QStringLiteral(
                   "  Resumen Local %1: del %2 al %3, %4 sincronizados, %5 "
                   "descargados sin sincronizar, %6 no encontrados, %7 dias sin "
                   "registro en %8 huecos; %9 en MDB_descargadas, %10 en Error")
                   .arg(r.idLocal)
                   .arg(ddmmyyyy(r.primero), ddmmyyyy(r.ultimo))
                   .arg(r.sincronizados)
                   .arg(r.descargados)
                   .arg(r.noEncontrados)
                   .arg(r.sinRegistro)
                   .arg(r.huecos)
                   .arg(r.enDescargadas)
                   .arg(r.enError);
    }
    if (informe.locales.isEmpty()) out << QStringLiteral("El ledger no tiene filas que mostrar.");
    return out;
}

QStringList lineasCsv(const Informe& informe) {
    QStringList out{QStringLiteral("local,fecha,estado,carpeta")};
    for (const DiaInforme& d : informe.dias) {
        DiaInforme sinCarpeta = d;
        sinCarpeta.carpeta.clear();
        out << QStringLiteral("%1,%2,\"%3\",%4")
                   .arg(d.idLocal)
                   .arg(ddmmyyyy(d.fecha), textoEstado(sinCarpeta), d.carpeta);
    }
    return out;
}

}  // namespace lumaro::ledger
