#pragma once
// A temporary program folder with its settings file, a fixed clock and a headless console
// that records every box, for the tests of the database layer.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "config/Clock.h"
#include "config/Console.h"
#include "config/Cp1252.h"
#include "config/HeadlessConsole.h"
#include "config/ProfileFile.h"
#include "config/Settings.h"
#include "db/tool/DemoDatabases.h"

namespace lumaro::testing {

class DbFixture : public ::testing::Test {
protected:
    using Kind = config::HeadlessConsole::Event::Kind;

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        config::setProgramFolder(m_dir.path());
        config::setExecutableBaseName(QStringLiteral("lumaro-sync"));
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0)));
        config::setConsole(&m_console);
    }
    void TearDown() override {
        config::setConsole(nullptr);
        config::Clock::setForTesting({});
        config::setProgramFolder(QString());
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Generated client and logistics databases of a store in the program folder (only for
    // test programs that link lumaro_demo_db).
    void makeDemoStore(int idLocal, int clientes) {
        db::tool::DemoOptions o;
        o.clientePath = path("cliente.db");
        o.logisticaPath = path("logistica.db");
        o.idLocal = idLocal;
        o.clientes = clientes;
        o.hoy = QDate(2026, 12, 5);
        QString error;
        ASSERT_TRUE(db::tool::crearBasesDemo(o, &error)) << error.toStdString();
    }
    void setKey(const QString& section, const QString& key, const QString& value) {
        QString error;
        ASSERT_TRUE(config::ProfileFile::write(config::settingsPath(), section, key, value, &error))
            << error.toStdString();
    }
    QString log() const {
        QFile f(config::logPath(config::Clock::today()));
        return f.open(QIODevice::ReadOnly) ? config::fromCp1252(f.readAll()) : QString();
    }
    int logCount(const QString& text) const { return static_cast<int>(log().count(text)); }
    std::vector<config::HeadlessConsole::Event> boxes() const {
        return m_console.eventsOf(Kind::Box);
    }
    QStringList boxTexts() const {
        QStringList out;
        for (const auto& b : boxes()) out << b.text;
        return out;
    }

    QTemporaryDir m_dir;
    config::HeadlessConsole m_console;
};

}  // namespace lumaro::testing
