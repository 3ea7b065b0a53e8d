#include "outputs/ModCargaMySQL.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <utility>
#include <vector>

#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/Cursor.h"
#include "db/DateText.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "outputs/DatosEspejo.h"
#include "outputs/ValoresEspejo.h"

namespace lumaro::outputs {

namespace {

using snapshot::Fila;
using F = Forma;

// One table's load: where its rows come from, how the insert names the table and the flag, and
// how each column is written. The columns are the mirror's (DatosEspejo), in its order.
struct Carga {
    const char* procedimiento;  // log line prefix
    const char* tabla;          // data model name: the source table
    const char* vacia;          // emptiness query on the mirror
    const char* tablaInsert;
    const char* marcaInsert;    // the flag column as the insert spells it
    const char* antesDeValues;  // ")values(" or ") values("
    bool origenConMarca;        // the source query also selects bFlagSincro (never used)
    Forma texto;                // how a text column is written
    std::vector<std::pair<const char*, Forma>> otras;  // columns written otherwise
    const char* palabraNull;
};

const std::vector<Carga>& cargas() {
    static const std::vector<Carga> todas = {
        {.procedimiento = "CargarClienteaMySQL",
         .tabla = "Cliente",
         .vacia = "select * from cliente",
         .tablaInsert = "cliente",
         .marcaInsert = "bFlagsincro",
         .antesDeValues = ")values(",
         .origenConMarca = false,
         .texto = F::Texto,
         .otras = {{"nPuntosIni", F::NumeroOCero}},
         .palabraNull = "null"},
        {.procedimiento = "CargarTarjetaaMySQL",
         .tabla = "Tarjeta",
         .vacia = "select * from tarjeta",
         .tablaInsert = "Tarjeta",
         .marcaInsert = "bFlagSincro",
         .antesDeValues = ") values(",
         .origenConMarca = true,
         .texto = F::Texto,
         .otras = {},
         .palabraNull = "NULL"},
        {.procedimiento = "CargarAcumulacionPuntoaMySQL",
         .tabla = "Acumulacion_Punto",
         .vacia = "select * from Acumulacion_Punto",
         .tablaInsert = "Acumulacion_Punto",
         .marcaInsert = "bFlagSincro",
         .antesDeValues = ")values(",
         .origenConMarca = true,
         .texto = F::TextoONull,
         .otras = {{"sUserDesc", F::Texto}},
         .palabraNull = "NULL"},
        {.procedimiento = "CargarCanjePuntoaMySQL",
         .tabla = "Canje_Punto",
         .vacia = "select * from Canje_Punto",
         .tablaInsert = "Canje_Punto",
         .marcaInsert = "bFlagSincro",
         .antesDeValues = ")values(",
         .origenConMarca = true,
         .texto = F::TextoONull,
         .otras = {},
         .palabraNull = "NULL"},
    };
    return todas;
}

// How the load writes column i of its table.
Forma formaCarga(const Carga& c, const snapshot::Table& tabla, int i) {
    const snapshot::Column& columna = tabla.columns[static_cast<size_t>(i)];
    for (const auto& [nombre, forma] : c.otras) {
        const snapshot::Column* otra = tabla.column(QString::fromUtf8(nombre));
        if (!otra) qFatal("outputs: la columna %s no existe en %s", nombre, c.tabla);
        if (otra == &columna) return forma;
    }
    switch (columna.type) {
        case snapshot::ColumnType::Text:
            return c.texto;
        case snapshot::ColumnType::DateTime:
            return F::Fecha;
        case snapshot::ColumnType::Integer:
        case snapshot::ColumnType::Flag:
            break;
    }
    return F::Numero;
}

// A date column's stored text ("yyyy/mm/dd", then " hh:mm:ss" or "Thh:mm:ss" and a fraction
// of a second, as valorColumna reads it) as a date and time without a time zone: the local
// time that valorColumna gives costs a time-zone look-up per value, and the fill reads
// millions of them.
std::optional<QVariant> fechaDeTexto(QStringView texto) {
    texto = texto.trimmed();
    int y = 0, m = 0, d = 0;
    if (!db::dateTextParts(texto, y, m, d)) return std::nullopt;
    int hms[3] = {0, 0, 0};
    if (texto.size() > 10) {
        if (texto.size() < 19 || (texto[10] != u' ' && texto[10] != u'T')) return std::nullopt;
        for (int k = 0; k < 3; ++k) {
            const char16_t a = texto[11 + 3 * k].unicode(), b = texto[12 + 3 * k].unicode();
            if (a < u'0' || a > u'9' || b < u'0' || b > u'9' ||
                (k < 2 && texto[13 + 3 * k] != u':'))
                return std::nullopt;
            hms[k] = (a - u'0') * 10 + (b - u'0');
        }
        for (qsizetype i = 19; i < texto.size(); ++i)
            if (i == 19 ? texto[i] != u'.' : !texto[i].isDigit()) return std::nullopt;
    }
    if (!QTime::isValid(hms[0], hms[1], hms[2])) return std::nullopt;
    return QVariant(QDateTime(QDate(y, m, d), QTime(hms[0], hms[1], hms[2]), Qt::UTC));
}

// What the fill does after a failed statement.
enum class Seguir { Si, FinTabla, FinCarga };

// The load of one table: reads the source with a streaming cursor and sends the rows in
// batches.
class Cargador {
public:
    explicit Cargador(const Carga& c)
        : m_c(c), m_tabla(*snapshot::findTable(QString::fromUtf8(c.tabla))) {
        QStringList nombres;
        m_indices = tablaEspejo(m_tabla)->columnasInsert;
        for (const int i : m_indices) {
            nombres << m_tabla.columns[static_cast<size_t>(i)].qName();
            m_formas.push_back(formaCarga(c, m_tabla, i));
        }
        m_palabraNull = QString::fromLatin1(c.palabraNull);
        m_origen = QStringLiteral("select ") + nombres.join(u',') +
                   (c.origenConMarca ? QStringLiteral(",bFlagSincro") : QString()) +
                   QStringLiteral(" from ") + m_tabla.qName();
        m_insert = QStringLiteral("insert into ") + QString::fromUtf8(c.tablaInsert) + u'(' +
                   nombres.join(u',') + u',' + QString::fromUtf8(c.marcaInsert) +
                   QString::fromUtf8(c.antesDeValues);
    }

    // One transaction for the whole table: a load that cannot finish leaves the table empty,
    // so the next start-up loads it again, and the server flushes its log once, not once per
    // statement. A refused row only undoes its own statement.
    ResultadoCarga cargar() {
        db::Cursor cursor;
        if (!cursor.open(db::cnnCliente(), m_origen)) {
            registrar(cursor.errorText());
            return m_r;
        }
        db::Connection& espejo = db::cnnMySql();
        if (!espejo.beginTransaction()) {
            registrar(espejo.lastError());
            return m_r;
        }
        Seguir seguir = enviarFilas(cursor);
        if (cursor.failed()) {
            registrar(cursor.errorText());
            seguir = Seguir::FinTabla;
        }
        if (seguir == Seguir::Si && espejo.commitTransaction()) {
            m_r.completa = true;
            return m_r;
        }
        if (seguir == Seguir::Si) registrar(espejo.lastError());
        espejo.rollbackTransaction();
        registrar(QStringLiteral("carga deshecha; la tabla queda vacia hasta el proximo inicio"));
        m_r.cargadas = 0;
        m_r.sinConexion = seguir == Seguir::FinCarga || !espejo.isAlive();
        return m_r;
    }

private:
    Seguir enviarFilas(db::Cursor& cursor) {
        std::vector<Fila> lote;
        lote.reserve(kFilasPorSentenciaCarga);
        while (cursor.next()) {
            Fila fila(m_tabla.columns.size());
            if (!leer(cursor, fila)) continue;
            lote.push_back(std::move(fila));
            if (lote.size() < static_cast<size_t>(kFilasPorSentenciaCarga)) continue;
            const Seguir seguir = enviarLote(lote);
            if (seguir != Seguir::Si) return seguir;
            lote.clear();
        }
        return lote.empty() || cursor.failed() ? Seguir::Si : enviarLote(lote);
    }

    void registrar(const QString& descripcion) {
        config::EscribirLog(QString::fromUtf8(m_c.procedimiento) + QStringLiteral(" - Error: ") +
                            descripcion);
    }
    void rechazar(const Fila& fila, const QString& descripcion) {
        ++m_r.rechazadas;
        registrar(descripcion + QStringLiteral(" (") + snapshot::describirClave(m_tabla, fila) +
                  u')');
    }

    // The source row in row form; false (logged) for a row that must not be sent.
    bool leer(const db::Cursor& cursor, Fila& fila) {
        for (size_t j = 0; j < m_indices.size(); ++j) {
            const auto i = static_cast<size_t>(m_indices[j]);
            const QVariant crudo = cursor.value(static_cast<int>(j));
            const snapshot::ColumnType tipo = m_tabla.columns[i].type;
            const auto v = tipo == snapshot::ColumnType::DateTime && !crudo.isNull() &&
                                   crudo.metaType().id() == QMetaType::QString
                               ? fechaDeTexto(crudo.toString())
                               : snapshot::valorColumna(tipo, crudo);
            if (!v) {
                fila[i] = QVariant();
                rechazar(fila, QStringLiteral("valor no valido en ") + m_tabla.columns[i].qName() +
                                   QStringLiteral(": ") + crudo.toString());
                return false;
            }
            fila[i] = *v;
        }
        if (claveConComilla(m_tabla, fila)) {
            rechazar(fila, QStringLiteral("la clave contiene una comilla"));
            return false;
        }
        return true;
    }

    void agregarFila(QString& sql, const Fila& fila) const {
        for (size_t j = 0; j < m_indices.size(); ++j) {
            if (j > 0) sql += u',';
            agregarValor(sql, fila[static_cast<size_t>(m_indices[j])], m_formas[j], m_palabraNull);
        }
        sql += QLatin1StringView(",1)");
    }

    // One statement for the rows; when the server refuses it, each row again on its own.
    Seguir enviarLote(const std::vector<Fila>& lote) {
        QString sql = m_insert;
        sql.reserve(static_cast<qsizetype>(lote.size()) * 200 + m_insert.size());
        for (size_t k = 0; k < lote.size(); ++k) {
            if (k > 0) sql += QLatin1StringView(",(");
            agregarFila(sql, lote[k]);
        }
        QString descripcion;
        const Seguir s = ejecutar(sql, descripcion);
        if (s == Seguir::Si && descripcion.isEmpty()) {
            m_r.cargadas += static_cast<qint64>(lote.size());
            return s;
        }
        if (lote.size() == 1) {
            rechazar(lote.front(), descripcion);
            return s;
        }
        if (s != Seguir::Si) {
            registrar(descripcion);
            return s;
        }
        for (const Fila& fila : lote) {
            const Seguir una = enviarLote({fila});
            if (una != Seguir::Si) return una;
        }
        return Seguir::Si;
    }

    // Runs one insert; descripcion receives the server's message when it failed. A lost
    // connection ends the fill, a statement stopped by the time limit ends this table's load
    // (sending its rows one by one could take the limit once per row).
    static Seguir ejecutar(const QString& sql, QString& descripcion) {
        QElapsedTimer reloj;
        reloj.start();
        QString error;
        if (db::dbAdmin().EjecutarSentencia(db::cnnMySql(), sql, 1, &error)) return Seguir::Si;
        descripcion = db::cnnMySql().lastError();
        if (descripcion.isEmpty()) descripcion = error;
        if (!db::cnnMySql().isAlive()) return Seguir::FinCarga;
        if (reloj.elapsed() >= limiteSentenciaCarga() * 900LL) return Seguir::FinTabla;
        return Seguir::Si;
    }

    const Carga& m_c;
    const snapshot::Table& m_tabla;
    std::vector<int> m_indices;   // data model index of each loaded column
    std::vector<Forma> m_formas;  // how each loaded column is written
    QString m_origen;
    QString m_insert;
    QString m_palabraNull;
    ResultadoCarga m_r;
};

ResultadoCarga cargar(int n) { return Cargador(cargas()[static_cast<size_t>(n)]).cargar(); }

// The server stops any statement of this session that runs longer than the limit, so a
// blocked table cannot hold start-up. MariaDB knows max_statement_time (every statement);
// MySQL only max_execution_time (reads).
void limitarSentencias() {
    QString error;
    const int s = limiteSentenciaCarga();
    if (db::dbAdmin().EjecutarSentencia(
            db::cnnMySql(), QStringLiteral("SET SESSION max_statement_time=%1").arg(s), 1, &error))
        return;
    if (!db::dbAdmin().EjecutarSentencia(
            db::cnnMySql(), QStringLiteral("SET SESSION max_execution_time=%1").arg(s * 1000), 1,
            &error))
        config::EscribirLog(QStringLiteral("ProcesarCargaInicial - Error: ") +
                            db::cnnMySql().lastError());
}

// True when the mirror table holds no row; false (logged) also when the query failed. Only
// one row is asked for: the table may hold millions, and a query result is read whole.
bool vacia(const Carga& c, bool& sinConexion) {
    db::Recordset rs;
    if (rs.open(db::cnnMySql(), QString::fromUtf8(c.vacia) + QStringLiteral(" limit 1")))
        return rs.recordCount() == 0;
    config::EscribirLog(QStringLiteral("ProcesarCargaInicial - Error: ") + rs.errorText());
    sinConexion = !db::cnnMySql().isAlive();
    return false;
}

int& limite() {
    static int segundos = 60;
    return segundos;
}

}  // namespace

std::vector<const snapshot::Table*> tablasCarga() {
    std::vector<const snapshot::Table*> out;
    for (const Carga& c : cargas()) {
        const snapshot::Table* t = snapshot::findTable(QString::fromUtf8(c.tabla));
        for (const auto& [nombre, forma] : c.otras)
            if (t && !t->column(QString::fromUtf8(nombre))) t = nullptr;
        out.push_back(t);
    }
    return out;
}

int limiteSentenciaCarga() { return limite(); }
void setLimiteSentenciaCarga(int segundos) { limite() = segundos; }

ResultadoCarga CargarClienteaMySQL() { return cargar(0); }
ResultadoCarga CargarTarjetaaMySQL() { return cargar(1); }
ResultadoCarga CargarAcumulacionPuntoaMySQL() { return cargar(2); }
ResultadoCarga CargarCanjePuntoaMySQL() { return cargar(3); }

void ProcesarCargaInicial() {
    if (!db::AbrirConexion(1)) return;
    QString error;
    if (db::esLocalPrincipal(&error)) {
        limitarSentencias();
        ResultadoCarga (*const cargar[])() = {CargarClienteaMySQL, CargarTarjetaaMySQL,
                                              CargarAcumulacionPuntoaMySQL, CargarCanjePuntoaMySQL};
        for (size_t n = 0; n < cargas().size(); ++n) {
            bool sinConexion = false;
            if (vacia(cargas()[n], sinConexion) && cargar[n]().sinConexion) break;
            if (sinConexion) break;
        }
    } else if (!error.isEmpty()) {
        config::EscribirLog(QStringLiteral("ProcesarCargaInicial - Error: ") + error);
    }
    db::cerrarConexiones();
}

}  // namespace lumaro::outputs
