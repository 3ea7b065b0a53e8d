#pragma once
// A temporary program folder with its settings, a fixed clock and a console recording every box.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/ProfileFile.h"
#include "config/Settings.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "run/Console.h"
#include "run/HeadlessConsole.h"
#include "tools/DemoDatabases.h"

namespace lumaro::testing {

class DbFixture : public ::testing::Test {
protected:
    using Kind = run::HeadlessConsole::Event::Kind;

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        config::setProgramFolder(m_dir.path());
        config::setExecutableBaseName(QStringLiteral("lumaro-sync"));
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0)));
        run::setConsole(&m_console);
    }
    void TearDown() override {
        run::setConsole(nullptr);
        config::Clock::setForTesting({});
        config::setProgramFolder(QString());
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    static QByteArray contenido(const QString& ruta) {
        QFile f(ruta);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool escribir(const QString& ruta, const QByteArray& datos) {
        QFile f(ruta);
        return f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size();
    }
    // Generated client and logistics databases in the program folder (links lumaro_demo_db).
    void makeDemoStore(int idLocal, int clientes) {
        tools::DemoOptions o;
        o.clientePath = path("cliente.db");
        o.logisticaPath = path("logistica.db");
        o.idLocal = idLocal;
        o.clientes = clientes;
        o.hoy = QDate(2026, 12, 5);
        QString error;
        ASSERT_TRUE(tools::crearBasesDemo(o, &error)) << error.toStdString();
    }
    void setKey(const QString& section, const QString& key, const QString& value) {
        QString error;
        ASSERT_TRUE(config::ProfileFile::write(config::settingsPath(), section, key, value, &error))
            << error.toStdString();
    }
#ifdef _WIN32
    // Under Wine the ODBC calls reach the Linux driver manager, whose SQLite driver cannot open
    // the test's Windows paths; Debian has no SQLite ODBC driver for Windows.
    static constexpr const char* kSinSqliteOdbc =
        "no SQLite ODBC driver for Windows: the ODBC cases over SQLite run on Linux";
#endif
    // Points both SQL Server connections at the embedded files through unixODBC's SQLite driver
    // (and FreeTDS when asked) in a private odbcinst.ini. False when a driver is not installed.
    bool connectThroughOdbc(bool withFreeTds = false) {
        QList<std::pair<QString, QString>> drivers{{"SQLite3", "libsqlite3odbc.so"}};
        if (withFreeTds) drivers.append(std::pair<QString, QString>("FreeTDS", "libtdsodbc.so"));
        QByteArray ini;
        for (const auto& [name, library] : drivers) {
            QString found;
            for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc",
                                    "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc"})
                if (QFileInfo::exists(QString(dir) + '/' + library))
                    found = QString(dir) + '/' + library;
            if (found.isEmpty()) return false;
            ini += QStringLiteral("[%1]\nDriver=%2\n").arg(name, found).toUtf8();
        }
        if (!escribir(path("odbcinst.ini"), ini)) return false;
        qputenv("ODBCSYSINI", m_dir.path().toUtf8());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", path("odbc.ini").toUtf8());  // no data sources of the machine's user
        for (const char* section : {"Conexion_Cliente", "Conexion_Logistica"}) {
            setKey(section, "ServidorSQL", "127.0.0.1");
            setKey(section, "DriverODBC", "SQLite3");
        }
        setKey("Conexion_Cliente", "BaseDatosSQL", path("cliente.db"));
        setKey("Conexion_Logistica", "BaseDatosSQL", path("logistica.db"));
        return true;
    }
    QString log() const {
        QFile f(config::logPath(config::Clock::today()));
        return f.open(QIODevice::ReadOnly) ? config::fromCp1252(f.readAll()) : QString();
    }
    int logCount(const QString& text) const { return static_cast<int>(log().count(text)); }
    std::vector<run::HeadlessConsole::Event> boxes() const { return m_console.eventsOf(Kind::Box); }
    QStringList boxTexts() const {
        QStringList out;
        for (const auto& b : boxes()) out << b.text;
        return out;
    }

    // Row counts, a read-only result set and transactions on a fresh store of `clientes`
    // clients; a failed silent statement hands back the provider's message, " - " and itself.
    void checkStatements(db::Connection& cnn, int clientes) {
        using db::dbAdmin;
        QString sError = QStringLiteral("stale");
        ASSERT_TRUE(dbAdmin().EjecutarSentencia(
            cnn, "UPDATE Cliente set bFlagSincro=1 WHERE cClieCode <= 5", 1, &sError));
        EXPECT_TRUE(sError.isEmpty());
        EXPECT_EQ(cnn.rowsAffected(), 5);
        db::Recordset rs;
        ASSERT_TRUE(dbAdmin().EjecutarConsulta(cnn, "Select * from Cliente where bFlagSincro = 0",
                                               rs, true, 1, sError));
        EXPECT_EQ(rs.recordCount(), clientes - 5);
        EXPECT_EQ(rs.value("sclieapel").toString(), rs.value(1).toString());
        int walked = 0;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) ++walked;
        EXPECT_EQ(walked, clientes - 5);
        EXPECT_FALSE(rs.value(0).isValid());  // past the end
        for (const bool commit : {false, true}) {
            ASSERT_TRUE(cnn.beginTransaction());
            ASSERT_TRUE(
                dbAdmin().EjecutarSentencia(cnn, "delete from Tarjeta where cClieCode = 1"));
            ASSERT_TRUE(commit ? cnn.commitTransaction() : cnn.rollbackTransaction());
            ASSERT_TRUE(rs.open(cnn, "select count(*) from Tarjeta"));
            EXPECT_EQ(rs.value(0).toInt(), commit ? clientes - 1 : clientes);
        }
        const QString bad = QStringLiteral("insert into NoSuchTable values (1)");
        EXPECT_FALSE(dbAdmin().EjecutarSentencia(cnn, bad, 1, &sError));
        EXPECT_TRUE(sError.endsWith(" - " + bad)) << sError.toStdString();
        EXPECT_GT(sError.size(), bad.size() + 3);
        EXPECT_TRUE(boxes().empty());
        EXPECT_FALSE(log().contains(QLatin1String("Error (EjecutarSentencia)")));  // silent
    }

    QTemporaryDir m_dir;
    run::HeadlessConsole m_console;
};

}  // namespace lumaro::testing
