#include "db/clsDBAdmin.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

#include "config/Console.h"
#include "config/Settings.h"
#include "db/SessionSetup.h"

namespace lumaro::db {

namespace {

QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("lumaro_db_%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

// Reports a failed statement as the caller asked; always returns false.
bool reportFailure(const QString& description, const QString& sql, int iErrorFlag, QString* sError,
                   const char* operation) {
    const QString text = description + QStringLiteral(" - ") + sql;
    if (iErrorFlag == 1) {
        if (sError) *sError = text;
        return false;
    }
    config::console().messageBox(config::BoxIcon::Information, QString(), text);
    config::EscribirLog(QStringLiteral("Error (%1): ").arg(QLatin1String(operation)) + description);
    return false;
}

}  // namespace

bool clsDBAdmin::AbrirBD(Connection& Cnn, const QString& sConnectString,
                         const QString& odbcDriver) {
    Cnn = Connection();
    QString error;
    const auto spec = translateConnectionText(sConnectString, odbcDriver, &error);
    if (spec && spec->engine == Engine::Jet)
        error = QStringLiteral("El archivo es una base Jet, que no se abre por esta via: ") +
                spec->databaseName;
    if (!spec || spec->engine == Engine::Jet) {
        config::EscribirLog(QStringLiteral("clsDBAdmin.AbrirBD - Error: ") + error);
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(spec->qtDriver)) {
        config::EscribirLog(QStringLiteral("clsDBAdmin.AbrirBD - Error: ") +
                            QStringLiteral("No se encuentra el controlador ") + spec->qtDriver);
        return false;
    }
    auto state = std::make_shared<Connection::State>(nextConnectionName(), spec->engine);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(spec->qtDriver, state->connectionName);
        db.setDatabaseName(spec->databaseName);
        if (!spec->hostName.isEmpty() && spec->qtDriver != QLatin1String("QODBC"))
            db.setHostName(spec->hostName);
        if (spec->port > 0) db.setPort(spec->port);
        db.setUserName(spec->userName);
        db.setPassword(spec->password);
        db.setConnectOptions(spec->connectOptions);
        if (!db.open()) {
            const QSqlError e = db.lastError();
            error = e.databaseText().isEmpty() ? e.text() : e.databaseText();
        }
    }
    Connection opened(state);
    if (error.isEmpty() && !setUpSession(opened, spec->engine, &error) && error.isEmpty())
        error = QStringLiteral("No se pudo preparar la sesion");
    if (!error.isEmpty()) {
        config::EscribirLog(QStringLiteral("clsDBAdmin.AbrirBD - Error: ") + error);
        return false;
    }
    Cnn = opened;
    return true;
}

void clsDBAdmin::CerrarBD(Connection& Cnn) {
    {
        QSqlDatabase db = Cnn.database();
        if (db.isValid()) db.close();
    }
    Cnn = Connection();
}

bool clsDBAdmin::EjecutarConsulta(Connection& Cnn, const QString& sSQL, Recordset& rs,
                                  bool /*clientCursor*/, int iErrorFlag, QString& sError) {
    sError.clear();
    if (rs.open(Cnn, sSQL)) return true;
    return reportFailure(rs.errorText(), sSQL, iErrorFlag, &sError, "EjecutarConsulta");
}

bool clsDBAdmin::EjecutarSentencia(Connection& Cnn, const QString& sSQL, int iErrorFlag,
                                   QString* sError) {
    if (sError) sError->clear();
    Connection::State* st = Cnn.state();
    if (st) st->rowsAffected = -1;
    QString description;
    if (!Cnn.isOpen()) {
        description = QStringLiteral("La conexion no esta abierta");
    } else if (sSQL.trimmed().isEmpty()) {
        description = QStringLiteral("La sentencia SQL esta vacia");
    } else {
        QSqlQuery q(Cnn.database());
        if (q.exec(Cnn.prepareStatement(sSQL))) {
            st->rowsAffected = q.numRowsAffected();
            if (isSchemaStatement(sSQL)) Cnn.refreshNames();
            return true;
        }
        const QSqlError e = q.lastError();
        description = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    }
    if (st) st->lastError = description;
    return reportFailure(description, sSQL, iErrorFlag, sError, "EjecutarSentencia");
}

clsDBAdmin& dbAdmin() {
    static clsDBAdmin instance;
    return instance;
}

}  // namespace lumaro::db
