#include "ftp/Transfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <filesystem>
#include <optional>

#include "config/Clock.h"
#include "config/Settings.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpUtil.h"
#include "ftp/SnapshotCompleto.h"
#include "run/Console.h"

namespace lumaro::ftp {

using lumaro::config::EscribirLog;
using lumaro::run::console;

namespace {

QString entre(const QString& nombre) {
    return QStringLiteral(" < ") + nombre + QStringLiteral(" >");
}

QString detalle(const FtpResult& r) {
    return QStringLiteral("N=") + QString::number(r.code) + QStringLiteral(" D=") + r.message;
}

// Replaces destination with source in one step, so the destination is either the old file
// or the complete new one.
bool reemplazar(const QString& source, const QString& destination, QString* why) {
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(source.toStdString()),
                            std::filesystem::path(destination.toStdString()), ec);
    if (ec) *why = QString::fromStdString(ec.message());
    return !ec;
}

// The failure exit of the download that the transfer itself did not explain.
lumaro::config::Status problemaDescarga(const QString& nombre, const QString& why) {
    const QString linea =
        QStringLiteral("Problemas al DESCARGAR el archivo") + entre(nombre) + QStringLiteral(".");
    console().addProblem(marcaTiempo() + QStringLiteral(" - ") + linea);
    EscribirLog(linea);
    EscribirLog(QStringLiteral("MainProcesoSinc.descargarFileFTP - Error: N=0 D=") + why);
    return lumaro::config::Status::failure(why);
}

// Fetches X into MDB_descargadas through a temporary file; true when X is there, whole: as
// large as the server says, and a database the Jet engine reads to the end (a server that
// does not tell the size cannot be trusted on the length alone). Otherwise the cause.
lumaro::config::Status traerArchivo(FtpClient& client, const FtpSettings& settings,
                                    const QString& nombre) {
    const QString destino = rutaPrograma(QStringLiteral("MDB_descargadas"), nombre);
    const QString temporal = destino + QLatin1String(kTemporarySuffix);
    qint64 anunciado = -1;
    const FtpResult r = client.download(settings.transferPath(nombre), temporal, &anunciado);
    if (!r.ok) {
        QFile::remove(temporal);
        EscribirLog(r.notConnected ? QStringLiteral("No se pudo conectar con el FTP...")
                                   : QStringLiteral("No se ha podido DESCARGAR el archivo") +
                                         entre(nombre) + QStringLiteral("..."));
        EscribirLog(QStringLiteral("MainProcesoSinc.descargarFileFTP - Error: ") + detalle(r));
        return lumaro::config::Status::failure(r.notConnected
                                                   ? r.cause
                                                   : QStringLiteral("descarga de ") + nombre +
                                                         QStringLiteral(": ") + r.cause);
    }
    // A file still being written on the server has grown since the transfer began.
    qint64 ahora = -1;
    client.remoteSize(settings.transferPath(nombre), &ahora);
    const qint64 local = QFileInfo(temporal).size();
    for (const qint64 servidor : {anunciado, ahora}) {
        if (servidor >= 0 && servidor != local) {
            QFile::remove(temporal);
            return problemaDescarga(nombre, QStringLiteral("descarga cortada de %1: %2 de %3 bytes")
                                                .arg(nombre)
                                                .arg(local)
                                                .arg(servidor));
        }
    }
    QString motivo;
    if (!snapshotCompleto(temporal, &motivo)) {
        QFile::remove(temporal);
        return problemaDescarga(nombre, QStringLiteral("descarga incompleta de %1 (%2 bytes): %3")
                                            .arg(nombre)
                                            .arg(local)
                                            .arg(motivo));
    }
    QString why;
    if (!reemplazar(temporal, destino, &why)) {
        QFile::remove(temporal);
        return problemaDescarga(nombre, QStringLiteral("no se pudo dar su nombre a ") + destino +
                                            QStringLiteral(": ") + why);
    }
    return lumaro::config::Status::ok();
}

}  // namespace

namespace {

// The matching rule of existeFileFTP, on the server's entries.
bool enListado(const QStringList& entradas, const QString& nombreArchivo) {
    for (const QString& linea : entradas) {
        if (linea.isEmpty() || linea.endsWith(QLatin1Char('/'))) continue;
        if (isTemporaryName(linea)) continue;
        if (linea.trimmed() == nombreArchivo) return true;
    }
    return false;
}

// The closing lines of a download that did not fail.
DownloadResult finDescarga(DownloadOutcome resultado) {
    EscribirLog(QStringLiteral("Volviendo a cerrar conexiones FTP anteriores [tercera vez]..."));
    EscribirLog(
        QStringLiteral("Volviendo a cancelar transferencias anteriores [tercera vez] (esto "
                       "solo implica terminar de liberar el canal de transferencia)..."));
    return {resultado, QString()};
}

}  // namespace

bool existeFileFTP(const ExchangeListing& listado, const QString& nombreArchivo) {
    // The old control needed these pauses to let the listing arrive; they still tell the
    // operator what is going on.
    const QString titulo = QStringLiteral("Validando existencia de archivo...");
    const QString aviso = QStringLiteral("Por favor espere, hasta que termine la validacion...");
    console().notice(aviso, titulo, 1000);
    console().notice(aviso, titulo, 1000);
    return enListado(listado.entries, nombreArchivo);
}

ExchangeListing listarArchivosFTP() {
    const FtpSettings settings = FtpSettings::read();
    EscribirLog(QStringLiteral("Configurando URL del FTP para DESCARGA..."));
    EscribirLog(QStringLiteral("FTP Login DESCARGA..."));
    EscribirLog(QStringLiteral(
        "Verificando si existe proceso de DESCARGA anterior en curso o trabajando..."));
    EscribirLog(
        QStringLiteral("El canal de transferencia esta libre para las nuevas DESCARGAS..."));
    EscribirLog(
        QStringLiteral("Cancelando transferencias anteriores (esto solo implica terminar de "
                       "liberar el canal de transferencia)..."));
    EscribirLog(QStringLiteral("Cerrando conexiones FTP anteriores..."));
    EscribirLog(QStringLiteral("Capturar listando de archivos existentes en el FTP..."));
    ExchangeListing listado;
    FtpClient client(settings);
    const FtpResult r = client.list(settings.listingFolder(), &listado.entries);
    listado.ok = r.ok;
    if (!r.ok) {
        // A listing that failed says nothing about the files: a transfer problem, not "absent".
        EscribirLog(r.notConnected
                        ? QStringLiteral("No se pudo conectar con el FTP...")
                        : QStringLiteral("No se pudo capturar el listado de archivos del FTP..."));
        EscribirLog(QStringLiteral("MainProcesoSinc.descargarFileFTP - Error: ") + detalle(r));
        listado.failure = r.notConnected ? r.cause : QStringLiteral("listado del FTP: ") + r.cause;
    }
    return listado;
}

DownloadResult descargarFileFTP(const QString& X) {
    return descargarFileFTP(X, listarArchivosFTP());
}

DownloadResult descargarFileFTP(const QString& X, const ExchangeListing& listado) {
    if (!listado.ok) return {DownloadOutcome::Failed, listado.failure};  // logged with it
    EscribirLog(QStringLiteral("Validando existencia del archivo") + entre(X) +
                QStringLiteral(" en el FTP..."));
    if (!existeFileFTP(listado, X)) {
        EscribirLog(QStringLiteral("El archivo") + entre(X) +
                    QStringLiteral(" NO existe en el FTP..."));
        return finDescarga(DownloadOutcome::NotOnServer);
    }
    EscribirLog(QStringLiteral("El archivo") + entre(X) +
                QStringLiteral(" SI existe en el FTP..."));
    EscribirLog(QStringLiteral("Volviendo a cerrar conexiones FTP anteriores..."));
    EscribirLog(
        QStringLiteral("Volviendo a cancelar transferencias anteriores (esto solo "
                       "implica terminar de liberar el canal de transferencia)..."));
    EscribirLog(QStringLiteral("Intenando conecarse al FTP..."));
    EscribirLog(QStringLiteral("Intenando DESCARGAR archivo") + entre(X) + QStringLiteral("..."));
    const FtpSettings settings = FtpSettings::read();
    std::optional<FtpClient> client(std::in_place, settings);
    if (const lumaro::config::Status traido = traerArchivo(*client, settings, X); !traido)
        return {DownloadOutcome::Failed, traido.cause()};
    console().notice(QStringLiteral("DESCARGANDO..."), QStringLiteral("DESCARGANDO..."), 1000);
    const QString hecho = QStringLiteral("El archivo") + entre(X) +
                          QStringLiteral(" se ha DESCARGADO satisfactoriamente...");
    console().setEventPanel(marcaTiempo() + QStringLiteral(" - ") + hecho);
    EscribirLog(hecho);
    EscribirLog(QStringLiteral("Cerrando conexion del FTP..."));
    client.reset();
    EscribirLog(QStringLiteral("Se ha cerrado la conexion al FTP ..."));
    return finDescarga(DownloadOutcome::Downloaded);
}

namespace {

// The local file as the folder holds it: the exact name, else one differing only in case.
QString nombreLocal(const QString& carpeta, const QString& nombre) {
    if (existeArchivo(QDir(carpeta).filePath(nombre))) return nombre;
    const QStringList names = QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name.compare(nombre, Qt::CaseInsensitive) == 0) return name;
    }
    return QString();
}

// What the last failed upload met, for the upload run's lines.
FtpResult& ultimoFalloCarga() {
    static FtpResult fallo;
    return fallo;
}

// The failure exit of the upload: its log line, and the cause for the upload run.
lumaro::config::Status salidaFallidaCarga(const QString& carpeta, const QString& X,
                                          const FtpResult& r) {
    if (existeArchivo(QDir(carpeta).filePath(X)))
        EscribirLog(QStringLiteral("MainProcesoSinc.cargarFileFTP - Error: (B) Error al intentar "
                                   "SUBIR archivo") +
                    entre(X) + QStringLiteral("."));
    else
        EscribirLog(QStringLiteral("MainProcesoSinc.cargarFileFTP - Error: El arhivo") + entre(X) +
                    QStringLiteral(" no existe."));
    ultimoFalloCarga() = r;
    return lumaro::config::Status::failure(r.cause);
}

void detalleCarga(const QString& X, const FtpResult& r) {
    EscribirLog(QStringLiteral("MainProcesoSinc.cargarFileFTP - Error: No se pudo SUBIR archivo") +
                entre(X) + QStringLiteral(". N=") + QString::number(r.code) +
                QStringLiteral(". D=") + r.message);
}

// Archives the sent file as MDB_enviadas/hhmmss_F and removes it from its folder; the file
// is removed only once the copy exists, so it always survives somewhere. False when the copy
// could not be made: the file then waits in its folder to be sent again.
bool archivarEnviado(const QString& origen, const QString& F) {
    const QString hhmmss = lumaro::config::Clock::now().toString(QStringLiteral("HHmmss"));
    const QString copia =
        rutaPrograma(QStringLiteral("MDB_enviadas"), hhmmss + QLatin1Char('_') + F);
    if (lumaro::config::CopiarArchivo(origen, copia)) {
        lumaro::config::BorrarArchivo(origen);
        return true;
    }
    EscribirLog(QStringLiteral("MainProcesoSinc.cargarFileFTP - No se pudo copiar el archivo") +
                entre(F) + QStringLiteral(" a MDB_enviadas; se conserva en ") + origen +
                QStringLiteral(" y se volvera a enviar."));
    return false;
}

}  // namespace

QString detalleUltimaCarga() {
    return QStringLiteral("N=") + QString::number(ultimoFalloCarga().code) +
           QStringLiteral(". D=") + ultimoFalloCarga().message;
}

lumaro::config::Status cargarFileFTP(const QString& carpeta, const QString& X) {
    const QString verificando = QStringLiteral(" - Verificando si hay archivo para SUBIR...");
    console().setEventPanel(marcaTiempo() + verificando);
    EscribirLog(verificando);

    const FtpSettings settings = FtpSettings::read();
    FtpClient client(settings);
    // The listing opens the connection and tells whether the name is already taken.
    QStringList entradas;
    FtpResult listado = client.list(settings.listingFolder(), &entradas);
    if (!listado.ok) {
        detalleCarga(X, listado);
        if (!listado.notConnected) listado.cause.prepend(QStringLiteral("listado del FTP: "));
        return salidaFallidaCarga(carpeta, X, listado);
    }
    const QString abriendo =
        QStringLiteral("Abriendo conexion con servidor FTP para SUBIR archivo...");
    console().setEventPanel(marcaTiempo() + QStringLiteral(" - ") + abriendo);
    EscribirLog(abriendo);

    const QString F = nombreLocal(carpeta, X);
    console().setEventPanel(marcaTiempo() + QStringLiteral(" - SUBIENDO archivo") + entre(F) +
                            QStringLiteral("..."));
    EscribirLog(QStringLiteral(" - SUBIENDO archivo") + entre(X) + QStringLiteral("..."));
    console().processEvents();
    if (F.isEmpty()) {
        EscribirLog(QStringLiteral("(A) No se ha podido SUBIR el archivo."));
        return salidaFallidaCarga(
            carpeta, X,
            FtpResult::failure(QStringLiteral("no existe el archivo ") +
                               QDir::toNativeSeparators(QDir(carpeta).filePath(X))));
    }

    const bool presente = enListado(entradas, F);
    // Marks the name as ours before sending: if the server completes the file but its answer
    // is lost, or the archive copy cannot be made afterwards, the next attempt may replace
    // what this store itself sent.
    const QString marca =
        rutaPrograma(QStringLiteral("MDB_enviadas"), F + QStringLiteral(".enviando"));
    if (presente && !yaEnviado(F) && !existeArchivo(marca)) {
        // Another installation sent this name: two PCs set up as the same store.
        const QString linea = QStringLiteral("El archivo") + entre(F) +
                              QStringLiteral(
                                  " ya existe en el FTP y no fue enviado por este "
                                  "Local: no se reemplaza.");
        console().addProblem(marcaTiempo() + QStringLiteral(" - ") + linea);
        EscribirLog(QStringLiteral("MainProcesoSinc.cargarFileFTP - Error: ") + linea);
        return salidaFallidaCarga(carpeta, X, FtpResult::failure(linea));
    }
    QFile marcaArchivo(marca);
    if (!existeArchivo(marca) && !marcaArchivo.open(QIODevice::WriteOnly)) {
        // Sent without its mark, the file could not be told from another PC's next time.
        const FtpResult sinMarca =
            FtpResult::failure(QStringLiteral("no se puede escribir en ") +
                               rutaPrograma(QStringLiteral("MDB_enviadas")) + QStringLiteral(" (") +
                               marcaArchivo.errorString() + QStringLiteral("): no se envia ") + F);
        EscribirLog(QStringLiteral("MainProcesoSinc.cargarFileFTP - Error: ") + sinMarca.message);
        return salidaFallidaCarga(carpeta, X, sinMarca);
    }
    marcaArchivo.close();

    const QString origen = QDir::toNativeSeparators(QDir(carpeta).filePath(F));
    FtpResult envio = client.upload(origen, settings.subFile, F, presente);
    if (!envio.ok) {
        EscribirLog(QStringLiteral("(A) No se ha podido SUBIR el archivo."));
        detalleCarga(X, envio);
        if (!envio.notConnected)
            envio.cause.prepend(QStringLiteral("subida de ") + F + QStringLiteral(": "));
        return salidaFallidaCarga(carpeta, X, envio);
    }
    console().notice(QStringLiteral("SUBIENDO archivo..."),
                     QStringLiteral("Transferencia de archivo"), 1000);
    if (archivarEnviado(origen, F)) QFile::remove(marca);
    EscribirLog(QStringLiteral("Se ha SUBIDO el archivo satisfactoriamente."));
    return lumaro::config::Status::ok();
}

}  // namespace lumaro::ftp
