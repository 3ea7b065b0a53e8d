#include "importer/ConexionSnapshot.h"

#include <QFile>
#include <QFileInfo>
#include <map>
#include <vector>

#include "config/Settings.h"
#include "importer/StatementTemplates.h"
#include "jet/Reader.h"
#include "jet/Updater.h"
#include "run/Console.h"

namespace lumaro::importer {

namespace {

using snapshot::ColumnType;

// The stored types whose values a column of the data model can be read from.
bool tipoAdmitido(ColumnType tipo, jet::ColumnType guardado) {
    switch (tipo) {
        case ColumnType::Integer:
            return guardado == jet::ColumnType::Long || guardado == jet::ColumnType::Integer ||
                   guardado == jet::ColumnType::Byte;
        case ColumnType::Text:
            return guardado == jet::ColumnType::Text || guardado == jet::ColumnType::Memo;
        case ColumnType::DateTime:
            return guardado == jet::ColumnType::DateTime;
        case ColumnType::Flag:
            return guardado == jet::ColumnType::Boolean;
    }
    return false;
}

QString texto(const std::string& s) { return QString::fromStdString(s); }

// A stored field as the row takes it. A date outside the years 1900 to 9999 (day 2 is
// 1900/01/01, day 2958466 is 10000/01/01), or not a number at all, is no date a production
// database takes: the row gets its raw day count, which no date column accepts, so the row is
// refused like any other with a value not of its kind.
QVariant valorLeido(const jet::Value& campo) {
    if (const auto* fecha = std::get_if<jet::DateTime>(&campo))
        if (!(fecha->days >= 2.0 && fecha->days < 2958466.0)) return QVariant(fecha->days);
    return valorJet(campo);
}

}  // namespace

// A table of the open file and where each data-model column sits in its rows.
struct TablaAbierta {
    jet::Table jet;
    std::vector<int> posiciones;  // data-model column -> stored column
};

struct ConexionSnapshot::Estado {
    QString ruta;
    std::unique_ptr<jet::Database> db;
    std::unique_ptr<jet::Updater> updater;
    std::map<const snapshot::Table*, TablaAbierta> tablas;
};

ConexionSnapshot::ConexionSnapshot() = default;
ConexionSnapshot::~ConexionSnapshot() { cerrar(); }

namespace {

// The table of the file checked against the data model; the reason when it does not fit.
std::optional<TablaAbierta> comprobarTabla(const jet::Database& db, const snapshot::Table& tabla,
                                           QString* error) {
    jet::Result<jet::Table> t = db.table(tabla.name);
    if (!t) {
        *error = QStringLiteral("falta la tabla ") + tabla.qName();
        return std::nullopt;
    }
    TablaAbierta abierta{t.value(), {}};
    for (const snapshot::Column& c : tabla.columns) {
        const std::string nombre = c.mergeSpelling().toStdString();
        const jet::Column* guardada = t->column(nombre);
        if (!guardada) guardada = t->column(c.name);
        if (!guardada) {
            *error = QStringLiteral("la tabla %1 no tiene la columna %2")
                         .arg(tabla.qName(), c.mergeSpelling());
            return std::nullopt;
        }
        if (!tipoAdmitido(c.type, guardada->type)) {
            *error = QStringLiteral("la columna %1.%2 no es del tipo esperado")
                         .arg(tabla.qName(), c.mergeSpelling());
            return std::nullopt;
        }
        abierta.posiciones.push_back(t->columnIndex(guardada->name));
    }
    // Every row must be readable: a merge must never stop half-way on a damaged page. A scan
    // passes over a listed page that is not a data page, so a page overwritten with garbage
    // shows only as rows missing from the count the table definition keeps.
    uint32_t leidas = 0;
    const jet::Status st = t->forEachRow([&leidas](const jet::Row&) {
        ++leidas;
        return true;
    });
    if (!st || leidas < t->storedRowCount()) {
        *error = QStringLiteral("la tabla %1 esta dañada: %2")
                     .arg(tabla.qName(), st ? QStringLiteral("se leyeron %1 de sus %2 filas")
                                                  .arg(leidas)
                                                  .arg(t->storedRowCount())
                                            : texto(st.message()));
        return std::nullopt;
    }
    return abierta;
}

}  // namespace

config::Status ConexionSnapshot::abrir(const QString& ruta, bool soloLectura) {
    cerrar();
    QString motivo;
    auto estado = std::make_unique<Estado>();
    estado->ruta = ruta;
    const std::string archivo = QFile::encodeName(ruta).toStdString();
    jet::Result<jet::Database> db = jet::Database::open(archivo);
    if (!db) {
        motivo = texto(db.status().message());
    } else {
        estado->db = std::make_unique<jet::Database>(std::move(db.value()));
        for (const snapshot::Table& tabla : snapshot::tables()) {
            auto abierta = comprobarTabla(*estado->db, tabla, &motivo);
            if (!abierta) break;
            estado->tablas.emplace(&tabla, std::move(*abierta));
        }
    }
    if (motivo.isEmpty() && !soloLectura) {
        auto updater = jet::Updater::open(archivo);
        if (updater)
            estado->updater = std::move(updater.value());
        else
            motivo = texto(updater.status().message());
    }
    if (!motivo.isEmpty())
        return config::Status::failure(
            QStringLiteral("El archivo ") + ruta +
            QStringLiteral(" no es una base de sincronizacion valida: ") + motivo);
    m_estado = std::move(estado);
    return config::Status::ok();
}

bool ConexionSnapshot::isOpen() const { return m_estado != nullptr; }

QString ConexionSnapshot::ruta() const { return m_estado ? m_estado->ruta : QString(); }

bool ConexionSnapshot::recorrer(const snapshot::Table& tabla, const Visita& visita,
                                QString* error) const {
    if (!m_estado) {
        if (error)
            *error = QStringLiteral("La conexion al archivo de sincronizacion no esta abierta");
        return false;
    }
    const TablaAbierta& t = m_estado->tablas.at(&tabla);
    FilaEntrante entrante;
    entrante.fila.resize(tabla.columns.size());
    const jet::Status st = t.jet.forEachRow([&](const jet::Row& row) {
        entrante.id = row.id();
        entrante.marcada = false;
        entrante.columnaInvalida.clear();
        for (size_t i = 0; i < tabla.columns.size(); ++i) {
            const snapshot::Column& c = tabla.columns[i];
            const QVariant crudo = valorLeido(row[static_cast<size_t>(t.posiciones[i])]);
            const std::optional<QVariant> valor = snapshot::valorColumna(c.type, crudo);
            if (!valor && entrante.columnaInvalida.isEmpty()) entrante.columnaInvalida = c.qName();
            entrante.fila[i] = valor ? *valor : crudo;
            if (c.type == ColumnType::Flag) entrante.marcada = valor && valor->toBool();
        }
        return visita(entrante);
    });
    if (st) return true;
    if (error)
        *error = QStringLiteral("No se pudo leer la tabla ") + tabla.qName() +
                 QStringLiteral(": ") + texto(st.message());
    return false;
}

int ConexionSnapshot::filas(const snapshot::Table& tabla) const {
    if (!m_estado) return 0;
    return static_cast<int>(m_estado->tablas.at(&tabla).jet.storedRowCount());
}

bool ConexionSnapshot::marcar(const snapshot::Table& tabla, jet::RowId id, QString* error) {
    if (!m_estado || !m_estado->updater) {
        if (error)
            *error =
                m_estado
                    ? QStringLiteral("El archivo de sincronizacion es de solo lectura")
                    : QStringLiteral("La conexion al archivo de sincronizacion no esta abierta");
        return false;
    }
    const TablaAbierta& t = m_estado->tablas.at(&tabla);
    const jet::Status st =
        m_estado->updater->setBoolean(t.jet.name(), id, snapshot::kFlagColumn, true);
    if (st) return true;
    if (error) *error = texto(st.message());
    return false;
}

bool ConexionSnapshot::guardarMarcas(QString* error) {
    if (!m_estado || !m_estado->updater) return true;
    const jet::Status st = m_estado->updater->flush();
    if (!st && error) *error = texto(st.message());
    return st.isOk();
}

void ConexionSnapshot::cerrar() {
    if (m_estado && m_estado->updater) {
        // The marks are re-done by the next merge if they did not reach the disk.
        const jet::Status st = m_estado->updater->close();
        if (!st)
            config::EscribirLog(QStringLiteral("No se pudieron guardar las marcas de ") +
                                m_estado->ruta + QStringLiteral(": ") + texto(st.message()));
    }
    m_estado.reset();
}

ConexionSnapshot& cnnSnapshot() {
    static ConexionSnapshot cnn;
    return cnn;
}

bool AbrirConexion(const QString& ruta) {
    const QString crLf = QStringLiteral("\r\n");
    if (!QFileInfo(ruta).isFile()) {
        run::console().messageBox(run::BoxIcon::Information, QString(),
                                  QStringLiteral("No se encuentra el archivo mdb: ") + ruta);
        return false;
    }
    const config::Status abierta = cnnSnapshot().abrir(ruta);
    if (abierta) return true;
    config::EscribirLog(QStringLiteral("clsDBAdmin.AbrirBD - Error: ") + abierta.cause());
    run::console().messageBox(run::BoxIcon::None, QString(),
                              QStringLiteral("No se puede conectar a ") + ruta + crLf + crLf +
                                  QStringLiteral(". Se detendra el proceso actual"));
    return false;
}

void CerrarBD(ConexionSnapshot& cnn) { cnn.cerrar(); }

}  // namespace lumaro::importer
