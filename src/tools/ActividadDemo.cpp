#include "tools/ActividadDemo.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <utility>
#include <vector>

#include "db/clsDBAdmin.h"
#include "tools/GeneradorDemo.h"

namespace lumaro::tools {

using lumaro::db::Connection;
using lumaro::db::dbAdmin;

namespace {

// How many rows of each kind a day of `filas` rows writes. The point accumulations take what
// the other kinds leave; the registers and the contact are a small share.
struct Reparto {
    int extornos, clientesActualizados, tarjetasActualizadas, contactos, clientesNuevos,
        cumpleanios, acumTicket, canjePunto, canjeTicket, registros, acumPunto;

    explicit Reparto(int filas)
        : extornos(filas * 5 / 100),
          clientesActualizados(filas * 8 / 100),
          tarjetasActualizadas(filas * 5 / 100),
          contactos(filas >= 20 ? 1 : 0),
          clientesNuevos(filas * 5 / 100),
          cumpleanios(filas * 5 / 100),
          acumTicket(filas * 10 / 100),
          canjePunto(filas * 7 / 100),
          canjeTicket(filas * 5 / 100),
          registros(filas * 2 / 100) {
        // A new client writes a card too; a register writes its header and two lines.
        const int resto = filas - extornos - clientesActualizados - tarjetasActualizadas -
                          contactos - 2 * clientesNuevos - cumpleanios - acumTicket - canjePunto -
                          canjeTicket - 3 * registros;
        acumPunto = std::max(0, resto);
    }
};

using Filas = std::vector<QVariantList>;

// The rows of a query with one bound value (the store); false with the reason in error.
bool consultar(const QSqlDatabase& db, const QString& sql, int local, Filas& out, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        if (error) *error = q.lastError().text() + QStringLiteral(" - ") + sql;
        return false;
    }
    q.bindValue(0, local);
    if (!q.exec()) {
        if (error) *error = q.lastError().text() + QStringLiteral(" - ") + sql;
        return false;
    }
    while (q.next()) {
        QVariantList fila;
        for (int i = 0; i < q.record().count(); ++i) fila << q.value(i);
        out.push_back(std::move(fila));
    }
    return true;
}

// The highest value of a whole-number column among the store's rows; 0 when it has none.
bool maximo(const QSqlDatabase& db, const QString& tabla, const QString& columna,
            const QString& columnaLocal, int local, int& out, QString* error) {
    Filas f;
    if (!consultar(db,
                   QStringLiteral("select max(%1) from \"%2\" where %3 = ?")
                       .arg(columna, tabla, columnaLocal),
                   local, f, error))
        return false;
    out = f.empty() ? 0 : f.front().value(0).toInt();
    return true;
}

class Actividad {
public:
    explicit Actividad(const ActividadOptions& o)
        : m_o(o), m_azar(o.semilla), m_filas(m_azar, o.dia, o.idLocal), m_reparto(o.filas) {}

    bool cliente(const QSqlDatabase& db, QString* error) {
        return extornos(db, error) && actualizaciones(db, error) && nuevos(db, error);
    }

    bool logistica(const QSqlDatabase& db, QString* error) {
        Filas codigos;
        if (!consultar(db,
                       QStringLiteral("select vc_cod_mov from \"registro_canje_cumpleaños\" "
                                      "where i_id_local_canje = ?"),
                       m_o.idLocal, codigos, error))
            return false;
        int ultimo = 0;
        for (const QVariantList& c : codigos)
            ultimo = std::max(ultimo, c.value(0).toString().mid(2).toInt());
        Inserter cab(db, QStringLiteral("registro_canje_cumpleaños"), 8);
        Inserter det(db, QStringLiteral("registro_canje_cumpleaños_d"), 6);
        for (int r = 0; r < m_reparto.registros && !m_clientes.empty(); ++r) {
            const QString codigo = QStringLiteral("CM%1").arg(++ultimo, 6, 10, QChar(u'0'));
            const int c = clienteAlAzar();
            if (!cab.add(m_filas.cabeceraCanje(codigo, c, cambio()), error)) return false;
            for (int item = 1; item <= 2; ++item)
                if (!det.add(m_filas.detalleCanje(codigo, item, c), error)) return false;
        }
        return true;
    }

private:
    QVariant cambio() { return m_azar.fecha(m_o.dia); }
    int clienteAlAzar() {
        return m_clientes[static_cast<size_t>(m_azar.menor(static_cast<int>(m_clientes.size())))];
    }
    // Up to n of the rows, chosen by the seed, in a stable order.
    Filas elegir(Filas filas, int n) {
        for (size_t i = filas.size(); i > 1; --i)
            std::swap(filas[i - 1], filas[static_cast<size_t>(m_azar.menor(static_cast<int>(i)))]);
        filas.resize(std::min(filas.size(), static_cast<size_t>(std::max(0, n))));
        return filas;
    }
    // Runs the statement once per chosen row: the generated values, then the row's key.
    bool actualizar(const QSqlDatabase& db, const QString& sql, const Filas& elegidas,
                    const std::function<QVariantList()>& valores, QString* error) {
        for (const QVariantList& clave : elegidas)
            if (!ejecutarConValores(db, sql, valores() + clave + QVariantList{m_o.idLocal}, error))
                return false;
        return true;
    }

    // Reversals first: point accumulations and redemptions not yet reversed get the day's
    // reversal date and user, and the day as their change date.
    bool extornos(const QSqlDatabase& db, QString* error) {
        const struct {
            const char* tabla;
            const char* codigo;
            const char* fecha;
            int cuantos;
        } tablas[] = {{"Acumulacion_Punto", "cAcumCode", "dAcumDate", (m_reparto.extornos + 1) / 2},
                      {"Canje_Punto", "cCanjCode", "dCanjDate", m_reparto.extornos / 2}};
        for (const auto& t : tablas) {
            Filas candidatas;
            if (!consultar(db,
                           QStringLiteral("select cClieCode, %1 from %2 where IdLocal = ? and "
                                          "dExtoDate is null order by 1, 2")
                               .arg(QLatin1StringView(t.codigo), QLatin1StringView(t.tabla)),
                           m_o.idLocal, candidatas, error))
                return false;
            const QString sql =
                QStringLiteral(
                    "update %1 set dExtoDate = ?, sUseEDesc = ?, %2 = ?, "
                    "bFlagSincro = 0 where cClieCode = ? and %3 = ? and IdLocal = ?")
                    .arg(QLatin1StringView(t.tabla), QLatin1StringView(t.fecha),
                         QLatin1StringView(t.codigo));
            if (!actualizar(
                    db, sql, elegir(std::move(candidatas), t.cuantos),
                    [this] {
                        const QVariant dia = cambio();
                        return QVariantList{dia, m_azar.pick(usuariosDemo()), dia};
                    },
                    error))
                return false;
        }
        return true;
    }

    bool actualizaciones(const QSqlDatabase& db, QString* error) {
        Filas clientes, tarjetas, contactos;
        if (!consultar(db,
                       QStringLiteral(
                           "select cClieCode from Cliente where IdLocal = ? order by cClieCode"),
                       m_o.idLocal, clientes, error) ||
            !consultar(db,
                       QStringLiteral("select cClieCode, nTarjNumb from Tarjeta where IdLocal = ? "
                                      "order by 1, 2"),
                       m_o.idLocal, tarjetas, error) ||
            !consultar(db,
                       QStringLiteral("select IdContacto from Contactos where IdLocal = ? "
                                      "order by 1"),
                       m_o.idLocal, contactos, error))
            return false;
        for (const QVariantList& c : clientes) m_clientes.push_back(c.value(0).toInt());
        return actualizar(
                   db,
                   QStringLiteral("update Cliente set sClieName = ?, nPuntCant = "
                                  "coalesce(nPuntCant, 0) + ?, dUltTDate = ?, "
                                  "bFlagSincro = 0 where cClieCode = ? and IdLocal = ?"),
                   elegir(clientes, m_reparto.clientesActualizados),
                   [this] {
                       return QVariantList{m_azar.pick(nombresDemo()), 1 + m_azar.menor(50),
                                           cambio()};
                   },
                   error) &&
               actualizar(
                   db,
                   QStringLiteral("update Tarjeta set dUltOper = ?, nUltOper = "
                                  "coalesce(nUltOper, 0) + 1, bFlagSincro = 0 where "
                                  "cClieCode = ? and nTarjNumb = ? and IdLocal = ?"),
                   elegir(tarjetas, m_reparto.tarjetasActualizadas),
                   [this] { return QVariantList{cambio()}; }, error) &&
               actualizar(
                   db,
                   QStringLiteral("update Contactos set DscContacto = ?, Email = ?, "
                                  "bFlagSincro = 0 where IdContacto = ? and IdLocal = ?"),
                   elegir(contactos, m_reparto.contactos),
                   [this] {
                       return QVariantList{
                           QStringLiteral("Encargada %1").arg(m_azar.pick(apellidosDemo())),
                           QStringLiteral("local%1.%2@lumaro.example")
                               .arg(m_o.idLocal)
                               .arg(m_o.dia.toString(QStringLiteral("ddMMyyyy")))};
                   },
                   error);
    }

    bool nuevos(const QSqlDatabase& db, QString* error) {
        int ultimoCliente = 0, ultimoCumple = 0;
        if (!maximo(db, QStringLiteral("Cliente"), QStringLiteral("cClieCode"),
                    QStringLiteral("IdLocal"), m_o.idLocal, ultimoCliente, error) ||
            !maximo(db, QStringLiteral("Cumpleaños"), QStringLiteral("nIdCump"),
                    QStringLiteral("IdLocal"), m_o.idLocal, ultimoCumple, error))
            return false;
        Inserter cli(db, QStringLiteral("Cliente"), 24);
        Inserter tar(db, QStringLiteral("Tarjeta"), 10);
        for (int k = 0; k < m_reparto.clientesNuevos; ++k) {
            const int c = ++ultimoCliente;
            if (!cli.add(m_filas.cliente(c, cambio()), error) ||
                !tar.add(m_filas.tarjeta(c, cambio()), error))
                return false;
            m_clientes.push_back(c);
        }
        if (m_clientes.empty()) return true;
        Inserter cum(db, QStringLiteral("Cumpleaños"), 10);
        for (int k = 0; k < m_reparto.cumpleanios; ++k)
            if (!cum.add(m_filas.cumpleanios(clienteAlAzar(), ++ultimoCumple, cambio()), error))
                return false;
        using Fila = QVariantList (FilasDemo::*)(const FilasDemo::Movimiento&);
        const struct {
            const char* tabla;
            const char* codigo;
            int columnas;
            int cuantos;
            Fila fila;
        } movimientos[] = {
            {"Acumulacion_Punto", "cAcumCode", 15, m_reparto.acumPunto,
             &FilasDemo::acumulacionPunto},
            {"Acumulacion_Ticket", "cAcumCode", 11, m_reparto.acumTicket,
             &FilasDemo::acumulacionTicket},
            {"Canje_Punto", "cCanjCode", 12, m_reparto.canjePunto, &FilasDemo::canjePunto},
            {"Canje_Ticket", "cCanjCode", 12, m_reparto.canjeTicket, &FilasDemo::canjeTicket}};
        for (const auto& m : movimientos) {
            const QString tabla = QString::fromLatin1(m.tabla);
            int ultimo = 0;
            if (!maximo(db, tabla, QString::fromLatin1(m.codigo), QStringLiteral("IdLocal"),
                        m_o.idLocal, ultimo, error))
                return false;
            Inserter ins(db, tabla, m.columnas);
            for (int k = 0; k < m.cuantos; ++k)
                if (!ins.add((m_filas.*m.fila)({clienteAlAzar(), ++ultimo, cambio(), false}),
                             error))
                    return false;
        }
        return true;
    }

    const ActividadOptions& m_o;
    Azar m_azar;
    FilasDemo m_filas;
    Reparto m_reparto;
    std::vector<int> m_clientes;  // the store's clients, the day's new ones included
};

bool enBase(const QString& path, Actividad& actividad,
            bool (Actividad::*llenar)(const QSqlDatabase&, QString*), QString* error) {
    Connection cnn;
    if (!abrirBaseDemo(cnn, path, error)) return false;
    const bool ok = enUnaTransaccion(
        cnn, [&](const QSqlDatabase& db, QString* e) { return (actividad.*llenar)(db, e); }, error);
    dbAdmin().CerrarBD(cnn);
    return ok;
}

}  // namespace

bool generarActividad(const ActividadOptions& options, QString* error) {
    if (options.idLocal < 1 || options.filas < 0 || !options.dia.isValid()) {
        if (error) *error = QStringLiteral("Local, dia o numero de filas no validos");
        return false;
    }
    Actividad actividad(options);
    return enBase(options.clientePath, actividad, &Actividad::cliente, error) &&
           enBase(options.logisticaPath, actividad, &Actividad::logistica, error);
}

}  // namespace lumaro::tools
