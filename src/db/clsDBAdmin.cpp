#include "db/clsDBAdmin.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

#include "config/Settings.h"
#include "db/SessionSetup.h"
#include "run/Console.h"

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
    run::console().messageBox(run::BoxIcon::Information, QString(), text);
    config::EscribirLog(QStringLiteral("Error (%1): ").arg(QLatin1String(operation)) + description);
    return false;
}

}  // namespace

bool clsDBAdmin::AbrirBD(Connection& Cnn, const QString& sConnectString,
                         const QString& odbcDriver) {
    Cnn = Connection();
    QString error;
    const auto target = translateConnectionText(sConnectString, odbcDriver, &error);
    if (target && target->engine == Engine::Jet)
        error = QStringLiteral("El archivo es una base Jet, que no se abre por esta via: ") +
                target->databaseName;
    if (!target || target->engine == Engine::Jet) {
        config::EscribirLog(QStringLiteral("clsDBAdmin.AbrirBD - Error: ") + error);
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(target->qtDriver)) {
        // The Windows build carries no MySQL client: the mirror is not fed there.
        const QString sinEspejo = target->qtDriver == QLatin1String("QMYSQL")
                                      ? QStringLiteral(
                                            " (cliente de MySQL): esta instalacion no "
                                            "alimenta el espejo MySQL configurado")
                                      : QString();
        config::EscribirLog(QStringLiteral("clsDBAdmin.AbrirBD - Error: ") +
                            QStringLiteral("No se encuentra el controlador ") + target->qtDriver +
                            sinEspejo);
        return false;
    }
    auto state = std::make_shared<Connection::State>(nextConnectionName(), target->engine);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target->qtDriver, state->connectionName);
        db.setDatabaseName(target->databaseName);
        if (!target->hostName.isEmpty() && target->qtDriver != QLatin1String("QODBC"))
            db.setHostName(target->hostName);
        if (target->port > 0) db.setPort(target->port);
        db.setUserName(target->userName);
        db.setPassword(target->password);
        db.setConnectOptions(target->connectOptions);
        if (!db.open()) {
            const QSqlError e = db.lastError();
            error = providerMessage(e);
        }
    }
    Connection opened(state);
    if (error.isEmpty() && !setUpSession(opened, target->engine, &error) && error.isEmpty())
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
        description = providerMessage(e);
    }
    if (st) st->lastError = description;
    return reportFailure(description, sSQL, iErrorFlag, sError, "EjecutarSentencia");
}

clsDBAdmin& dbAdmin() {
    static clsDBAdmin instance;
    return instance;
}

}  // namespace lumaro::db
