// The program itself, run as a process from a copy in a fresh program folder.
#include <QProcess>
#include <QtTest>

namespace {

const QString kExe = QStringLiteral(LUMARO_SYNC_EXE);
const QString kLock = QStringLiteral("lumaro-sync.lock");
QByteArray inicio() { return QByteArrayLiteral("[Inicio]\r\n"); }

// The files in `folder` matching `pattern`; "Err_*.log" is today's log, whichever day it is.
QString readAll(const QString& folder, const QString& pattern) {
    QString all;
    for (const QString& n : QDir(folder).entryList({pattern}, QDir::Files)) {
        QFile f(QDir(folder).filePath(n));
        if (f.open(QIODevice::ReadOnly)) all += QString::fromLatin1(f.readAll());
    }
    return all;
}

}  // namespace

class TestExecutable : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    // `args` separated by single blanks; no display at all, as on a store server.
    std::unique_ptr<QProcess> start(const QString& args) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(v));
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(QDir::tempPath());
        p->start(path(QStringLiteral("lumaro-sync")), args.split(QLatin1Char(' ')));
        return p;
    }
    int run(const QString& args, QString* out = nullptr, QString* err = nullptr) const {
        auto p = start(args);
        if (!p->waitForFinished(60000)) return -1;
        if (out) *out = QString::fromUtf8(p->readAllStandardOutput());
        if (err) *err = QString::fromUtf8(p->readAllStandardError());
        return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -2;
    }
    QString path(const QString& name) const { return QDir(m_dir->path()).filePath(name); }
    // A first copy, started in the daily-schedule mode; returns once it holds the lock.
    std::unique_ptr<QProcess> startFirst() const {
        auto p = start(QStringLiteral("--headless"));
        for (int i = 0; i < 300 && !QFile::exists(path(kLock)); ++i) QTest::qWait(50);
        return p;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        // The program folder is the folder of the executable: run a copy in a fresh one.
        const QString exe = path(QStringLiteral("lumaro-sync"));
        QVERIFY(QFile::copy(kExe, exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
    }

    // Options, bad command lines, and commands that fail without databases or without
    // settings, saying why in their summary line ("%1" is the settings file).
    void commandLine_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("cfg");  // none: no settings file
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QByteArray ninguno;
        const QString sinBD = QStringLiteral(
            "Ciclo terminado: fallido - No se pudieron abrir las conexiones a las bases de datos.");
        QTest::newRow("run without headless")
            << "--run subir" << ninguno << 2 << "--run necesita --headless";
        QTest::newRow("unknown command") << "--headless --run todo" << ninguno << 2 << "todo";
        QTest::newRow("stray argument") << "--headless x" << ninguno << 2 << "x";
        QTest::newRow("no such folder") << "--headless --folder /nonexistent/lumaro" << ninguno << 2
                                        << "no existe la carpeta del programa: /nonexistent/lumaro";
        QTest::newRow("generar") << "--headless --run generar" << inicio() << 1 << sinBD;
        QTest::newRow("subir") << "--headless --run subir" << inicio() << 1 << sinBD;
        QTest::newRow("no settings file")
            << "--headless --run subir" << ninguno << 1
            << "Ciclo terminado: fallido - No existe el archivo de configuracion %1 - duracion ";
        QTest::newRow("no [Inicio]")
            << "--headless --run generar" << QByteArray("[Mysql]\r\nPWDMySQL=x\r\n") << 1
            << "Ciclo terminado: fallido - El archivo de configuracion %1 no tiene la seccion "
               "[Inicio] - duracion ";
    }
    void commandLine() {
        QFETCH(QString, args);
        QFETCH(QByteArray, cfg);
        QFETCH(int, status);
        QFETCH(QString, says);
        const QString rutaCfg = path(QStringLiteral("lumaro-sync.cfg"));
        if (!cfg.isNull()) {
            QFile f(rutaCfg);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(cfg) == cfg.size());
        }
        QString out, err;
        QCOMPARE(run(args, &out, &err), status);
        const QString& said = status == 0 ? out : err;
        QVERIFY2(said.contains(says.replace(QStringLiteral("%1"), rutaCfg)), qPrintable(out + err));
        QCOMPARE(said.count(QStringLiteral("Ciclo terminado: ")), status == 1 ? 1 : 0);
        // Nothing is created by a command line that is only answered.
        QCOMPARE(QFileInfo::exists(path(QStringLiteral("temp"))), status == 1);
        if (status != 1) return;
        const QString log = readAll(m_dir->path(), QStringLiteral("Err_*.log"));
        QVERIFY2(log.contains(QStringLiteral("Ciclo terminado: fallido - ")), qPrintable(log));
        QCOMPARE(log.contains(QStringLiteral("No se puede conectar a la BD")), cfg == inicio());
        QCOMPARE(QFileInfo::exists(rutaCfg), !cfg.isNull());  // a missing file stays missing
        for (const char* f :
             {"Error", "MDB_descargadas", "MDB_enviadas", "MDB_Syncronizadas", "temp"})
            QVERIFY2(QFileInfo(path(QString::fromLatin1(f))).isDir(), f);
    }

    // The four programs answer alike: help and version on standard output with status 0, a
    // usage mistake named on standard error with status 2; the other stream stays empty.
    void everyToolAgrees_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const struct {
            const char* nombre;
            const char* exe;
            const char* ayuda;  // a line of --help
            const char* mal;    // a mistaken command line and what is said of it
            const char* dice;
        } tools[] = {
            {"lumaro-sync", LUMARO_SYNC_EXE, "  lumaro-sync --headless --run subir", "--bogus",
             "lumaro-sync: opcion desconocida: bogus"},
            {"lumaro-db", LUMARO_DB_EXE, "  lumaro-db ledger-iniciar /var/lib", "ledger-crear",
             "lumaro-db: ledger-crear espera 1 argumento(s), recibio 0\n"
             "uso: lumaro-db ledger-crear RUTA"},
            {"lumaro-mdb", LUMARO_MDB_EXE, "3 copy no pudo copiar alguna tabla", "dump",
             "lumaro-mdb: orden desconocida \"dump\""},
            {"lumaro-cadena", LUMARO_CADENA_EXE, "  lumaro-cadena estado /var", "estado",
             "lumaro-cadena estado: falta CFG"},
        };
        for (const auto& t : tools) {
            const QString exe = QString::fromLatin1(t.exe);
            const QString n = QString::fromLatin1(t.nombre);
            QTest::newRow(qPrintable(n + " --help")) << exe << "--help" << 0 << t.ayuda;
            QTest::newRow(qPrintable(n + " --version"))
                << exe << "--version" << 0 << n + " " + LUMARO_VERSION "\n";
            QTest::newRow(qPrintable(n + " " + t.mal)) << exe << t.mal << 2 << t.dice;
            if (n != QLatin1String("lumaro-sync"))  // which opens its window
                QTest::newRow(qPrintable(n + " alone")) << exe << "" << 2 << "falta la orden";
        }
    }
    void everyToolAgrees() {
        QFETCH(QString, tool);
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        QProcess p;
        p.start(tool, args.split(u' ', Qt::SkipEmptyParts));
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), status);
        QVERIFY2((status == 0 ? out : err).contains(says), qPrintable(out + err));
        QVERIFY2((status == 0 ? err : out).isEmpty(), qPrintable(out + err));
    }

    // A second copy is refused; SIGTERM ends the first cleanly; a killed copy locks nobody out.
    void secondCopyRefusedAndStopSignal() {
        const QByteArray settings(
            "[Inicio]\r\nAutoSync=1\r\nHora1=2\r\nBD_Temp=3_01122026.mdb\r\n");
        QFile cfg(path(QStringLiteral("lumaro-sync.cfg")));
        QVERIFY(cfg.open(QIODevice::WriteOnly) && cfg.write(settings) == settings.size());
        cfg.close();
        auto first = startFirst();
        QVERIFY(QFile::exists(path(kLock)));

        QString err;
        QCOMPARE(run(QStringLiteral("--headless --run subir"), nullptr, &err), 3);
        QVERIFY2(err.contains(QStringLiteral("Ya existe una instancia de este programa en "
                                             "ejecución.")),
                 qPrintable(err));
        QCOMPARE(run(QStringLiteral("--headless")), 3);
        QCOMPARE(first->state(), QProcess::Running);

        first->terminate();  // SIGTERM
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(readAll(m_dir->path(), QStringLiteral("*.cfg")), QString::fromLatin1(settings));
        const QString log = readAll(m_dir->path(), QStringLiteral("Err_*.log"));
        QVERIFY(log.contains(QStringLiteral("programacion diaria activada")));
        // The service's own lines at start and at the stop signal, for its journal too.
        const QString inicio = QStringLiteral(
            "Servicio iniciado: lumaro-sync " LUMARO_VERSION
            ", tienda sin registrar aun (se lee "
            "de la base cliente), horario diario no valida (Hora1=\"2\", Minuto1=\"\") y ");
        QVERIFY2(log.contains(inicio), qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("Senal de parada recibida: el servicio se detiene")), 1);
        const QString journal = QString::fromLocal8Bit(first->readAllStandardError());
        QVERIFY2(journal.contains(inicio) && journal.contains(QStringLiteral("Senal de parada")),
                 qPrintable(journal));
        QCOMPARE(run(QStringLiteral("--headless --run subir")), 1);

        first = startFirst();
        first->kill();
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(QFile::exists(path(kLock)));
        QCOMPARE(run(QStringLiteral("--headless --run subir")), 1);
        // Nor one whose process id went to another running program of the same name.
        QFile lock(path(kLock));
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                   QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toUtf8() +
                   '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
        lock.close();
        QCOMPARE(run(QStringLiteral("--headless --run subir")), 1);
    }
};

QTEST_GUILESS_MAIN(TestExecutable)
#include "TestExecutable.moc"
