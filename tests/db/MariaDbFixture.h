#pragma once
// A DbFixture whose test program shares one MariaDB server on a loopback port: database
// "espejo", user "lumaro" on 127.0.0.1, the store's SQL Server settings pointing at the
// embedded databases of the program folder and [Mysql] at the server. When the server cannot
// start, every test of the program skips, saying why.

#include "DbFixture.h"
#include "MariaDbServer.h"
#include "db/Conexiones.h"

namespace lumaro::testing {

class MariaDbFixture : public DbFixture {
protected:
    // From SetUpTestSuite: starts the server and creates the user with serverPassword (the
    // settings file holds settingsPassword, which reads back as it), then runs extraSql as root.
    static void startServer(const QString& serverPassword, const QString& settingsPassword,
                            const QString& extraSql = QString()) {
        s_server = new MariaDbServer;
        s_password = settingsPassword;
        QString error;
        if (!s_server->start(&error) ||
            !s_server->runAsRoot("create database espejo; create user 'lumaro'@'127.0.0.1' "
                                 "identified by '" +
                                     serverPassword +
                                     "'; grant all on espejo.* to 'lumaro'@'127.0.0.1'; " +
                                     extraSql,
                                 &error))
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
