#include "BenchSupport.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "config/ProfileFile.h"
#include "snapshot/DataModel.h"

namespace lumaro::bench {

namespace {

using snapshot::Column;
using snapshot::ColumnType;
using snapshot::Table;

// The SQL expression of a column for generated row i.
QString expresion(const Table& t, const Column& c, bool primeraClave, const QDate& dia) {
    const QString nombre = c.qName();
    if (nombre == QString::fromUtf8(t.owningStore)) return QStringLiteral("3");
    switch (c.type) {
        case ColumnType::Flag:
            return QStringLiteral("0");
        case ColumnType::Integer:
            return primeraClave ? QStringLiteral("i")
                   : c.key      ? QStringLiteral("1")
                                : QStringLiteral("(i*7)%1000");
        case ColumnType::Text:
            if (primeraClave || c.key)
                return QStringLiteral("substr(printf('%08d', i), 1, %1)").arg(c.size);
            return QStringLiteral("substr(printf('Peña O''Neill %d', i), 1, %1)").arg(c.size);
        case ColumnType::DateTime: {
            const bool cambio = t.hasChangeDate() && nombre == QString::fromUtf8(t.changeDate);
            const QString hoy = dia.toString(QStringLiteral("yyyy-MM-dd"));
            const QString texto = QStringLiteral("replace(date('") + hoy +
                                  QStringLiteral("', '-' || (i%") +
                                  QString::number(cambio ? 10 : 400) +
                                  QStringLiteral(
                                      ") || ' days'), '-', '/') || "
                                      "printf(' %02d:%02d:%02d', i%24, i%60, (i*7)%60)");
            if (c.required || cambio) return texto;
            return QStringLiteral("case when i%5=0 then null else ") + texto +
                   QStringLiteral(" end");
        }
    }
    return QStringLiteral("null");
}

bool ejecutar(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    std::fprintf(stderr, "%s\n  %s\n", qPrintable(q.lastError().text()), qPrintable(sql));
    return false;
}

bool llenarBase(const QString& ruta, snapshot::Database cual, long rows, const QDate& dia) {
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ruta);
        db.setDatabaseName(ruta);
        if (!db.open()) return false;
        ok = ejecutar(db, QStringLiteral("begin"));
        if (cual == snapshot::Database::Cliente)
            ok = ok &&
                 ejecutar(db, QStringLiteral("create table Local (IdLocal int primary key, "
                                             "Nombre nvarchar(50), Activo int)")) &&
                 ejecutar(db, QStringLiteral("insert into Local values (3, 'Tienda 3', 1)"));
        for (const Table& t : snapshot::tables()) {
            if (t.database != cual || !ok) continue;
            const QString nombre = t.qName();
            const long n =
                nombre == QStringLiteral("Acumulacion_Punto") ? rows
                : nombre == QStringLiteral("Cliente") || nombre == QStringLiteral("Tarjeta")
                    ? rows / 10
                    : rows / 100;
            QStringList valores;
            bool primera = true;
            for (const Column& c : t.columns) {
                valores << expresion(t, c, primera && c.key, dia);
                if (c.key) primera = false;
            }
            ok =
                ejecutar(db, snapshot::sqliteCreateStatement(t)) &&
                ejecutar(db, QStringLiteral("with recursive n(i) as (select 1 union all select "
                                            "i+1 from n where i < %1) insert into \"%2\" select %3 "
                                            "from n")
                                 .arg(n)
                                 .arg(nombre, valores.join(QStringLiteral(", "))));
        }
        ok = ok && ejecutar(db, QStringLiteral("commit"));
    }
    QSqlDatabase::removeDatabase(ruta);
    return ok;
}

}  // namespace

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

bool llenarProduccion(const QString& folder, long rows, const QDate& dia) {
    const QDir dir(folder);
    const QString cfg = dir.filePath(QStringLiteral("lumaro-sync.cfg"));
    QString error;
    const QList<QPair<QString, QString>> claves = {
        {QStringLiteral("Conexion_Cliente"), dir.filePath(QStringLiteral("cliente.db"))},
        {QStringLiteral("Conexion_Logistica"), dir.filePath(QStringLiteral("logistica.db"))}};
    for (const auto& [seccion, archivo] : claves)
        if (!config::ProfileFile::write(cfg, seccion, QStringLiteral("ServidorSQL"),
                                        QStringLiteral("sqlite"), &error) ||
            !config::ProfileFile::write(cfg, seccion, QStringLiteral("BaseDatosSQL"), archivo,
                                        &error))
            return false;
    if (!config::ProfileFile::write(cfg, QStringLiteral("Inicio"), QStringLiteral("RtDbf"),
                                    dir.filePath(QStringLiteral("salida")), &error))
        return false;
    return llenarBase(dir.filePath(QStringLiteral("cliente.db")), snapshot::Database::Cliente, rows,
                      dia) &&
           llenarBase(dir.filePath(QStringLiteral("logistica.db")), snapshot::Database::Logistica,
                      rows, dia);
}

}  // namespace lumaro::bench
