#include "importer/FilasApartadas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "config/Clock.h"
#include "config/Settings.h"
#include "importer/Archivado.h"
#include "run/Console.h"

namespace lumaro::importer {

namespace {

QString enUnaLinea(QString texto) {
    texto.replace(u'\r', u' ').replace(u'\n', u' ');
    return texto;
}

QString comentado(const QString& texto) {
    QString out;
    for (const QString& linea : texto.split(u'\n')) out += QStringLiteral("-- ") + linea + u'\n';
    return out;
}

QString entrada(const QString& snapshot, const FilaApartada& f, bool nuevo) {
    QString out;
    if (nuevo)
        out += QStringLiteral(
                   "-- Filas del archivo %1 que no se pudieron sincronizar. Cada una lleva su "
                   "motivo y la sentencia que la aplicaria en la base de produccion.\n\n")
                   .arg(snapshot);
    const bool logistica = f.tabla->database == snapshot::Database::Logistica;
    out += QStringLiteral("-- ") +
           config::Clock::now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) +
           QStringLiteral(" | ") + snapshot::describirClave(*f.tabla, f.fila) +
           (logistica ? QStringLiteral(" | base de logistica\n")
                      : QStringLiteral(" | base de clientes\n"));
    out += QStringLiteral("-- Motivo: ") + enUnaLinea(f.motivo) + u'\n';
    if (f.sentencia.isEmpty()) return out + u'\n';
    if (!f.corregir) return out + f.sentencia + QStringLiteral(";\n\n");
    out +=
        QStringLiteral("-- Corrija el valor antes de aplicarla (se escribio NULL en su lugar):\n");
    return out + comentado(f.sentencia + u';') + u'\n';
}

}  // namespace

QString carpetaFilasApartadas() { return config::programPath(QStringLiteral("Filas_rechazadas")); }

QString archivoFilasApartadas(const QString& snapshot) {
    return QDir(carpetaFilasApartadas())
        .filePath(QFileInfo(snapshot).completeBaseName() + QStringLiteral(".sql"));
}

bool apartarFila(const QString& snapshot, const FilaApartada& fila, QString* causa) {
    const QString carpeta = carpetaFilasApartadas();
    const QString ruta = archivoFilasApartadas(snapshot);
    QFile f(ruta);
    const QByteArray texto = entrada(snapshot, fila, !f.exists()).toUtf8();
    const qint64 antes = f.size();
    const bool escrito = QDir().mkpath(carpeta) && f.open(QIODevice::Append) &&
                         f.write(texto) == texto.size() && f.flush();
    if (!escrito) {
        const QString sistema = f.errorString();
        if (f.isOpen()) f.resize(antes);  // no half entry is left behind
        f.close();
        if (causa) *causa = causaEscritura(carpeta, texto.size(), sistema);
        return false;
    }
    const QString clave = snapshot::describirClave(*fila.tabla, fila.fila);
    const QString nativa = QDir::toNativeSeparators(ruta);
    config::EscribirLog(fila.prefijo + QStringLiteral("se aparta la fila ") + clave +
                        QStringLiteral(": ") + fila.motivo + QStringLiteral("; queda en ") +
                        nativa + QStringLiteral(" para revisarla y aplicarla a mano"));
    run::console().addProblem(config::marcaTiempo() + QStringLiteral(" - Fila apartada: ") + clave +
                              QStringLiteral(" (ver ") + nativa + u')');
    return true;
}

}  // namespace lumaro::importer
