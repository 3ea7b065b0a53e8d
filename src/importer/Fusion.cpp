#include "importer/Fusion.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMap>
#include <utility>
#include <vector>

#include "config/LogRetenido.h"
#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "importer/ConexionSnapshot.h"
#include "importer/EjecutorSentencias.h"
#include "importer/FilasApartadas.h"
#include "importer/ReglasFusion.h"
#include "importer/StatementTemplates.h"
#include "run/Console.h"

namespace lumaro::importer {

namespace {

using config::EscribirLog;
using snapshot::Fila;

snapshot::EspejoFusion* g_espejo = nullptr;
CuentaFilas g_cuenta;
int g_lote = 5000;
std::function<void(PuntoFusion)> g_observador;

void observar(PuntoFusion punto) {
    if (g_observador) g_observador(punto);
}

// The open production transactions of the merges, with the snapshot rows each one holds: a
// row is marked in the snapshot only after the commit of the transaction that wrote it. A
// merge opens its connection's transaction and commits every few thousand rows; at its end it
// commits, unless the merges share their transactions (FusionesCompartidas), where the next
// table goes on in the same ones.
class Transacciones {
public:
    bool abrir(db::Connection& cnn) {
        if (buscar(cnn)) return true;
        if (!cnn.beginTransaction()) return false;
        m_abiertas.push_back({&cnn, {}, {}});
        return true;
    }
    // A snapshot row handled in cnn's open transaction; escrita when production got it.
    void pendiente(db::Connection& cnn, const ReglaFusion& r, const jet::RowId& id, bool escrita) {
        Abierta* a = buscar(cnn);
        if (!a) return;
        a->marcas.push_back({&r, id});
        if (escrita) ++a->escritas[r.tabla->qName()];
        ++m_filas;
    }
    bool lleno() const { return m_filas >= g_lote; }
    bool vacio() const { return m_abiertas.empty(); }

    // Commits every open transaction, the mirror's first, then marks the committed rows. A
    // commit that fails is rolled back and its rows stay unmarked, for the next merge; its
    // error is the first one kept in *error.
    bool confirmar(QString* error) {
        if (g_espejo) g_espejo->confirmarLote();
        config::escribirLogRetenido();
        bool ok = true;
        const ReglaFusion* marcada = nullptr;
        for (Abierta& a : std::exchange(m_abiertas, {})) {
            if (!a.cnn->commitTransaction()) {
                if (ok && error) *error = a.cnn->lastError();
                a.cnn->rollbackTransaction();
                ok = false;
                continue;
            }
            for (const auto& [tabla, filas] : a.escritas.asKeyValueRange())
                g_cuenta.escritas[tabla] += filas;
            observar(PuntoFusion::Confirmacion);
            for (const auto& [r, id] : a.marcas) marcar(*r, id);
            if (!a.marcas.empty()) marcada = a.marcas.back().first;
        }
        m_filas = 0;
        if (marcada) guardarMarcas(*marcada);
        config::escribirLogRetenido();
        return ok;
    }

    bool compartidas = false;

    static void marcar(const ReglaFusion& r, const jet::RowId& id) {
        QString error;
        if (!cnnSnapshot().marcar(*r.tabla, id, &error))
            EscribirLog(r.prefijo() +
                        QStringLiteral("no se pudo marcar la fila (pagina %1, fila %2): ")
                            .arg(id.page)
                            .arg(id.row) +
                        error);
        observar(PuntoFusion::Marca);
    }
    static void guardarMarcas(const ReglaFusion& r) {
        if (QString error; !cnnSnapshot().guardarMarcas(&error))
            EscribirLog(r.prefijo() + QStringLiteral("no se pudieron guardar las marcas: ") +
                        error);
    }

private:
    struct Abierta {
        db::Connection* cnn;
        std::vector<std::pair<const ReglaFusion*, jet::RowId>> marcas;
        QMap<QString, qint64> escritas;  // rows inserted or updated, per table
    };
    Abierta* buscar(db::Connection& cnn) {
        for (Abierta& a : m_abiertas)
            if (a.cnn == &cnn) return &a;
        return nullptr;
    }
    std::vector<Abierta> m_abiertas;
    qint64 m_filas = 0;
};

Transacciones g_transacciones;

// pgEstado during a merge. The step (rows / 100) is kept between merges: a table without
// rows leaves it as the last merge set it, and the bar shows 100 at the end of a merge only
// while no merge since start-up has met a row.
class Progreso {
public:
    void iniciar(int filas) {
        if (filas > 0) s_paso = static_cast<float>(filas) / 100.0f;
        m_valor = 0.0;
        m_mostrado = 0;
    }
    void avanzar() {
        if (s_paso <= 0) return;
        m_valor = std::min(100.0, m_valor + 1.0 / static_cast<double>(s_paso));
        mostrar(static_cast<int>(m_valor));
    }
    void terminar() {
        if (s_paso <= 0) mostrar(100);
    }

private:
    void mostrar(int valor) {
        if (valor == m_mostrado) return;
        m_mostrado = valor;
        run::console().setProgress(0, 100, valor);
    }
    static inline float s_paso = 0;
    double m_valor = 0;
    int m_mostrado = 0;
};

// The row as production holds it after the merge, for the mirror: quotes of text replaced by
// blanks, the synchronised mark set, bClienteVIP 0 when null.
Fila filaProduccion(const ReglaFusion& r, Fila fila) {
    for (size_t i = 0; i < fila.size(); ++i) {
        const snapshot::Column& c = r.tabla->columns[i];
        if (c.type == snapshot::ColumnType::Flag)
            fila[i] = true;
        else if (c.isText() && !fila[i].isNull())
            fila[i] =
                ReemplazarCaracter(fila[i].toString(), QStringLiteral("'"), QStringLiteral(" "));
        else if (static_cast<int>(i) == r.nuloComoCero && fila[i].isNull())
            fila[i] = qlonglong{0};
    }
    return fila;
}

// The key values joined by "-", as the log lines name a row.
QString claves(const snapshot::Table& t, const Fila& fila) {
    QStringList partes;
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].key)
            partes << (fila[i].isNull() ? QStringLiteral("NULL") : fila[i].toString());
    return partes.join(u'-');
}

// True when a text key that the statements quote as it stands holds a quote: replacing it
// would merge the row under another key (a card number).
bool claveConComilla(const ReglaFusion& r, const Fila& fila) {
    for (const Plantilla::Marca& m : r.busqueda.marcas)
        if (m.cruda && fila[static_cast<size_t>(m.columna)].toString().contains(u'\'')) return true;
    return false;
}

class Fusion {
public:
    explicit Fusion(const ReglaFusion& r)
        : m_r(r),
          m_destino(r.tabla->database == snapshot::Database::Logistica ? db::cnnLogistica()
                                                                       : db::cnnCliente()),
          m_ejecutor(m_destino) {}

    bool ejecutar() {
        ConexionSnapshot& origen = cnnSnapshot();
        if (!origen.isOpen())
            return terminar(
                QStringLiteral("La conexion al archivo de sincronizacion no esta abierta"));
        // The per-row lines reach the file before each commit (confirmar).
        const config::LogRetenido retenido;
        m_espejo = g_espejo && m_r.tabla->mirrored && g_espejo->activo();
        m_progreso.iniciar(origen.filas(*m_r.tabla));
        if (!g_transacciones.abrir(m_destino)) return terminar(m_destino.lastError());
        QString error;
        const bool leido = origen.recorrer(
            *m_r.tabla, [this](const FilaEntrante& e) { return fila(e); }, &error);
        if (!leido && m_error.isEmpty()) m_error = error;
        // A table that ended well may leave its rows to the next table's commit; what was
        // written before a stop stays merged, and is marked.
        const bool bien = !m_fallo && m_error.isEmpty();
        const bool confirmado = (bien && g_transacciones.compartidas) || confirmar(false);
        m_progreso.terminar();
        if (bien && confirmado) return true;
        return terminar(m_error);
    }

private:
    enum class Accion { Insertar, Actualizar, SoloMarcar };

    // One incoming row; false stops the merge.
    bool fila(const FilaEntrante& e) {
        ++g_cuenta.vistas;
        if (e.marcada) {  // merged by an earlier run that was cut short
            ++g_cuenta.yaMarcadas;
            m_progreso.avanzar();
            return true;
        }
        const Fila& f = e.fila;
        if (!e.columnaInvalida.isEmpty()) {
            if (!apartarInvalida(e)) return false;
            m_progreso.avanzar();
            return true;
        }
        if (claveConComilla(m_r, f)) {
            EscribirLog(m_r.prefijo() + QStringLiteral("se omite la fila ") +
                        snapshot::describirClave(*m_r.tabla, f) +
                        QStringLiteral(": su clave lleva una comilla"));
            m_progreso.avanzar();
            return true;
        }
        std::optional<Accion> accion = decidir(f);
        if (!accion) return false;
        const bool escribe = *accion != Accion::SoloMarcar;
        if (escribe) {
            const Escrito escrito = escribir(*accion, e);
            if (escrito == Escrito::Fallo) return false;
            if (escrito == Escrito::Apartada) {
                m_progreso.avanzar();
                return true;
            }
        }
        g_transacciones.pendiente(m_destino, m_r, e.id, escribe);
        m_progreso.avanzar();
        if (g_transacciones.lleno()) return confirmar(true);
        return true;
    }

    std::optional<Accion> decidir(const Fila& f) {
        QVariant fechaProduccion;
        const std::optional<bool> existe = m_ejecutor.buscar(m_r, f, &fechaProduccion, &m_error);
        if (!existe) {
            m_error = snapshot::describirClave(*m_r.tabla, f) + QStringLiteral(": ") + m_error;
            return std::nullopt;
        }
        if (!*existe) return Accion::Insertar;
        const auto clave = [&] { return claves(*m_r.tabla, f); };
        switch (m_r.regla) {
            case Regla::Sobrescribir:
                return Accion::Actualizar;
            case Regla::SoloInsertar:
                EscribirLog(QStringLiteral("Se intento Insert del ") + m_r.nombreLog() + u':' +
                            clave() + QStringLiteral(", pero Lumaro ya tiene ese registro"));
                return Accion::SoloMarcar;
            case Regla::PorFecha:
                break;
        }
        const QVariant& entrante = f[static_cast<size_t>(m_r.fechaCambio)];
        const QVariant produccion =
            snapshot::valorColumna(snapshot::ColumnType::DateTime, fechaProduccion)
                .value_or(QVariant());
        if (!f[static_cast<size_t>(m_r.reverso)].isNull()) {
            EscribirLog(QStringLiteral("Extorno..."));
        } else if (!entrante.isNull() &&
                   (produccion.isNull() || produccion.toDateTime() < entrante.toDateTime())) {
            EscribirLog(m_r.anterior);
        } else {
            EscribirLog(QStringLiteral("Se intento Update del ") + m_r.nombreLog() + u':' +
                        clave() + QStringLiteral(", pero Lumaro tiene un registro mas actual"));
            return Accion::SoloMarcar;
        }
        EscribirLog(QStringLiteral("Update ") + m_r.nombreLog() + u':' + clave());
        return Accion::Actualizar;
    }

    enum class Escrito { Hecho, Apartada, Fallo };

    // The insert or update of a row. A statement that fails while the production connection
    // still answers was refused for this row alone: the row is set aside and the batch so far
    // committed. On a connection that no longer answers, or a statement that met a lock or a
    // time-out, the merge stops, to resume later.
    Escrito escribir(Accion accion, const FilaEntrante& e) {
        const Fila& f = e.fila;
        const bool insertar = accion == Accion::Insertar;
        const Plantilla& plantilla = insertar ? m_r.insercion : m_r.actualizacion;
        if (!m_ejecutor.ejecutarEnlazada(m_r, plantilla, f))
            if (const std::optional<Escrito> no = escribirTexto(plantilla, e)) return *no;
        observar(PuntoFusion::Sentencia);
        if (m_espejo) g_espejo->filaFusionada(*m_r.tabla, filaProduccion(m_r, f), insertar);
        return Escrito::Hecho;
    }

    // The statement as its finished text: nullopt when it ran; otherwise the row was set
    // aside or the merge stops.
    std::optional<Escrito> escribirTexto(const Plantilla& plantilla, const FilaEntrante& e) {
        QString columna;
        const std::optional<QString> sql = armar(m_r, plantilla, e.fila, &columna);
        if (!sql) return apartarInvalida(e, columna) ? Escrito::Apartada : Escrito::Fallo;
        QString error;
        if (m_ejecutor.ejecutar(*sql, &error)) return std::nullopt;
        // A lock, deadlock or time-out is no fault of the row: stop, to resume later.
        if (!m_destino.isAlive() || db::isTransientError(error)) {
            EjecutorSentencias::informarFallo(*sql, error);
            m_fallo = true;
            return Escrito::Fallo;
        }
        // The batch is committed at once: an engine that drops the whole transaction with the
        // refused statement makes that commit fail, and the table is resumed later without
        // this row, which is already set aside and marked.
        const bool apartada = apartar(e, error, *sql, false) && confirmar(true);
        return apartada ? Escrito::Apartada : Escrito::Fallo;
    }

    // A row holding a value that is not of its column's kind (the first such column, or the
    // one named): set aside with the insert that would apply it, its bad values as NULL.
    bool apartarInvalida(const FilaEntrante& e, QString columna = {}) {
        if (columna.isEmpty()) columna = e.columnaInvalida;
        const int i = snapshot::indiceColumna(*m_r.tabla, columna);
        const QString leido = i < 0 ? QString() : e.fila[static_cast<size_t>(i)].toString();
        Fila limpia = e.fila;
        for (size_t k = 0; k < limpia.size(); ++k)
            if (!snapshot::valorColumna(m_r.tabla->columns[k].type, limpia[k])) limpia[k] = {};
        const QString motivo = QStringLiteral("el valor de ") + columna +
                               QStringLiteral(" no es del tipo de la columna (se leyo: ") + leido +
                               u')';
        return apartar(e, motivo, armar(m_r, m_r.insercion, limpia, nullptr).value_or(QString()),
                       true);
    }

    // Sets the row aside and marks it in the snapshot at once; false (the merge stops) when it
    // could not be kept.
    bool apartar(const FilaEntrante& e, const QString& motivo, const QString& sentencia,
                 bool corregir) {
        QString causa;
        const QString archivo = QFileInfo(cnnSnapshot().ruta()).fileName();
        if (!apartarFila(archivo, {m_r.tabla, e.fila, motivo, sentencia, corregir, m_r.prefijo()},
                         &causa)) {
            m_error = QStringLiteral("no se pudo apartar la fila ") +
                      snapshot::describirClave(*m_r.tabla, e.fila) + QStringLiteral(": ") + causa;
            return false;
        }
        ++g_cuenta.apartadas;
        Transacciones::marcar(m_r, e.id);
        Transacciones::guardarMarcas(m_r);
        return true;
    }

    // Commits the open batch (every open transaction), then marks its snapshot rows; seguir
    // opens this table's next transaction.
    bool confirmar(bool seguir) {
        if (QString error; !g_transacciones.confirmar(&error)) {
            if (m_error.isEmpty()) m_error = error;
            return false;
        }
        if (!seguir || g_transacciones.abrir(m_destino)) return true;
        m_error = m_destino.lastError();
        return false;
    }

    // The end line of a merge that stopped: prefix, error number, " - ", description.
    bool terminar(const QString& descripcion) {
        EscribirLog(m_r.prefijo() + QStringLiteral("0 - ") + descripcion);
        return false;
    }

    const ReglaFusion& m_r;
    db::Connection& m_destino;
    EjecutorSentencias m_ejecutor;
    Progreso m_progreso;
    bool m_espejo = false;
    bool m_fallo = false;  // a statement failed (its box and log line are already out)
    QString m_error;
};

bool fusionar(const char* procedimiento) { return Fusion(reglaFusion(procedimiento)).ejecutar(); }

}  // namespace

bool syncTablaAcumulPunto() { return fusionar("syncTablaAcumulPunto"); }
bool syncTablaAcumulTicket() { return fusionar("syncTablaAcumulTicket"); }
bool syncTablaCanjePunto() { return fusionar("syncTablaCanjePunto"); }
bool syncTablaCanjeTicket() { return fusionar("syncTablaCanjeTicket"); }
bool syncTablaCliente() { return fusionar("syncTablaCliente"); }
bool syncTablaTarjeta() { return fusionar("syncTablaTarjeta"); }
bool syncTablaCumpleanios() { return fusionar("syncTablaCumpleanios"); }
bool syncTablaContactos() { return fusionar("syncTablaContactos"); }
bool syncRegCanjeCumpl() { return fusionar("syncRegCanjeCumpl"); }
bool syncRegCanjeCumpl_D() { return fusionar("syncRegCanjeCumpl_D"); }

FusionTabla fusionDeTabla(const snapshot::Table& tabla) {
    static const std::pair<const char*, FusionTabla> fusiones[] = {
        {"syncTablaAcumulPunto", syncTablaAcumulPunto},
        {"syncTablaAcumulTicket", syncTablaAcumulTicket},
        {"syncTablaCanjePunto", syncTablaCanjePunto},
        {"syncTablaCanjeTicket", syncTablaCanjeTicket},
        {"syncTablaCliente", syncTablaCliente},
        {"syncTablaTarjeta", syncTablaTarjeta},
        {"syncTablaCumpleanios", syncTablaCumpleanios},
        {"syncTablaContactos", syncTablaContactos},
        {"syncRegCanjeCumpl", syncRegCanjeCumpl},
        {"syncRegCanjeCumpl_D", syncRegCanjeCumpl_D},
    };
    for (const auto& [nombre, fusion] : fusiones)
        if (reglaFusion(nombre).tabla == &tabla) return fusion;
    return nullptr;
}

CuentaFilas& cuentaFilas() { return g_cuenta; }

FusionesCompartidas::FusionesCompartidas() { g_transacciones.compartidas = true; }

FusionesCompartidas::~FusionesCompartidas() {
    g_transacciones.compartidas = false;
    if (QString error; !g_transacciones.vacio() && !g_transacciones.confirmar(&error))
        EscribirLog(QStringLiteral("No se pudo confirmar lo fusionado: ") + error);
}

bool FusionesCompartidas::confirmar(QString* error) { return g_transacciones.confirmar(error); }

void setEspejoFusion(snapshot::EspejoFusion* espejo) { g_espejo = espejo; }
void setTamanoLote(int filas) { g_lote = std::max(1, filas); }
void setObservadorFusion(std::function<void(PuntoFusion)> observador) {
    g_observador = std::move(observador);
}

}  // namespace lumaro::importer
