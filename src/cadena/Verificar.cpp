#include "cadena/Verificar.h"

#include <QHash>
#include <map>
#include <vector>

#include "cadena/Espejo.h"
#include "cadena/EstadoEsperado.h"
#include "cadena/Informe.h"
#include "cadena/LecturaFilas.h"
#include "cadena/Tienda.h"
#include "db/clsDBAdmin.h"

namespace lumaro::cadena {

namespace {

using snapshot::Fila;
using snapshot::Table;

class Cadena {
public:
    Cadena(std::vector<Tienda> tiendas, QTextStream& out)
        : m_tiendas(std::move(tiendas)), m_informe(out), m_out(out), m_ecos(m_tiendas.size()) {
        for (size_t i = 0; i < m_tiendas.size(); ++i)
            m_indice.insert(m_tiendas[i].id, static_cast<int>(i));
    }

    // Folds every store's sent snapshots into the expected state.
    bool plegar(QString* error) {
        for (size_t o = 0; o < m_tiendas.size(); ++o) {
            const qlonglong id = m_tiendas[o].id;
            for (const QString& ruta : m_tiendas[o].snapshots)
                if (!leerSnapshot(
                        ruta,
                        [&](const Table& t, Fila& f) {
                            normalizar(t, f);
                            if (duenioDeFila(t, f) == id)
                                m_estado.aplicar(t, f, static_cast<int>(o));
                            else
                                ++m_ecos[o];
                        },
                        error))
                    return false;
        }
        return true;
    }

    // Compares each store's production with the rows of the other stores.
    bool comparar(QString* error) {
        for (size_t s = 0; s < m_tiendas.size(); ++s) {
            const Tienda& t = m_tiendas[s];
            m_out << "tienda " << t.id << " (" << t.carpeta << "): " << t.snapshots.size()
                  << " snapshots enviados\n";
            if (!t.ajenos.isEmpty())
                m_out << "  nota: MDB_enviadas tiene " << t.ajenos.size()
                      << " archivos que no son snapshots de este local: " << t.ajenos.join(u' ')
                      << '\n';
            db::Connection cliente, logistica;
            if (!abrirProduccion(cliente, t.cliente, error) ||
                !abrirProduccion(logistica, t.logistica, error))
                return false;
            for (const Table& tabla : snapshot::tables())
                if (!compararTabla(
                        static_cast<int>(s),
                        tabla.database == snapshot::Database::Cliente ? cliente : logistica, tabla,
                        error))
                    return false;
        }
        for (size_t o = 0; o < m_tiendas.size(); ++o)
            if (m_ecos[o] > 0)
                m_out << "nota: los snapshots del local " << m_tiendas[o].id << " llevan "
                      << m_ecos[o]
                      << " filas de otros locales (ecos de filas fusionadas); no se comparan\n";
        return true;
    }

    qlonglong diferencias() const { return m_informe.diferencias(); }
    qlonglong comparadas() const { return m_comparadas; }
    Informe& informe() { return m_informe; }

private:
    bool compararTabla(int s, db::Connection& cnn, const Table& tabla, QString* error) {
        const Tienda& t = m_tiendas[static_cast<size_t>(s)];
        QHash<QString, FilaEsperada>& esperadas = m_estado.filas(tabla);
        std::map<std::optional<qlonglong>, qlonglong> porDuenio;
        m_informe.grupo(QStringLiteral("tienda %1, %2").arg(t.id).arg(tabla.qName()));
        const bool ok = leerProduccion(
            cnn, tabla,
            [&](const Table&, Fila& f) {
                normalizar(tabla, f);
                const std::optional<qlonglong> duenio = duenioDeFila(tabla, f);
                ++porDuenio[duenio];
                const int o = duenio ? m_indice.value(*duenio, -1) : -1;
                if (o < 0 || o == s) return;
                ++m_comparadas;
                const auto it = esperadas.find(textoClave(tabla, f));
                if (it == esperadas.end()) return m_informe.sobra(tabla, f);
                it->vistaPor = s;
                m_informe.comparar(tabla, it->fila, f);
            },
            error);
        if (!ok) {
            *error = t.carpeta + QStringLiteral(": ") + *error;
            return false;
        }
        for (const FilaEsperada& e : std::as_const(esperadas))
            if (e.duenio != s && e.vistaPor != s) {
                ++m_comparadas;
                m_informe.falta(tabla, e.fila);
            }
        m_informe.cerrarGrupo();
        m_out << "  " << tabla.qName() << ':';
        for (const auto& [duenio, n] : porDuenio)
            m_out << ' ' << (duenio ? QString::number(*duenio) : QStringLiteral("NULL")) << '='
                  << n;
        m_out << '\n';
        return true;
    }

    std::vector<Tienda> m_tiendas;
    QHash<qlonglong, int> m_indice;
    EstadoEsperado m_estado;
    Informe m_informe;
    QTextStream& m_out;
    std::vector<qlonglong> m_ecos;
    qlonglong m_comparadas = 0;
};

// The principal store: the one named, else the one whose client database says so.
const Tienda* elegirPrincipal(const Opciones& o, const std::vector<Tienda>& tiendas,
                              Tienda& nombrada, QString* error) {
    if (!o.principal.isEmpty())
        return leerTienda(o.principal, nombrada, error) ? &nombrada : nullptr;
    for (const Tienda& t : tiendas)
        if (t.principal) return &t;
    *error = QStringLiteral("ningun local es el principal (Local 1 activo); use --principal");
    return nullptr;
}

}  // namespace

int verificar(const Opciones& o, QTextStream& out, QTextStream& err) {
    QString error;
    const auto mala = [&] {
        err << "lumaro-cadena: " << error << '\n';
        err.flush();
        return kEntradaMala;
    };
    std::optional<DatosEspejo> espejo;
    if (!o.espejo.isEmpty() && !(espejo = leerDatosEspejo(o.espejo))) {
        error = QStringLiteral("--espejo debe ser HOST:PUERTO:USUARIO:CLAVE:BASE");
        return mala();
    }
    std::vector<Tienda> tiendas(static_cast<size_t>(o.carpetas.size()));
    QHash<qlonglong, QString> vistos;
    for (qsizetype i = 0; i < o.carpetas.size(); ++i) {
        Tienda& t = tiendas[static_cast<size_t>(i)];
        if (!leerTienda(o.carpetas[i], t, &error)) return mala();
        if (vistos.contains(t.id)) {
            error = QStringLiteral("%1 y %2 son el mismo local %3")
                        .arg(vistos.value(t.id), t.carpeta)
                        .arg(t.id);
            return mala();
        }
        vistos.insert(t.id, t.carpeta);
    }
    Tienda nombrada;
    const Tienda* principal = nullptr;
    if (espejo && !(principal = elegirPrincipal(o, tiendas, nombrada, &error))) return mala();
    const qlonglong nTiendas = static_cast<qlonglong>(tiendas.size());
    Cadena cadena(std::move(tiendas), out);
    if (!cadena.plegar(&error) || !cadena.comparar(&error)) return mala();
    const qlonglong difCadena = cadena.diferencias();
    if (difCadena == 0)
        out << "veredicto: la cadena converge (" << nTiendas << " tiendas, " << cadena.comparadas()
            << " filas comparadas)\n";
    else
        out << "veredicto: la cadena NO converge (" << difCadena << " diferencias)\n";
    const Informe::Cuentas soloCadena = cadena.informe().cuentas();
    cadena.informe().totales(QStringLiteral("cadena"), Informe::Cuentas());
    qlonglong difEspejo = 0;
    if (espejo) {
        qlonglong filas = 0;
        if (!verificarEspejo(*espejo, *principal, cadena.informe(), filas, &error)) return mala();
        difEspejo = cadena.diferencias() - difCadena;
        if (difEspejo == 0)
            out << "veredicto espejo: el espejo coincide con el local principal (" << filas
                << " filas)\n";
        else
            out << "veredicto espejo: el espejo NO coincide (" << difEspejo << " diferencias)\n";
        cadena.informe().totales(QStringLiteral("espejo"), soloCadena);
    }
    out.flush();
    return difCadena == 0 && difEspejo == 0 ? kCoincide : kNoCoincide;
}

}  // namespace lumaro::cadena
