#include "outputs/EnvioDiferido.h"

#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

namespace lumaro::outputs {

namespace {

// The client library's calls, as its C interface declares them (MYSQL* as an opaque pointer,
// my_bool as char).
struct ClienteMySql {
    int (*send)(void*, const char*, unsigned long) = nullptr;
    char (*readResult)(void*) = nullptr;
    const char* (*error)(void*) = nullptr;
    bool listo = false;
};

const ClienteMySql& cliente() {
    static const ClienteMySql c = [] {
        ClienteMySql r;
        // Already loaded by Qt's MySQL driver when a mirror connection is open.
        for (const auto& [nombre, version] : {std::pair{"mariadb", 3}, {"mysqlclient", 21}}) {
            QLibrary lib(QString::fromLatin1(nombre), version);
            if (!lib.load()) continue;
            r.send = reinterpret_cast<decltype(r.send)>(lib.resolve("mysql_send_query"));
            r.readResult =
                reinterpret_cast<decltype(r.readResult)>(lib.resolve("mysql_read_query_result"));
            r.error = reinterpret_cast<decltype(r.error)>(lib.resolve("mysql_error"));
            r.listo = r.send && r.readResult && r.error;
            if (r.listo) break;
        }
        return r;
    }();
    return c;
}

// The driver's MYSQL handle of an open MySQL connection; nullptr for any other.
void* manejador(const db::Connection& cnn) {
    if (!cnn.isOpen() || cnn.engine() != db::Engine::MySql) return nullptr;
    const QSqlDriver* driver = cnn.database().driver();
    if (!driver) return nullptr;
    const QVariant h = driver->handle();
    // The driver names it as the client library's header declares it.
    if (!h.isValid() ||
        (qstrcmp(h.typeName(), "MYSQL*") != 0 && qstrcmp(h.typeName(), "st_mysql*") != 0))
        return nullptr;
    return *static_cast<void* const*>(h.constData());
}

}  // namespace

bool EnvioDiferido::enviar(db::Connection& cnn, const QString& sql) {
    void* mysql = manejador(cnn);
    if (!mysql || !cliente().listo) return false;
    const QByteArray texto = cnn.prepareStatement(sql).toUtf8();
    m_mysql = mysql;
    m_pendiente = true;
    m_error.clear();
    if (cliente().send(mysql, texto.constData(), static_cast<unsigned long>(texto.size())) != 0)
        m_error = QString::fromUtf8(cliente().error(mysql));
    return true;
}

bool EnvioDiferido::esperar(db::Connection& cnn) {
    if (!m_pendiente) return true;
    m_pendiente = false;
    // A connection closed (or opened again) meanwhile took the answer with it.
    if (m_error.isEmpty() && manejador(cnn) != m_mysql)
        m_error = QStringLiteral("la conexion con el espejo se cerro antes de su respuesta");
    if (m_error.isEmpty() && cliente().readResult(m_mysql) == 0) return true;
    if (m_error.isEmpty()) m_error = QString::fromUtf8(cliente().error(m_mysql));
    if (db::Connection::State* st = cnn.state()) st->lastError = m_error;
    return false;
}

}  // namespace lumaro::outputs
