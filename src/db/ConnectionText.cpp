#include "db/ConnectionText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "config/Settings.h"

namespace lumaro::db {

namespace {

bool hasOuterBlank(const QString& v) {
    return !v.isEmpty() && (v.front().isSpace() || v.back().isSpace());
}

// OLE DB rule: a value that would end the entry, lose blanks or start a quote goes between
// double quotes, inner double quotes doubled.
QString oleDbValue(const QString& v) {
    if (!v.contains(u';') && !hasOuterBlank(v) && !v.startsWith(u'"') && !v.startsWith(u'\'') &&
        !v.startsWith(u'{'))
        return v;
    QString inner = v;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

// ODBC rule: such a value goes between braces, inner closing braces doubled.
QString odbcValue(const QString& v) {
    if (!v.contains(u';') && !v.contains(u'{') && !v.contains(u'}') && !hasOuterBlank(v)) return v;
    QString inner = v;
    inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + inner + u'}';
}

QString odbcEntries(const ConnectionEntries& entries) {
    QString out;
    for (const auto& [key, value] : entries)
        out += key + u'=' +
               (key == QLatin1String("DRIVER") ? u'{' + value + u'}' : odbcValue(value)) + u';';
    return out;
}

// A database file of the settings (a Windows path is refused where it cannot exist, with the
// cause in *causa); relative to the program folder.
QString resolvedPath(const QString& valor, QString* causa) {
    const QString path = config::rutaConfigurada(valor, causa);
    if (path.isEmpty() || QDir::isAbsolutePath(path)) return path;
    return QDir(config::programFolder()).filePath(path);
}

enum class FileKind { Missing, Sqlite, Jet, Other };

FileKind sniff(const QString& path) {
    QFile f(path);
    if (!QFileInfo(path).isFile()) return FileKind::Missing;
    if (!f.open(QIODevice::ReadOnly)) return FileKind::Other;
    const QByteArray head = f.read(20);
    if (head.isEmpty() || head.startsWith("SQLite format 3")) return FileKind::Sqlite;
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        return FileKind::Jet;
    return FileKind::Other;
}

std::optional<DriverSpec> sqliteSpec(const QString& rawPath, QString* error) {
    QString causa;
    const QString path = resolvedPath(rawPath, &causa);
    if (!causa.isEmpty()) {
        if (error) *error = QStringLiteral("Archivo de base de datos: ") + causa;
        return std::nullopt;
    }
    switch (sniff(path)) {
        case FileKind::Sqlite: {
            DriverSpec s;
            s.engine = Engine::Sqlite;
            s.qtDriver = QStringLiteral("QSQLITE");
            s.databaseName = path;
            s.connectOptions =
                QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kConnectionTimeoutSeconds * 1000);
            return s;
        }
        case FileKind::Jet: {
            DriverSpec s;
            s.engine = Engine::Jet;
            s.databaseName = path;
            return s;
        }
        case FileKind::Missing:
            if (error) *error = QStringLiteral("No existe el archivo de base de datos: ") + path;
            return std::nullopt;
        case FileKind::Other:
            break;
    }
    if (error) *error = QStringLiteral("El archivo no es una base de datos valida: ") + path;
    return std::nullopt;
}

// The ODBC driver the settings name ("DriverODBC", braces allowed); when none, the one every
// Windows has, and FreeTDS elsewhere.
QString driverSqlServer(const QString& configurado) {
    QString driver = configurado.trimmed();
    if (driver.startsWith(u'{') && driver.endsWith(u'}')) driver = driver.mid(1, driver.size() - 2);
    if (!driver.trimmed().isEmpty()) return driver.trimmed();
#ifdef Q_OS_WIN
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

std::optional<DriverSpec> sqlServerSpec(const ConnectionEntries& e, const QString& odbcDriver,
                                        QString* error) {
    const QString server = entryValue(e, QStringLiteral("Data Source"));
    const QString catalog = entryValue(e, QStringLiteral("Initial Catalog"));
    if (server.trimmed().compare(QLatin1String("sqlite"), Qt::CaseInsensitive) == 0)
        return sqliteSpec(catalog, error);

    const QString driver = driverSqlServer(odbcDriver);
    ConnectionEntries odbc{{QStringLiteral("DRIVER"), driver}};
    const qsizetype comma = server.lastIndexOf(u',');
    if (driver.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive) && comma > 0) {
        // SQL Server writes "host,port"; FreeTDS wants the port apart.
        odbc.append({QStringLiteral("SERVER"), server.left(comma)});
        odbc.append({QStringLiteral("PORT"), server.mid(comma + 1).trimmed()});
    } else {
        odbc.append({QStringLiteral("SERVER"), server});
    }
    odbc.append({QStringLiteral("DATABASE"), catalog});
    const QString user = entryValue(e, QStringLiteral("User Id"));
    // Microsoft's drivers log in as the Windows account when no SQL Server login is given.
    const bool microsoft = driver.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive);
    if (microsoft && user.trimmed().isEmpty()) {
        odbc.append({QStringLiteral("Trusted_Connection"), QStringLiteral("Yes")});
    } else {
        odbc.append({QStringLiteral("UID"), user});
        odbc.append({QStringLiteral("PWD"), entryValue(e, QStringLiteral("Password"))});
    }
    // From version 18 Microsoft's driver refuses a server whose certificate no authority
    // signed, which is how a store's SQL Server comes installed: the link is encrypted and the
    // server's own certificate accepted, as the older drivers connected without asking.
    static const QRegularExpression version(QStringLiteral("ODBC Driver (\\d+) for SQL Server"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const auto m = version.match(driver); m.hasMatch() && m.captured(1).toInt() >= 18) {
        odbc.append({QStringLiteral("Encrypt"), QStringLiteral("Yes")});
        odbc.append({QStringLiteral("TrustServerCertificate"), QStringLiteral("Yes")});
    }
    DriverSpec s;
    s.engine = Engine::SqlServer;  // refined from the driver's own answer once open
    s.qtDriver = QStringLiteral("QODBC");
    s.databaseName = odbcEntries(odbc);
    s.hostName = server;
    s.connectOptions = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                           .arg(kConnectionTimeoutSeconds);
    return s;
}

std::optional<DriverSpec> mySqlSpec(const ConnectionEntries& e, QString* error) {
    DriverSpec s;
    s.engine = Engine::MySql;
    s.qtDriver = QStringLiteral("QMYSQL");
    QString host = entryValue(e, QStringLiteral("Server")).trimmed();
    QString port = entryValue(e, QStringLiteral("Port")).trimmed();
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon > 0 && !host.contains(u']')) {
        port = host.mid(colon + 1);
        host = host.left(colon);
    }
    bool ok = true;
    s.port = port.isEmpty() ? 3306 : port.toInt(&ok);
    if (!ok || s.port <= 0 || s.port > 65535) {
        if (error) *error = QStringLiteral("Puerto MySQL no valido: ") + port;
        return std::nullopt;
    }
    s.hostName = host;
    s.databaseName = entryValue(e, QStringLiteral("Database"));
    s.userName = entryValue(e, QStringLiteral("User"));
    s.password = entryValue(e, QStringLiteral("Password"));
    s.connectOptions =
        QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(kConnectionTimeoutSeconds);
    return s;
}

}  // namespace

QString textoConexionSqlServer(const QString& user, const QString& password, const QString& catalog,
                               const QString& server) {
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User Id=") +
           oleDbValue(user) + QStringLiteral(";Password=") + oleDbValue(password) +
           QStringLiteral(";Initial Catalog=") + oleDbValue(catalog) +
           QStringLiteral(";Data Source=") + oleDbValue(server);
}

QString textoConexionMySql(const QString& host, const QString& database, const QString& user,
                           const QString& password) {
    return QStringLiteral("driver={MySQL ODBC 3.51 Driver};Server=") + odbcValue(host) +
           QStringLiteral(";Port=3306;Database=") + odbcValue(database) + QStringLiteral(";User=") +
           odbcValue(user) + QStringLiteral(";Password=") + odbcValue(password) +
           QStringLiteral(";Option=3;");
}

QString textoConexionAccess(const QString& path) {
    return QStringLiteral("driver={Microsoft Access Driver (*.mdb)};DBQ=") + odbcValue(path);
}

std::optional<ConnectionEntries> parseConnectionText(const QString& text) {
    ConnectionEntries out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // An entry without "=": only blanks may stand there.
            const QString rest = text.mid(i, semi < 0 ? n - i : semi - i).trimmed();
            if (!rest.isEmpty()) return std::nullopt;
            if (semi < 0) break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text[i] == u' ') ++i;
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'' || text[i] == u'{')) {
            const QChar close = text[i] == u'{' ? QChar(u'}') : text[i];
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed) return std::nullopt;
            while (i < n && text[i] == u' ') ++i;
            if (i < n && text[i] != u';') return std::nullopt;
        } else {
            const qsizetype end = text.indexOf(u';', i);
            value = text.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end;
        }
        if (i < n) ++i;  // the ';'
        out.append({key, value});
    }
    return out;
}

QString entryValue(const ConnectionEntries& entries, const QString& key) {
    for (const auto& [k, v] : entries)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return v;
    return QString();
}

QString DriverSpec::describe() const {
    switch (engine) {
        case Engine::Sqlite:
        case Engine::Jet:
            return databaseName;
        case Engine::MySql:
            return QStringLiteral("%1:%2/%3").arg(hostName).arg(port).arg(databaseName);
        default: {
            // The ODBC text without its password.
            QString shown;
            if (const auto entries = parseConnectionText(databaseName)) {
                for (const auto& [k, v] : *entries)
                    if (k.compare(QLatin1String("PWD"), Qt::CaseInsensitive) != 0)
                        shown += k + u'=' + v + u';';
            }
            return shown;
        }
    }
}

std::optional<DriverSpec> translateConnectionText(const QString& text, const QString& odbcDriver,
                                                  QString* error) {
    if (text.trimmed().isEmpty()) {
        if (error) *error = QStringLiteral("Cadena de conexion vacia");
        return std::nullopt;
    }
    const auto entries = parseConnectionText(text);
    if (!entries) {
        if (error) *error = QStringLiteral("Cadena de conexion mal formada");
        return std::nullopt;
    }
    const QString provider = entryValue(*entries, QStringLiteral("Provider"));
    const QString driver = entryValue(*entries, QStringLiteral("driver"));
    if (provider.startsWith(QLatin1String("SQLOLEDB"), Qt::CaseInsensitive))
        return sqlServerSpec(*entries, odbcDriver, error);
    if (driver.contains(QLatin1String("MySQL"), Qt::CaseInsensitive))
        return mySqlSpec(*entries, error);
    if (driver.contains(QLatin1String("Microsoft Access Driver"), Qt::CaseInsensitive))
        return sqliteSpec(entryValue(*entries, QStringLiteral("DBQ")), error);
    if (!provider.isEmpty()) {
        if (error) *error = QStringLiteral("Proveedor no soportado: ") + provider;
        return std::nullopt;
    }
    // Any other text is taken as an ODBC connection text of its own (a DSN, another driver).
    DriverSpec s;
    s.engine = Engine::OtherOdbc;
    s.qtDriver = QStringLiteral("QODBC");
    s.databaseName = text;
    s.connectOptions = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                           .arg(kConnectionTimeoutSeconds);
    return s;
}

}  // namespace lumaro::db
