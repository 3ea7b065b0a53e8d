#include "cadena/Tienda.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "cadena/LecturaFilas.h"
#include "config/ProfileFile.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"

namespace lumaro::cadena {

namespace {

struct Enviado {
    QDate dia;
    QString hora;
    QString ruta;
};

// The active store of table Local and whether it is store 1 (the one that feeds the mirror).
bool leerLocal(const QString& ruta, qlonglong& activo, bool& principal, QString* error) {
    db::Connection cnn;
    if (!abrirProduccion(cnn, ruta, error)) return false;
    db::Recordset rs;
    const bool ok =
        rs.open(cnn, QStringLiteral("SELECT IdLocal from local WHERE Activo = 1 order by IdLocal"));
    if (!ok && error) *error = ruta + QStringLiteral(": ") + rs.errorText();
    activo = ok && !rs.eof() ? rs.value(0).toLongLong() : 0;
    principal = false;
    for (; ok && !rs.eof(); rs.moveNext()) principal = principal || rs.value(0).toLongLong() == 1;
    db::dbAdmin().CerrarBD(cnn);
    return ok;
}

}  // namespace

bool leerTienda(const QString& carpeta, Tienda& t, QString* error) {
    const QDir dir(QDir(carpeta).absolutePath());  // the database texts want full paths
    t = Tienda{};
    t.carpeta = dir.absolutePath();
    t.cliente = dir.filePath(QStringLiteral("cliente.db"));
    t.logistica = dir.filePath(QStringLiteral("logistica.db"));
    const QDir enviadas(dir.filePath(QStringLiteral("MDB_enviadas")));
    if (!dir.exists() || !enviadas.exists()) {
        if (error) *error = QStringLiteral("no existe la carpeta ") + enviadas.path();
        return false;
    }
    qlonglong activo = 0;
    if (!leerLocal(t.cliente, activo, t.principal, error)) return false;
    const QString cfg =
        config::ProfileFile::read(dir.filePath(QStringLiteral("lumaro-sync.cfg")),
                                  QStringLiteral("Inicio"), QStringLiteral("Local_Activo"), 50)
            .trimmed();
    bool ok = false;
    t.id = cfg.toLongLong(&ok);
    if (!ok) t.id = activo;
    if (t.id <= 0) {
        if (error) *error = QStringLiteral("no se sabe que local es ") + t.carpeta;
        return false;
    }
    static const QRegularExpression nombre(QStringLiteral("^(\\d{6})_(\\d+)_(\\d{8})\\.mdb$"),
                                           QRegularExpression::CaseInsensitiveOption);
    std::vector<Enviado> enviados;
    for (const QFileInfo& f : enviadas.entryInfoList(QDir::Files, QDir::Name)) {
        // The DBF side files sent with each snapshot are not part of the check.
        if (f.suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0) continue;
        const QRegularExpressionMatch m = nombre.match(f.fileName());
        const QDate dia =
            m.hasMatch() ? QDate::fromString(m.captured(3), QStringLiteral("ddMMyyyy")) : QDate();
        if (!dia.isValid() || m.captured(2).toLongLong() != t.id) {
            t.ajenos << f.fileName();
            continue;
        }
        enviados.push_back({dia, m.captured(1), f.absoluteFilePath()});
    }
    std::stable_sort(enviados.begin(), enviados.end(), [](const Enviado& a, const Enviado& b) {
        return a.dia != b.dia ? a.dia < b.dia : a.hora < b.hora;
    });
    for (const Enviado& e : enviados) t.snapshots << e.ruta;
    return true;
}

}  // namespace lumaro::cadena
