#pragma once
// A DbFixture sharing one loopback MariaDB per program (database "espejo", user "lumaro"), the
// SQL Server settings on the embedded databases, [Mysql] on the server; skips if it cannot start.

#include "DbFixture.h"
#include "MariaDbServer.h"
#include "db/Conexiones.h"

namespace lumaro::testing {

class MariaDbFixture : public DbFixture {
protected:
    // From SetUpTestSuite; settingsPassword must read back as serverPassword.
    static void startServer(const QString& serverPassword, const QString& settingsPassword,
                            const QString& extraSql = QString()) {
        s_server = new MariaDbServer;
        s_password = settingsPassword;
        QString error;
        const QString sql =
            QStringLiteral(
                "create database espejo; create user 'lumaro'@'127.0.0.1' identified "
                "by '%1'; grant all on espejo.* to 'lumaro'@'127.0.0.1'; %2")
                .arg(serverPassword, extraSql);
        if (!s_server->start(&error) || !s_server->runAsRoot(sql, &error))
            s_skip = error.isEmpty() ? QStringLiteral("MariaDB could not be started") : error;
    }
    static void TearDownTestSuite() {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override {
        DbFixture::SetUp();
        if (!s_skip.isEmpty()) GTEST_SKIP() << s_skip.toStdString();
        for (const char* section : {"Conexion_Cliente", "Conexion_Logistica"})
            setKey(section, "ServidorSQL", "sqlite");
        setKey("Conexion_Cliente", "BaseDatosSQL", "cliente.db");
        setKey("Conexion_Logistica", "BaseDatosSQL", "logistica.db");
        setMirror(s_server->port(), s_password);
    }
    void TearDown() override {
        db::cerrarConexiones();
        DbFixture::TearDown();
    }
    void setMirror(int port, const QString& password) {
        setKey("Mysql", "RutaBDClienteMySQL", QStringLiteral("127.0.0.1:%1").arg(port));
        setKey("Mysql", "DataBaseMySQL", "espejo");
        setKey("Mysql", "USRNameMySQL", "lumaro");
        setKey("Mysql", "PWDMySQL", password);
    }
    // Runs SQL as root; a failure fails the test.
    void root(const QString& sql) {
        QString error;
        ASSERT_TRUE(s_server->runAsRoot(sql, &error)) << error.toStdString();
    }

    inline static MariaDbServer* s_server = nullptr;
    inline static QString s_skip;
    inline static QString s_password;
};

}  // namespace lumaro::testing
