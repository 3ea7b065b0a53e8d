#include "snapshot/MarcasCopia.h"

#include <cstring>
#include <map>
#include <memory>

#include "db/SentenciaPreparada.h"
#include "db/SqliteDirecto.h"
#include "snapshot/PartesFecha.h"

namespace lumaro::snapshot {

namespace {

// Bytes gathered before they are written to the temporary file (and read back at a time).
constexpr qsizetype kBloque = 1 << 16;

qint64 comoNumero(const PartesFecha& p) {
    return ((p.anio * 100LL + p.mes) * 100 + p.dia) * 1000000LL + p.hora * 10000LL +
           p.minuto * 100 + p.segundo;
}

PartesFecha comoPartes(qint64 n) {
    const qint64 fecha = n / 1000000;
    const qint64 hora = n % 1000000;
    PartesFecha p;
    p.anio = static_cast<int>(fecha / 10000);
    p.mes = static_cast<int>(fecha / 100 % 100);
    p.dia = static_cast<int>(fecha % 100);
    p.hora = static_cast<int>(hora / 10000);
    p.minuto = static_cast<int>(hora / 100 % 100);
    p.segundo = static_cast<int>(hora % 100);
    return p;
}

// The copied date and the second after it: the stored value may carry a fraction.
void rangoFecha(qint64 numero, char* desde, char* hasta) {
    const PartesFecha p = comoPartes(numero);
    escribirFecha(p, desde, false);
    escribirFecha(partesFecha(fechaDeFila(p).addSecs(1)), hasta, false);
}

// The value itself when the variant holds a T (as Fila.h has it), without a conversion.
template <class T>
const T* comoTipo(const QVariant& v) {
    return v.metaType() == QMetaType::fromType<T>() ? static_cast<const T*>(v.constData())
                                                    : nullptr;
}

template <class T>
void agregarCrudo(QByteArray& b, const T& v) {
    b.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

QString sentenciaMarcasEnConjunto(const Table& table, const QString& seleccion) {
    QString sql = QStringLiteral("UPDATE ") + table.qName() +
                  QStringLiteral(" SET bFlagSincro=1 WHERE (") + seleccion + u')';
    for (const Column& c : table.columns)
        if (esNumeroTarjeta(c))
            sql += QStringLiteral(" and (%1 is null or instr(%1, '''')=0)").arg(c.qName());
    return sql;
}

MarcasCopia::MarcasCopia(const Table& table, const db::Connection& cnn)
    : m_table(table), m_cambiosAntes(db::cambiosDeConexion(cnn)) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        const bool fechaDeCambio =
            table.hasChangeDate() && c.qName() == QString::fromUtf8(table.changeDate);
        if (!c.key && !fechaDeCambio) continue;
        m_columnas.push_back(static_cast<int>(i));
    }
}

void MarcasCopia::agregar(const Fila& fila) {
    for (int i : m_columnas) {
        const QVariant& v = fila[static_cast<std::size_t>(i)];
        const Column& c = m_table.columns[static_cast<std::size_t>(i)];
        if (c.isText()) {
            // A null text, whatever holds it, names the row by "is null".
            const QString texto = v.isNull() ? QString() : v.toString();
            m_pendiente.append(texto.isNull() ? '\1' : '\0');
            if (texto.isNull()) continue;
            const QByteArray utf8 = texto.toUtf8();
            agregarCrudo(m_pendiente, static_cast<qint32>(utf8.size()));
            m_pendiente.append(utf8);
            continue;
        }
        // A number or a date as Fila.h holds it is never null: read in place.
        const QDateTime* fecha = comoTipo<QDateTime>(v);
        const qlonglong* numero = comoTipo<qlonglong>(v);
        const bool nulo = (fecha == nullptr || fecha->isNull()) && numero == nullptr && v.isNull();
        m_pendiente.append(nulo ? '\1' : '\0');
        if (nulo) continue;
        if (c.type == ColumnType::DateTime)
            agregarCrudo(m_pendiente, comoNumero(partesFecha(fecha ? *fecha : v.toDateTime())));
        else
            agregarCrudo(m_pendiente, static_cast<qint64>(numero ? *numero : v.toLongLong()));
    }
    ++m_filas;
    if (m_pendiente.size() >= kBloque) volcar();
}

void MarcasCopia::volcar() {
    if (!m_archivo.isOpen()) m_archivo.open();
    m_archivo.write(m_pendiente);
    m_pendiente.clear();
}

bool MarcasCopia::leerBytes(char* destino, qsizetype n) const {
    while (n > 0) {
        if (m_posLectura == m_lectura.size()) {
            // The file's blocks first, then what was never spilled.
            m_lectura =
                m_archivo.isOpen() && !m_enPendiente ? m_archivo.read(kBloque) : QByteArray();
            if (m_lectura.isEmpty() && !m_enPendiente) {
                m_enPendiente = true;
                m_lectura = m_pendiente;
            }
            m_posLectura = 0;
            if (m_lectura.isEmpty()) return false;
        }
        const qsizetype parte = std::min(n, m_lectura.size() - m_posLectura);
        std::memcpy(destino, m_lectura.constData() + m_posLectura, static_cast<size_t>(parte));
        m_posLectura += parte;
        destino += parte;
        n -= parte;
    }
    return true;
}

bool MarcasCopia::leerFila(std::vector<Valor>& out) const {
    out.resize(m_columnas.size());
    for (std::size_t k = 0; k < m_columnas.size(); ++k) {
        const Column& c = m_table.columns[static_cast<std::size_t>(m_columnas[k])];
        Valor& v = out[k];
        char nulo = 0;
        if (!leerBytes(&nulo, 1)) return false;
        v.nulo = nulo != 0;
        v.texto = c.isText();
        if (v.nulo) continue;
        if (v.texto) {
            qint32 largo = 0;
            if (!leerBytes(reinterpret_cast<char*>(&largo), sizeof largo)) return false;
            v.utf8.resize(largo);
            if (!leerBytes(v.utf8.data(), largo)) return false;
        } else if (!leerBytes(reinterpret_cast<char*>(&v.numero), sizeof v.numero)) {
            return false;
        }
    }
    return true;
}

QString MarcasCopia::sentencia(unsigned nulos) const {
    QStringList partes;
    for (std::size_t k = 0; k < m_columnas.size(); ++k) {
        const Column& c = m_table.columns[static_cast<std::size_t>(m_columnas[k])];
        const QString nombre = c.qName();
        if (nulos & (1u << k))
            partes << nombre + QStringLiteral(" is null");
        else if (c.type == ColumnType::DateTime)
            partes << nombre + QStringLiteral(">=? and ") + nombre + QStringLiteral("<?");
        else
            partes << nombre + QStringLiteral("=?");
    }
    return QStringLiteral("UPDATE ") + m_table.qName() +
           QStringLiteral(" SET bFlagSincro=1 WHERE ") + partes.join(QStringLiteral(" and "));
}

bool MarcasCopia::aplicar(db::Connection& cnn, const QString& seleccion, QString* error) const {
    if (m_filas == 0) return true;
    bool hecho = false;
    if (m_cambiosAntes >= 0 && db::cambiosDeConexion(cnn) == m_cambiosAntes &&
        !marcarEnConjunto(cnn, seleccion, hecho, error))
        return false;
    return hecho || marcarUnaAUna(cnn, error);
}

bool MarcasCopia::marcarEnConjunto(db::Connection& cnn, const QString& seleccion, bool& hecho,
                                   QString* error) const {
    const auto ejecutar = [&](const QString& sql, int* filas = nullptr) {
        db::SentenciaPreparada s;
        if (s.preparar(cnn, sql) && s.ejecutar()) {
            if (filas) *filas = s.filasAfectadas();
            return true;
        }
        if (error) *error = s.errorText();
        return false;
    };
    int filas = -1;
    if (!ejecutar(QStringLiteral("SAVEPOINT marcas_copia")) ||
        !ejecutar(sentenciaMarcasEnConjunto(m_table, seleccion), &filas))
        return false;
    hecho = filas >= 0 && static_cast<std::size_t>(filas) == m_filas;
    if (!hecho && !ejecutar(QStringLiteral("ROLLBACK TO marcas_copia"))) return false;
    return ejecutar(QStringLiteral("RELEASE marcas_copia"));
}

bool MarcasCopia::marcarUnaAUna(db::Connection& cnn, QString* error) const {
    m_lectura.clear();
    m_posLectura = 0;
    m_enPendiente = false;
    if (m_archivo.isOpen() && !(m_archivo.flush() && m_archivo.seek(0))) return falloLectura(error);
    // One prepared statement per pattern of null values (a null needs "is null").
    std::map<unsigned, std::unique_ptr<db::SentenciaPreparada>> sentencias;
    std::vector<Valor> fila;
    char desde[19], hasta[19];
    for (std::size_t f = 0; f < m_filas; ++f) {
        if (!leerFila(fila)) return falloLectura(error);
        auto& s = sentencias[nulos(fila)];
        if (!s) {
            s = std::make_unique<db::SentenciaPreparada>();
            if (!s->preparar(cnn, sentencia(nulos(fila)))) {
                if (error) *error = s->errorText();
                return false;
            }
        }
        int marca = 0;
        bool ok = true;
        for (std::size_t k = 0; k < fila.size() && ok; ++k) {
            const Valor& v = fila[k];
            if (v.nulo) continue;
            if (v.texto) {
                ok = s->enlazarTexto(marca++, v.utf8.constData(), static_cast<int>(v.utf8.size()));
            } else if (esFecha(k)) {
                rangoFecha(v.numero, desde, hasta);
                ok = s->enlazarTexto(marca++, desde, 19) && s->enlazarTexto(marca++, hasta, 19);
            } else {
                ok = s->enlazarEntero(marca++, v.numero);
            }
        }
        if (!ok || !s->ejecutar()) {
            if (error) *error = s->errorText();
            return false;
        }
    }
    return true;
}

bool MarcasCopia::falloLectura(QString* error) const {
    if (error)
        *error = QStringLiteral("No se pudo leer el archivo temporal de marcas: ") +
                 m_archivo.errorString();
    return false;
}

unsigned MarcasCopia::nulos(const std::vector<Valor>& fila) {
    unsigned n = 0;
    for (std::size_t k = 0; k < fila.size(); ++k)
        if (fila[k].nulo) n |= 1u << k;
    return n;
}

bool MarcasCopia::esFecha(std::size_t k) const {
    return m_table.columns[static_cast<std::size_t>(m_columnas[k])].type == ColumnType::DateTime;
}

}  // namespace lumaro::snapshot
