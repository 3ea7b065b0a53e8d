#include "ftp/UploadRun.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "ftp/FtpUtil.h"
#include "ftp/Transfer.h"
#include "run/AvisosCorreo.h"
#include "run/Console.h"
#include "snapshot/CrearBDTemp.h"
#include "snapshot/DataModel.h"

namespace lumaro::ftp {

using lumaro::config::EscribirLog;
using lumaro::run::console;
using lumaro::run::EscribirLogCorreo;

namespace {

// lblProceso while sending: red 255, green 74, blue 100.
constexpr int kColorEnvio = 0xFF4A64;

QString entre(const QString& nombre) {
    return QStringLiteral(" < ") + nombre + QStringLiteral(" >");
}

// The texts a failed upload leaves, which differ between the temp folder and "RtDbf".
struct Avisos {
    QString lista;   // List1, after the timestamp
    QString log;     // run log, before the failed upload's "N=... D=..."
    QString correo;  // run log, when the store has a contact e-mail
};

Avisos avisosTemp(const QString& n) {
    return {
        QStringLiteral(" - Problemas al SUBIR archivo") + entre(n) +
            QStringLiteral(" al FTP, desde <TEMP>."),
        QStringLiteral("Problemas al SUBIR archivo") + entre(n) + QStringLiteral(" desde <TEMP>: "),
        QStringLiteral("Se intento enviar correo, detallando problemas al SUBIR archivo") +
            entre(n) + QStringLiteral(" desde <TEMP>.")};
}

Avisos avisosCarpeta(const QString& n) {
    return {QStringLiteral(" - Problemas al SUBIR archivo") + entre(n) + QStringLiteral("."),
            QStringLiteral("Problemas al SUBIR archivo") + entre(n) + QStringLiteral(". "),
            QStringLiteral("Se intento enviar correo: Detallando problemas al SUBIR archivo") +
                entre(n) + QStringLiteral(".")};
}

// The own store: the loaded registry's, or, when the registry could not be loaded in this
// cycle (connections down), the active store its last load recorded. Empty when neither is a
// store number: then nothing can be told to be this store's and nothing is sent.
QString idPropio() {
    const QString cargado = lumaro::db::idLocalPropio();
    if (!cargado.isEmpty()) return cargado;
    const QString registrado = lumaro::config::Inicio::leer().localActivo;
    return lumaro::db::esNumeroEntero(registrado) ? registrado : QString();
}

class Subida {
public:
    explicit Subida(const QString& id) : m_id(id), m_correo(lumaro::db::emailContactoPropio()) {}

    // Step 2: the temp folder of the program.
    void carpetaTemp() {
        EscribirLog(QStringLiteral("Intentando enviar archivos desde carpeta < TEMP >..."));
        const QString temp = rutaPrograma(QStringLiteral("temp")) + QDir::separator();
        for (const QString& ruta : ListarArchivos(temp, QStringLiteral("MDB")))
            enviar(ruta, avisosTemp(QFileInfo(ruta).fileName()));
    }

    // Step 3: today's snapshot. Returns false when it does not exist yet (the run ends).
    bool archivoDelDia() {
        EscribirLog(QStringLiteral("Intentando SUBIR archivo del día de Hoy..."));
        // Without the folder there is nothing of today's to send, and its DBF files with it:
        // a failure of the run, not a day whose snapshot is still to come.
        if (carpetaDbf().isEmpty()) {
            const QString causa = lumaro::config::Inicio::leer().causaRtDbf;
            m_fallo = true;
            lumaro::config::noteFailure(
                m_causa,
                causa.isEmpty() ? QStringLiteral("no hay carpeta \"RtDbf\" configurada") : causa);
            EscribirLog(QStringLiteral("MainProcesoSinc.Main: no se SUBEN los archivos de la "
                                       "carpeta de snapshots: ") +
                        m_causa);
            return false;
        }
        const QString t = nombreDelDia();
        const QString ddmmyyyy =
            lumaro::snapshot::diaDeSnapshot(t).toString(QStringLiteral("ddMMyyyy"));
        if (!existeArchivo(QDir(carpetaDbf()).filePath(t))) {
            EscribirLog(QStringLiteral("MainProcesoSinc.Main: No se encontro, localmente, el "
                                       "archivo <MDB> del dia de Hoy, archivo") +
                        entre(t) +
                        QStringLiteral(" para SUBIRLO al FTP (si esta es la primera "
                                       "sincronizacion se volverá a verificar despues)."));
            return false;
        }
        if (yaEnviado(t)) return true;
        console().setStep(QStringLiteral("Se intentara SUBIR el archivo <MDB> local..."),
                          kColorEnvio);
        if (subir(carpetaDbf(), t)) return true;
        console().addProblem(marcaTiempo() + QStringLiteral(" - Problemas al SUBIR archivo local") +
                             entre(t) + QStringLiteral("."));
        EscribirLog(QStringLiteral("Problemas al SUBIR archivo local") + entre(t) +
                    QStringLiteral(". ") + detalleUltimaCarga());
        if (!m_correo.isEmpty())
            EscribirLogCorreo(
                QStringLiteral("Se intento enviar correo: Detallando problemas al SUBIR "
                               "archivo local < ") +
                m_id + QStringLiteral(" - ") + ddmmyyyy + QStringLiteral(".mdb >."));
        return true;
    }

    // Today's snapshot; one generated just before midnight carries the day before, the name
    // that "BD_Temp" recorded: it is today's file of this cycle while today's does not exist.
    QString nombreDelDia() const {
        const QString hoy = lumaro::snapshot::nombreSnapshot(m_id, lumaro::config::Clock::today());
        const QString generada = lumaro::config::LeerConfig(QStringLiteral("BD_Temp")).trimmed();
        if (existeArchivo(QDir(carpetaDbf()).filePath(hoy)) ||
            !lumaro::snapshot::diaDeSnapshot(generada).isValid() ||
            !esArchivoPropio(generada, m_id) ||
            !existeArchivo(QDir(carpetaDbf()).filePath(generada)))
            return hoy;
        return generada;
    }

    // Steps 4 and 5: this store's snapshots, then its DBF files, of the snapshot folder.
    void carpetaSnapshots(const QString& extension) {
        EscribirLog(QStringLiteral("Intentando SUBIR archivos ") + extension +
                    QStringLiteral(" desde carpeta < ") + carpetaDbf() + QDir::separator() +
                    QStringLiteral(" > ..."));
        for (const QString& ruta : ListarArchivos(carpetaDbf() + QDir::separator(), extension)) {
            const QString n = QFileInfo(ruta).fileName();
            if (!esArchivoPropio(n, m_id)) {
                EscribirLog(QStringLiteral("Se omite el archivo") + entre(n) +
                            QStringLiteral(": no es un archivo de intercambio de este Local."));
                continue;
            }
            enviar(ruta, avisosCarpeta(n));
        }
    }

    void terminar() { EscribirLog(QStringLiteral("Se termino la SUBIDA de archivos.")); }

    // Done when no upload failed; the first cause met, also of a sent file left unarchived.
    UploadOutcome resultado() const { return {!m_fallo, m_causa}; }

private:
    static QString carpetaDbf() { return lumaro::config::Inicio::leer().rtDbf; }

    // Sends carpeta/n; false (the run's failure noted) when it did not reach the server. A
    // sent file still in its folder could not be archived: it goes again on the next run.
    bool subir(const QString& carpeta, const QString& n) {
        const lumaro::config::Status enviado = cargarFileFTP(carpeta, n);
        if (!enviado) {
            m_fallo = true;
            lumaro::config::noteFailure(m_causa, enviado.cause());
            return false;
        }
        if (existeArchivo(QDir(carpeta).filePath(n)))
            lumaro::config::noteFailure(m_causa, QStringLiteral("no se pudo archivar ") + n +
                                                     QStringLiteral(" en ") +
                                                     rutaPrograma(QStringLiteral("MDB_enviadas")));
        return true;
    }

    // Sends one listed file unless it was sent before. A refusal is reported and the run
    // goes on with the next file.
    void enviar(const QString& ruta, const Avisos& avisos) {
        const QFileInfo info(ruta);
        const QString n = info.fileName();
        if (yaEnviado(n)) return;
        console().setStep(QStringLiteral("Envio de archivos..."), kColorEnvio);
        if (subir(info.path(), n)) return;
        console().addProblem(marcaTiempo() + avisos.lista);
        EscribirLog(avisos.log + detalleUltimaCarga());
        if (!m_correo.isEmpty()) EscribirLogCorreo(avisos.correo);
    }

    QString m_id;
    QString m_correo;
    bool m_fallo = false;
    QString m_causa;
};

bool contieneProducto(const QString& nombre) {
    const QString upper = nombre.toUpper();
    return upper.contains(QLatin1String("SEGURIDAD")) || upper.contains(QLatin1String("LUMARO"));
}

}  // namespace

namespace {

QFileInfoList archivosDe(const QString& carpeta) {
    return QDir(carpeta).entryInfoList(QDir::Files | QDir::System, QDir::Name);
}

// The listing rule: a regular file, not hidden, not read-only by its permission bits (the
// administrator may write anything), whose name does not name the product.
bool listable(const QFileInfo& info) {
    return info.isFile() && !info.isHidden() && (info.permissions() & QFileDevice::WriteOwner) &&
           !contieneProducto(info.fileName());
}

}  // namespace

QStringList ListarArchivos(const QString& carpeta, const QString& extension) {
    QStringList lista;
    const QString sufijo = QLatin1Char('.') + extension.toUpper();
    for (const QFileInfo& info : archivosDe(carpeta)) {
        const QString nombre = info.fileName();
        if (!listable(info) || !nombre.toUpper().endsWith(sufijo)) continue;
        lista.append(carpeta + nombre);
        console().addFile(carpeta + nombre);
    }
    console().processEvents();
    return lista;
}

bool hayArchivosPropiosSinEnviar(const QStringList& carpetas, const QString& idLocalPropio) {
    for (const QString& carpeta : carpetas) {
        if (carpeta.isEmpty()) continue;
        for (const QFileInfo& info : archivosDe(carpeta)) {
            const QString nombre = info.fileName();
            if (listable(info) && esArchivoPropio(nombre, idLocalPropio) && !yaEnviado(nombre))
                return true;
        }
    }
    return false;
}

bool esArchivoPropio(const QString& nombre, const QString& idLocalPropio) {
    if (!lumaro::db::esNumeroEntero(idLocalPropio)) return false;
    const QString id = QRegularExpression::escape(idLocalPropio);
    const QRegularExpression patron(
        QStringLiteral("^") + id + QStringLiteral("_(\\d{8}\\.mdb|[CTAK]_[0-9A-Z]{2,3}\\.dbf)$"),
        QRegularExpression::CaseInsensitiveOption);
    return patron.match(nombre).hasMatch();
}

UploadOutcome Main() {
    const QString id = idPropio();
    if (id.isEmpty()) {
        EscribirLog(
            QStringLiteral("MainProcesoSinc.Main: no se conoce el Local propio "
                           "(Local_Activo); no se SUBE ningun archivo."));
        console().addProblem(
            marcaTiempo() +
            QStringLiteral(" - No se conoce el Local propio; no se SUBE ningun archivo."));
        return {false,
                QStringLiteral("no se conoce el Local propio (Local_Activo): no se sube nada")};
    }
    Subida subida(id);
    console().clearFiles();
    subida.carpetaTemp();
    if (!subida.archivoDelDia()) return subida.resultado();
    console().clearFiles();
    subida.carpetaSnapshots(QStringLiteral("MDB"));
    console().clearFiles();
    subida.carpetaSnapshots(QStringLiteral("DBF"));
    subida.terminar();
    return subida.resultado();
}

}  // namespace lumaro::ftp
