#pragma once
// App test support: a fresh program folder with a fixed clock, fake phases, the log as lines.

#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include "app/Phases.h"
#include "app/RunControl.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/HeadlessConsole.h"
#include "run/RunState.h"

namespace lumaro::app::test {

// Today's log messages without date and time; with `prefixes`, only those starting with one.
inline QStringList logMessages(const QStringList& prefixes = {}) {
    QFile f(config::logPath(config::Clock::today()));
    QStringList out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.trimmed().isEmpty()) continue;
        const QString m = QString::fromLatin1(line).chopped(line.endsWith('\r') ? 1 : 0).mid(20);
        if (prefixes.isEmpty() || std::any_of(prefixes.begin(), prefixes.end(),
                                              [&](const QString& p) { return m.startsWith(p); }))
            out << m;
    }
    return out;
}

// Phases that report what the test set; the calls that tests count are recorded in order.
class FakePhases : public Phases {
public:
    bool abrir3 = true, abrir1 = true, registro = true, copia = true;
    std::optional<bool> principal = false;
    std::optional<QString> nombre = QStringLiteral("3_05122026.mdb");
    bool answered = false, importOk = true, uploadOk = true;
    int downloadCount = 0;
    // The causes the phases return when they do not complete.
    QString causaDescarga, causaImport, causaSubida;
    // The rows the copy and the merges report.
    snapshot::FilasPorTabla copiadas{{QStringLiteral("Cliente"), 3},
                                     {QStringLiteral("Tarjeta"), 2}};
    QMap<QString, snapshot::FilasPorTabla> fusionadas{
        {QStringLiteral("1"), {{QStringLiteral("Cliente"), 2}, {QStringLiteral("Tarjeta"), 1}}},
        {QStringLiteral("2"), {{QStringLiteral("Contactos"), 4}}}};
    // Run inside a phase, as a button pressed while the phase lets events through (duranteMain:
    // the import, which "Subir File" runs first).
    std::function<void()> duranteDescarga, duranteMain, duranteCopia;
    QStringList calls;

    int count(const QString& call) const { return calls.count(call); }

    bool AbrirConexion(int kind) override { return kind == 3 ? abrir3 : abrir1; }
    std::optional<bool> esLocalPrincipal() override { return principal; }
    bool ConfigLocales() override { return registro; }
    void CerrarBD(Conexion which) override {
        static const char* const kNombres[] = {"Cliente", "Logistica", "MySql"};
        calls << QStringLiteral("CerrarBD(%1)").arg(QLatin1String(kNombres[int(which)]));
    }
    std::optional<QString> crearBDTemp() override { return nombre; }
    std::optional<snapshot::FilasPorTabla> CopiarTablas(const QString& n) override {
        calls << QStringLiteral("CopiarTablas(%1)").arg(n);
        if (duranteCopia) duranteCopia();
        return copia ? std::optional(copiadas) : std::nullopt;
    }
    ftp::DownloadRunOutcome descargarOtrosLocales() override {
        calls << QStringLiteral("descargarOtrosLocales");
        if (duranteDescarga) duranteDescarga();
        return {answered, downloadCount, causaDescarga};
    }
    importer::ImportOutcome SyncLocales() override {
        calls << QStringLiteral("SyncLocales");
        if (duranteMain) duranteMain();
        return {importOk, causaImport, fusionadas};
    }
    ftp::UploadOutcome Main() override {
        calls << QStringLiteral("Main");
        return {uploadOk, causaSubida};
    }
    void ProcesarCargaInicial() override { calls << QStringLiteral("ProcesarCargaInicial"); }
};

// The recording console; `duranteAviso` runs while a message box waits, as an event would.
struct TestConsole : run::HeadlessConsole {
    std::function<void()> duranteAviso;
    void messageBox(run::BoxIcon i, const QString& c, const QString& t) override {
        HeadlessConsole::messageBox(i, c, t);
        if (duranteAviso) duranteAviso();
    }
};

// A fresh program folder on a fixed day, and a run control over fake phases with a recording
// console; unless `arrancar` is false, with a settings file and started.
struct Rig {
    QTemporaryDir dir;
    TestConsole console;
    FakePhases phases;
    RunControl control{phases};

    explicit Rig(bool arrancar = true) {
        config::setProgramFolder(dir.path());
        config::setExecutableBaseName(QStringLiteral("lumaro-sync"));
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(2, 0)));
        run::runState() = run::RunState{};
        run::setConsole(&console);
        if (!arrancar) return;
        QFile cfg(config::settingsPath());
        if (cfg.open(QIODevice::WriteOnly)) cfg.write("[Inicio]\r\n");
        cfg.close();
        control.arrancar();
        phases.calls.clear();
        console.clearEvents();
    }
    ~Rig() {
        run::setConsole(nullptr);
        config::setProgramFolder(QString());
        config::Clock::setForTesting({});
    }
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }
    void touch(const QString& name) const {
        QDir().mkpath(QFileInfo(file(name)).absolutePath());
        QFile f(file(name));
        f.open(QIODevice::WriteOnly);
    }
};

// Base of the test classes that drive a Rig: each test function gets a fresh one.
class RigTest : public QObject {
protected:
    std::unique_ptr<Rig> m_rig;

    RunControl& control() { return m_rig->control; }
    FakePhases& phases() { return m_rig->phases; }
    TestConsole& console() { return m_rig->console; }
};

// The first log line of each command.
inline const QString kGenerarLog = QStringLiteral("btnGenerarMDB - valor parametro");
inline const QString kSubirLog = QStringLiteral("btnSubirFile - valor parametro");

// Tables of rows, each with a `name`: `addRows` in the _data function, `fetchRow` in the test.
template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N]) {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i) QTest::newRow(rows[i].name) << int(i);
}
template <typename Row, std::size_t N>
const Row& fetchRow(const Row (&rows)[N]) {
    QFETCH(int, row);
    return rows[row];
}

}  // namespace lumaro::app::test
