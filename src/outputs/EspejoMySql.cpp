#include "outputs/EspejoMySql.h"

#include <algorithm>
#include <iterator>

#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/clsDBAdmin.h"
#include "outputs/DatosEspejo.h"
#include "outputs/ModMySql.h"
#include "outputs/ValoresEspejo.h"

namespace lumaro::outputs {

namespace {

const QString kPrefijo = QStringLiteral("EspejoMySql - Error: ");
// Rows written to the mirror per statement and per transaction, by the copy and by the merges:
// one exchange with the server per row, or one commit (one flush of the server's log) per few
// hundred rows, would make the mirror the slow part of both.
constexpr int kFilasPorSentencia = 500;
constexpr int kFilasPorTransaccion = 5000;
// Rows of a group sent without waiting for the answer: small enough that most of a table's rows
// go while the rows after them are still being merged or copied.
constexpr int kFilasDiferidas = 100;

bool abrirEspejo() {
    if (db::cnnMySql().isOpen()) return true;
    // AbrirBD writes its own log line on failure.
    return db::dbAdmin().AbrirBD(db::cnnMySql(), db::datosConfiguracion().textoConexionMySql);
}

}  // namespace

EspejoMySql::~EspejoMySql() { m_envio.esperar(db::cnnMySql()); }

void EspejoMySql::recogerPendiente() {
    if (const snapshot::Table* t = tablaAbierta()) recoger(*t);
}

const snapshot::Table* EspejoMySql::tablaAbierta() const {
    if (m_tabla) return m_tabla;
    for (const std::vector<Escrita>* filas : {&m_espera, &m_vuelo, &m_lote})
        if (!filas->empty()) return filas->back().t->tabla;
    return nullptr;
}

bool EspejoMySql::preparar(const QString&) {
    m_tabla = nullptr;
    m_respuestaActivo = false;
    return true;
}

bool EspejoMySql::alimenta() {
    QString error;
    const bool principal = db::esLocalPrincipal(&error);
    if (!error.isEmpty()) config::EscribirLog(kPrefijo + error);
    return principal && abrirEspejo();
}

void EspejoMySql::empezarTabla(const snapshot::Table& tabla) {
    if (m_tabla == &tabla) return;
    // A group holds the rows of one table. The copy commits at the end of each table; merged
    // rows wait in the transaction for the merge's next commit (confirmarLote).
    if (m_tabla) enviar(*m_tabla, true);
    m_tabla = &tabla;
    m_reabierta = false;
    if (!m_respuestaActivo) m_alimenta = alimenta();
    m_respuestaActivo = false;
}

void EspejoMySql::fila(const snapshot::Table& tabla, const snapshot::Fila& fila) {
    const TablaEspejo* t = tablaEspejo(tabla);
    if (!t) return;
    empezarTabla(tabla);
    if (m_alimenta) escribirEnLote(*t, fila, Origen::Copia, true);
}

void EspejoMySql::escribirEnLote(const TablaEspejo& t, const snapshot::Fila& fila, Origen origen,
                                 bool buscarPrimero) {
    const snapshot::Table& tabla = *t.tabla;
    if (fila.size() != tabla.columns.size())
        return fallo(tabla, fila, QStringLiteral("fila incompleta"));
    if (claveConComilla(tabla, fila))
        return fallo(tabla, fila, QStringLiteral("la clave contiene una comilla"));
    // ... and of one writer, so that the rows of a lost one can go again as one group.
    if ((!m_espera.empty() && m_espera.back().origen != origen) ||
        (!m_lote.empty() && m_lote.back().origen != origen))
        confirmar(tabla);
    m_espera.push_back({&t, fila, origen, buscarPrimero});
    if (static_cast<int>(m_espera.size()) < kFilasDiferidas) return;
    if (static_cast<int>(m_espera.size() + m_vuelo.size() + m_lote.size()) >= kFilasPorTransaccion)
        confirmar(tabla);
    else
        enviar(tabla, true);
}

std::optional<bool> EspejoMySql::admiteBloque(const TablaEspejo& t) {
    if (const auto it = m_bloques.find(t.tabla); it != m_bloques.end()) return it->second;
    const std::optional<bool> bloque = claveUnicaEnEspejo(*t.tabla);
    if (bloque) m_bloques[t.tabla] = *bloque;
    return bloque;
}

void EspejoMySql::enviar(const snapshot::Table& tabla, bool diferir) {
    recoger(tabla);
    std::vector<Escrita> espera;
    espera.swap(m_espera);
    if (espera.empty() || !m_alimenta) return;
    if (!m_enTransaccion) m_enTransaccion = db::cnnMySql().beginTransaction();
    const TablaEspejo& t = *espera.front().t;
    if (const std::optional<bool> bloque = admiteBloque(t); bloque.value_or(true)) {
        std::vector<const snapshot::Fila*> filas;
        for (const Escrita& e : espera) filas.push_back(&e.fila);
        if (bloque && (!t.registra || registrarBloque(t, espera, filas))) {
            const QString sql = sentenciaBloque(t, filas, espera.front().origen);
            if (diferir && m_envio.enviar(db::cnnMySql(), sql)) {
                m_vuelo = std::move(espera);
                return;
            }
            if (db::dbAdmin().EjecutarSentencia(db::cnnMySql(), sql, 1)) {
                m_lote.insert(m_lote.end(), std::make_move_iterator(espera.begin()),
                              std::make_move_iterator(espera.end()));
                return;
            }
        }
        falloBloque(tabla, std::move(espera),
                    bloque ? db::cnnMySql().lastError() : QStringLiteral("no responde"));
        return;
    }
    porFila(espera);
}

void EspejoMySql::recoger(const snapshot::Table& tabla) {
    if (!m_envio.pendiente()) return;
    std::vector<Escrita> vuelo;
    vuelo.swap(m_vuelo);
    if (m_envio.esperar(db::cnnMySql())) {
        m_lote.insert(m_lote.end(), std::make_move_iterator(vuelo.begin()),
                      std::make_move_iterator(vuelo.end()));
        return;
    }
    // The rows taken after the group wait for their turn.
    std::vector<Escrita> despues;
    despues.swap(m_espera);
    falloBloque(tabla, std::move(vuelo), db::cnnMySql().lastError());
    if (m_alimenta) m_espera = std::move(despues);
}

void EspejoMySql::falloBloque(const snapshot::Table& tabla, std::vector<Escrita> espera,
                              const QString& error) {
    if (!db::cnnMySql().isAlive()) {
        // No row is at fault: the lost transaction's rows and these go again, once.
        config::EscribirLog(kPrefijo + tabla.qName() +
                            QStringLiteral(" - se perdio la conexion con el espejo al escribir "
                                           "%1 filas: ")
                                .arg(espera.size()) +
                            error);
        if (!reabrir(tabla)) return;
        std::vector<Escrita> todas = std::move(m_lote);
        m_lote.clear();
        todas.insert(todas.end(), espera.begin(), espera.end());
        // Groups of one table each: the transaction may hold several tables' merged rows.
        for (size_t desde = 0, hasta = 0; desde < todas.size() && m_alimenta; desde = hasta) {
            while (hasta < todas.size() && hasta - desde < kFilasPorSentencia &&
                   todas[hasta].t == todas[desde].t)
                ++hasta;
            m_espera.assign(todas.begin() + static_cast<std::ptrdiff_t>(desde),
                            todas.begin() + static_cast<std::ptrdiff_t>(hasta));
            enviar(*todas[desde].t->tabla);
        }
        return;
    }
    // The server refused a row of the statement: each row alone, so that only the refused one
    // is left out (and logged).
    porFila(espera);
}

bool EspejoMySql::registrarBloque(const TablaEspejo& t, const std::vector<Escrita>& espera,
                                  const std::vector<const snapshot::Fila*>& filas) {
    std::optional<QSet<QString>> presentes = existentesEnEspejo(*t.tabla, filas);
    if (!presentes) return false;
    for (const Escrita& e : espera) {
        const QString clave = textoClave(*t.tabla, e.fila);
        config::EscribirLog(presentes->contains(clave) ? QStringLiteral("Se UPDATE")
                                                       : QStringLiteral("Se INSERT"));
        presentes->insert(clave);
    }
    return true;
}

void EspejoMySql::reescribirLote() {
    std::vector<Escrita> lote;
    lote.swap(m_lote);
    m_enTransaccion = db::cnnMySql().beginTransaction();
    porFila(lote);
}

void EspejoMySql::porFila(const std::vector<Escrita>& filas) {
    for (const Escrita& e : filas) {
        if (!m_alimenta) return;
        if (escribir(*e.t, e.fila, e.origen, e.buscarPrimero)) m_lote.push_back(e);
    }
}

void EspejoMySql::confirmar(const snapshot::Table& tabla) {
    enviar(tabla);
    for (bool primera = true; m_enTransaccion && !db::cnnMySql().commitTransaction();
         primera = false) {
        const QString error = db::cnnMySql().lastError();
        if (primera && !m_lote.empty() && !db::cnnMySql().isAlive()) {
            // The connection went with the transaction before its commit: its rows go again
            // on a new one, then that is committed.
            std::vector<Escrita> lote = std::move(m_lote);
            m_lote.clear();
            m_enTransaccion = false;
            falloBloque(tabla, std::move(lote), error);
            continue;
        }
        config::EscribirLog(
            kPrefijo + tabla.qName() +
            QStringLiteral(" - no se confirmaron las ultimas %1 filas: ").arg(m_lote.size()) +
            error);
        break;
    }
    m_enTransaccion = false;
    m_lote.clear();
}

void EspejoMySql::finTabla(const snapshot::Table& tabla) {
    const TablaEspejo* t = tablaEspejo(tabla);
    if (t) {
        empezarTabla(tabla);
        enviar(tabla);
        if (m_alimenta && !db::dbAdmin().EjecutarSentencia(db::cnnMySql(), t->marcado, 1))
            config::EscribirLog(kPrefijo + tabla.qName() + QStringLiteral(" - ") +
                                db::cnnMySql().lastError());
        confirmar(tabla);
    }
    m_tabla = nullptr;
}

void EspejoMySql::fin(bool) {
    if (const snapshot::Table* t = tablaAbierta()) confirmar(*t);
    m_tabla = nullptr;
}

bool EspejoMySql::activo() {
    if (m_tabla) enviar(*m_tabla, true);  // the rows of the merge before, if it left any
    m_tabla = nullptr;
    m_alimenta = alimenta();
    m_respuestaActivo = true;
    return m_alimenta;
}

void EspejoMySql::filaFusionada(const snapshot::Table& tabla, const snapshot::Fila& fila,
                                bool insertada) {
    const TablaEspejo* t = tablaEspejo(tabla);
    if (!t) return;
    empezarTabla(tabla);
    if (m_alimenta) escribirEnLote(*t, fila, Origen::Fusion, insertada);
}

void EspejoMySql::confirmarLote() {
    if (const snapshot::Table* t = tablaAbierta()) confirmar(*t);
}

bool EspejoMySql::escribir(const TablaEspejo& t, const snapshot::Fila& fila, Origen origen,
                           bool buscarPrimero) {
    const snapshot::Table& tabla = *t.tabla;
    if (!buscarPrimero) {
        // An update that changed no row: the mirror lacks the row, or holds it unchanged.
        if (!ejecutar(t, fila, sentenciaUpdate(t, fila, origen), false)) return false;
        if (db::cnnMySql().rowsAffected() != 0) return true;
    }
    const Existencia e = existeEnEspejo(tabla, fila);
    if (e.fallo()) {
        fallo(tabla, fila, e.error);
        return false;
    }
    if (e.falta()) return ejecutar(t, fila, sentenciaInsert(t, fila, origen), true);
    return !buscarPrimero || ejecutar(t, fila, sentenciaUpdate(t, fila, origen), false);
}

bool EspejoMySql::ejecutar(const TablaEspejo& t, const snapshot::Fila& fila, const QString& sql,
                           bool insert) {
    if (t.registra)
        config::EscribirLog(insert ? QStringLiteral("Se INSERT") : QStringLiteral("Se UPDATE"));
    if (db::dbAdmin().EjecutarSentencia(db::cnnMySql(), sql, 1)) return true;
    fallo(*t.tabla, fila, db::cnnMySql().lastError());
    return false;
}

void EspejoMySql::fallo(const snapshot::Table& tabla, const snapshot::Fila& fila,
                        const QString& error) {
    config::EscribirLog(kPrefijo + snapshot::describirClave(tabla, fila) + QStringLiteral(" - ") +
                        error);
    if (!m_alimenta || db::cnnMySql().isAlive()) return;
    if (reabrir(tabla)) reescribirLote();
}

bool EspejoMySql::reabrir(const snapshot::Table& tabla) {
    m_enTransaccion = false;
    m_envio.esperar(db::cnnMySql());  // nothing is pending here; this only makes sure
    m_vuelo.clear();
    m_bloques.clear();
    if (!m_reabierta) {
        m_reabierta = true;
        db::dbAdmin().CerrarBD(db::cnnMySql());
        if (abrirEspejo()) return true;
    }
    m_lote.clear();
    m_espera.clear();
    m_alimenta = false;
    config::EscribirLog(kPrefijo + tabla.qName() +
                        QStringLiteral(" - sin conexion con el espejo; el resto de la tabla no "
                                       "se refleja"));
    return false;
}

}  // namespace lumaro::outputs
