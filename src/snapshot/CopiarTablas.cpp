#include "snapshot/CopiarTablas.h"

#include <QFileInfo>
#include <memory>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/Cursor.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "jet/Writer.h"
#include "run/Console.h"
#include "snapshot/CrearBDTemp.h"
#include "snapshot/InsercionParalela.h"
#include "snapshot/MarcasCopia.h"
#include "snapshot/PlanCopia.h"
#include "snapshot/ValoresCopia.h"

namespace lumaro::snapshot {

using config::EscribirLog;
using run::console;

namespace {

// Rows between two chances for the window to process its events.
constexpr int kFilasEntreEventos = 2000;

db::Connection& origen(const Table& t) {
    return t.database == Database::Cliente ? db::cnnCliente() : db::cnnLogistica();
}

struct FalloCopia {
    QString descripcion;
};

class Copia {
public:
    Copia(const QString& nombre, const std::vector<SalidaCopia*>& salidas)
        : m_nombre(nombre), m_salidas(salidas) {
        m_dia = diaDeSnapshot(nombre);
        if (!m_dia.isValid()) m_dia = config::Clock::today();
    }

    std::optional<FilasPorTabla> ejecutar() {
        for (SalidaCopia* s : m_salidas)
            if (!s->preparar(m_nombre)) return std::nullopt;
        const QString ruta = rutaEnCarpetaSnapshots(m_nombre);
        std::optional<FalloCopia> fallo;
        if (!QFileInfo(ruta).isFile())
            fallo = FalloCopia{QStringLiteral("No existe la MDB del dia ") + ruta};
        else if (!db::cnnCliente().beginTransaction())
            fallo = FalloCopia{db::cnnCliente().lastError()};
        else if (!db::cnnLogistica().beginTransaction())
            fallo = FalloCopia{db::cnnLogistica().lastError()};
        else
            fallo = copiar(ruta);
        if (fallo) {
            fracaso(*fallo);
            return std::nullopt;
        }

        console().notice(QStringLiteral("Los Datos se pasaron correctamente"),
                         QStringLiteral("Estado de Procesos"), 3000);
        EscribirLog(QStringLiteral("Copia de Datos Satisfactoria"));
        for (SalidaCopia* s : m_salidas) s->fin(true);
        return m_filas;
    }

private:
    std::optional<FalloCopia> copiar(const QString& ruta) {
        auto writer = jet::Writer::create(ruta.toStdString());
        if (!writer) return FalloCopia{QString::fromStdString(writer.status().message())};
        m_writer = std::move(writer.value());
        std::vector<jet::Writer::TableHandle> handles;
        for (const Table& t : tables()) {
            const auto h = m_writer->createTable(jetTableDef(t));
            if (!h) return FalloCopia{QString::fromStdString(h.status().message())};
            handles.push_back(h.value());
        }
        std::size_t i = 0;
        for (const Table& t : tables())
            if (auto fallo = copiarTabla(t, handles[i++])) return fallo;

        // The snapshot first: should a production commit fail after it, the rows are sent
        // twice, which the receiving stores absorb; the other way round they would be lost.
        if (const jet::Status s = m_writer->commit(); !s.isOk())
            return FalloCopia{QString::fromStdString(s.message())};
        m_writer.reset();
        if (!db::cnnCliente().commitTransaction()) return FalloCopia{db::cnnCliente().lastError()};
        if (!db::cnnLogistica().commitTransaction())
            return FalloCopia{db::cnnLogistica().lastError()};
        return std::nullopt;
    }

    std::optional<FalloCopia> copiarTabla(const Table& t, jet::Writer::TableHandle handle) {
        EscribirLog(QStringLiteral("Preparando Tabla para BD Temp: ") + t.qName());
        if (auto fallo = avisar(t)) return fallo;

        MarcasCopia marcas(t, origen(t));
        db::Cursor cursor;
        if (!cursor.open(origen(t), sentenciaSeleccion(t, m_dia)))
            return FalloCopia{cursor.errorText()};
        // Selected columns in the data model's order, the flag left out.
        std::vector<int> posiciones;
        for (const Column& c : t.columns)
            posiciones.push_back(c.type == ColumnType::Flag ? -1 : cursor.fieldIndex(c.qName()));

        std::vector<bool> vip, tarjeta;
        for (const Column& c : t.columns) {
            vip.push_back(esColumnaVip(c));
            tarjeta.push_back(esNumeroTarjeta(c));
        }

        InsercionParalela insercion(*m_writer, handle, t.columns.size());
        db::ValorCrudo crudo;
        int desdeEventos = 0;
        qint64 copiadas = 0;
        while (cursor.next()) {
            InsercionParalela::Ranura* ranura = insercion.actual();
            if (ranura == nullptr) break;  // the snapshot refused a row: named below
            Fila& fila = ranura->fila;
            std::vector<jet::Value>& valores = ranura->valores;
            QString motivo;
            for (std::size_t c = 0; c < t.columns.size(); ++c) {
                const Column& col = t.columns[c];
                if (posiciones[c] >= 0 && cursor.crudo(posiciones[c], crudo) &&
                    valoresDirectos(col, vip[c], crudo, fila[c], valores[c]))
                    continue;
                const QVariant leido =
                    posiciones[c] < 0 ? QVariant(false) : cursor.value(posiciones[c]);
                const auto v = valorColumna(col.type, leido);
                if (!v && motivo.isEmpty())
                    motivo = QStringLiteral("valor no valido en ") + col.qName();
                fila[c] = v ? *v : leido;
                if (v) valores[c] = valorSnapshot(col, vip[c], fila[c]);
            }
            if (!motivo.isEmpty()) {
                // A row refused before it is named first.
                if (const auto fallo = insercion.terminar())
                    return filaRechazada(t, *fallo->fila, fallo->mensaje);
                return filaRechazada(t, fila, motivo);
            }
            if (claveConComilla(t, tarjeta, fila)) continue;
            insercion.entregar();
            marcas.agregar(fila);
            ++copiadas;
            for (SalidaCopia* s : m_salidas) s->fila(t, fila);
            if (++desdeEventos == kFilasEntreEventos) {
                desdeEventos = 0;
                console().processEvents();
            }
        }
        if (const auto fallo = insercion.terminar())
            return filaRechazada(t, *fallo->fila, fallo->mensaje);
        if (cursor.failed()) return FalloCopia{cursor.errorText()};
        cursor.close();
        if (copiadas > 0) m_filas[t.qName()] += copiadas;

        QString error;
        if (!marcas.aplicar(origen(t), condicionSeleccion(t, m_dia), &error))
            return FalloCopia{error};
        for (SalidaCopia* s : m_salidas) s->finTabla(t);
        EscribirLog(QStringLiteral("Preparada"));
        return std::nullopt;
    }

    // Rows changed on the snapshot's day whose flag already says sent: listed in one entry.
    std::optional<FalloCopia> avisar(const Table& t) {
        const QString sql = sentenciaAviso(t, m_dia);
        if (sql.isEmpty()) return std::nullopt;
        db::Recordset rs;
        QString error;
        if (!db::dbAdmin().EjecutarConsulta(origen(t), sql, rs, true, 1, error))
            return FalloCopia{error};
        if (rs.recordCount() == 0) return std::nullopt;
        const PlanCopia& plan = planCopia(t);
        const QString salto = QStringLiteral("\r\n");
        QString texto = salto + salto + QString::fromUtf8(plan.avisoLinea) + salto +
                        QString::fromUtf8(plan.avisoSegunda) + salto;
        for (; !rs.eof(); rs.moveNext())
            texto += QString::fromUtf8(plan.etiqueta) + rs.value(0).toString() +
                     QStringLiteral("] Local[") + rs.value(1).toString() + u']' + salto;
        EscribirLog(texto);
        return std::nullopt;
    }

    // A card number with a quote cannot travel (see esNumeroTarjeta): the row is left unsent
    // for the operator. tarjeta: which columns hold a card number.
    bool claveConComilla(const Table& t, const std::vector<bool>& tarjeta, const Fila& fila) {
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            if (!tarjeta[c] || fila[c].isNull()) continue;
            if (!fila[c].toString().contains(u'\'')) continue;
            const QString texto = QStringLiteral("No se copia la fila ") + describirClave(t, fila) +
                                  QStringLiteral(": su clave tiene una comilla.");
            EscribirLog(QStringLiteral("Util.CopiarTablas: ") + texto);
            console().addProblem(config::marcaTiempo() + QStringLiteral(" - ") + texto);
            return true;
        }
        return false;
    }

    FalloCopia filaRechazada(const Table& t, const Fila& fila, const QString& motivo) {
        const QString texto = QStringLiteral("No se pudo copiar la fila ") +
                              describirClave(t, fila) + QStringLiteral(": ") + motivo;
        console().addProblem(config::marcaTiempo() + QStringLiteral(" - ") + texto);
        return FalloCopia{texto};
    }

    void fracaso(const FalloCopia& fallo) {
        m_writer.reset();  // the file keeps its ten empty tables
        db::cnnCliente().rollbackTransaction();
        db::cnnLogistica().rollbackTransaction();
        EscribirLog(QStringLiteral("Util.CopiarTablas: 0-") + fallo.descripcion);
        if (!fallo.descripcion.isEmpty())
            console().messageBox(run::BoxIcon::None, QString(), fallo.descripcion);
        for (SalidaCopia* s : m_salidas) s->fin(false);
    }

    QString m_nombre;
    const std::vector<SalidaCopia*>& m_salidas;
    QDate m_dia;
    std::unique_ptr<jet::Writer> m_writer;
    FilasPorTabla m_filas;
};

}  // namespace

std::optional<FilasPorTabla> CopiarTablas(const QString& nombre,
                                          const std::vector<SalidaCopia*>& salidas) {
    return Copia(nombre, salidas).ejecutar();
}

}  // namespace lumaro::snapshot
