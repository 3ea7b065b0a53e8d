#include "db/SessionSetup.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace lumaro::db {

namespace {

QStringList column0(QSqlDatabase db, const QString& sql) {
    QStringList out;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.exec(sql))
        while (q.next()) out << q.value(0).toString();
    return out;
}

Engine engineFromDbms(const QString& dbms, Engine requested) {
    if (dbms.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive)) return Engine::SqlServer;
    if (dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive)) return Engine::OtherOdbc;
    if (dbms.isEmpty()) return requested;
    return Engine::OtherOdbc;
}

}  // namespace

QStringList sessionStatements(Engine engine) {
    switch (engine) {
        case Engine::SqlServer:
            return {QStringLiteral("SET DATEFORMAT ymd")};
        case Engine::MySql:
            return {
                QStringLiteral("SET SESSION sql_mode = TRIM(BOTH ',' FROM "
                               "CONCAT(@@SESSION.sql_mode, ',NO_BACKSLASH_ESCAPES'))")};
        case Engine::Sqlite:
            // A page cache that holds a merge's batch: with SQLite's 2 MB, a batch of a few
            // thousand rows spread over the indexes spills to the file before its commit (one
            // more sync to disk and the pages written twice). Up to 16 MB, as pages are used.
            return {QStringLiteral("PRAGMA cache_size = -16384")};
        default:
            return {};
    }
}

void loadStoredNames(const Connection& cnn, IdentifierMap& names) {
    names.clear();
    QSqlDatabase db = cnn.database();
    if (cnn.engine() == Engine::Sqlite) {
        const QStringList tables = column0(
            db, QStringLiteral("select name from sqlite_master where type in ('table','view')"));
        names.addAll(tables);
        for (const QString& t : tables) {
            QString quoted = t;
            quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (q.exec(QStringLiteral("pragma table_info(\"%1\")").arg(quoted)))
                while (q.next()) names.add(q.value(1).toString());
        }
    } else if (cnn.engine() == Engine::MySql) {
        names.addAll(column0(db, QStringLiteral("select table_name from information_schema.tables "
                                                "where table_schema = database()")));
    }
}

bool setUpSession(Connection& cnn, Engine requested, QString* error) {
    Connection::State* st = cnn.state();
    QSqlDatabase db = cnn.database();
    st->engine = requested;
    if (requested == Engine::SqlServer || requested == Engine::OtherOdbc) {
        st->dbmsName = odbcDbmsName(db);
        st->engine = engineFromDbms(st->dbmsName, requested);
    } else if (requested == Engine::Sqlite) {
        st->dbmsName = QStringLiteral("SQLite");
        if (!registerSqliteFunctions(db)) {
            if (error) *error = QStringLiteral("El controlador SQLite no expone su manejador");
            return false;
        }
        st->mapNames = true;
    } else if (requested == Engine::MySql) {
        st->dbmsName = QStringLiteral("MySQL");
        const QStringList lower = column0(db, QStringLiteral("select @@lower_case_table_names"));
        st->mapNames = lower.value(0) == QLatin1String("0");
    }
    for (const QString& sql : sessionStatements(st->engine)) {
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            if (error) *error = providerMessage(q.lastError()) + QStringLiteral(" - ") + sql;
            return false;
        }
    }
    if (st->mapNames) loadStoredNames(cnn, st->names);
    return true;
}

}  // namespace lumaro::db
