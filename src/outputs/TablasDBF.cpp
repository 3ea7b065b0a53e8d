#include "outputs/TablasDBF.h"

#include <shapefil.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/Settings.h"
#include "outputs/GanchosDBF.h"
#include "run/Console.h"

namespace lumaro::outputs {

namespace {

QString errorDelSistema(int numero) {
    return QString::fromStdString(std::error_code(numero, std::generic_category()).message());
}

// The Windows-1252 byte of one UTF-16 unit; '?' for anything outside the code page.
char byteCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    // 0x80..0x9F, taken once from the program's own code page table.
    static const std::array<char16_t, 32> altos = [] {
        std::array<char16_t, 32> a{};
        for (int b = 0; b < 32; ++b)
            a[b] = config::fromCp1252(QByteArray(1, static_cast<char>(0x80 + b))).at(0).unicode();
        return a;
    }();
    for (size_t b = 0; b < altos.size(); ++b)
        if (altos[b] == c) return static_cast<char>(0x80 + b);
    return '?';
}

// Writes the text into a blank field of `ancho` bytes, cut to fit; one '?' for a character
// outside Windows-1252, surrogate pairs included.
void escribirTexto(char* campo, int ancho, QStringView valor) {
    int n = 0;
    for (qsizetype k = 0; k < valor.size() && n < ancho; ++k) {
        const char16_t c = valor[k].unicode();
        if (QChar::isHighSurrogate(c) && k + 1 < valor.size() &&
            QChar::isLowSurrogate(valor[k + 1].unicode()))
            ++k;
        campo[n++] = byteCp1252(c);
    }
}

// A whole number: optional sign, then digits.
bool esEntero(QStringView v) {
    if (!v.empty() && (v.front() == QLatin1Char('-') || v.front() == QLatin1Char('+')))
        v = v.mid(1);
    if (v.empty()) return false;
    for (const QChar c : v)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

}  // namespace

struct TablasDBF::Archivo {
    DBFHandle handle = nullptr;
};

TablasDBF::TablasDBF() = default;

TablasDBF::~TablasDBF() { cerrar(); }

bool TablasDBF::leerOrigenDestino() {
    m_origen = config::Inicio::leer().rtDbf;
    m_destinoConfigurado = m_origen;
    if (!m_origen.isEmpty() && !m_destinoConfigurado.isEmpty()) return true;
    config::EscribirLog(
        QStringLiteral("TablasDBF.leerOrigenDestino: Problemas de Configuración de CFG para "
                       "envio FTP. Causas posibles: Falta establecer Rutas de Origen y Destino "
                       "para envio FTP o No existe el Archivo: ") +
        QDir::toNativeSeparators(
            config::programPath(config::executableBaseName() + QStringLiteral(".CFG"))));
    return false;
}

bool TablasDBF::syncTM(const QString& sRutaDestDBF, const QString& sParamTipTabla,
                       const QString& sNombreFileTemp) {
    cerrar();
    m_destino = sRutaDestDBF;
    if (m_destino.isEmpty()) {
        run::console().messageBox(run::BoxIcon::Critical, QString(),
                                  QStringLiteral("No Ingreso Ruta destino de las DBF a Genererar"));
        return false;
    }
    if (!leerOrigenDestino()) return false;
    m_tipo = sParamTipTabla;
    m_nombreTabla = nombreDBF(sNombreFileTemp, m_tipo);
    if (!crearDBF()) return false;
    config::EscribirLog(QStringLiteral("Se Generó DBF Tabla Maestra ") + m_nombreTabla +
                        QStringLiteral(" sin problemas"));
    return true;
}

bool TablasDBF::crearDBF() {
    m_columnas = columnasDBF(m_tipo);
    m_tabla = tablaDBF(m_tipo);
    if (m_columnas == nullptr || m_tabla == nullptr ||
        m_tabla->columns.size() != m_columnas->size()) {
        config::EscribirLog(QStringLiteral("TablasDBF.estructuraDBF - Error: Tipo de tabla "
                                           "desconocido: ") +
                            m_tipo);
        return false;
    }
    m_ruta = QDir(m_destino).filePath(m_nombreTabla);
    const QString nativa = QDir::toNativeSeparators(m_ruta);
    // The only file of this name in the snapshot folder is this store's own file of the same
    // day not yet sent (sent files are moved away): a fresh run replaces it, never adds to it.
    if (QFileInfo::exists(m_ruta)) {
        config::EscribirLog(QStringLiteral("TablasDBF.crearDBF - Se reemplaza el DBF no "
                                           "enviado del mismo día: ") +
                            nativa);
        if (!QFile::remove(m_ruta)) {
            config::EscribirLog(QStringLiteral("TablasDBF.crearDBF - Error: No se pudo borrar ") +
                                nativa);
            return false;
        }
    }
    SAHooks hooks = ganchosDBF();
    limpiarErrorDBF();
    errno = 0;
    DBFHandle h = DBFCreateLL(m_ruta.toUtf8().constData(), kCodigoPagina, &hooks);
    if (h == nullptr) {
        const QString causa =
            ultimoErrorDBF().isEmpty() ? errorDelSistema(errno) : ultimoErrorDBF();
        config::EscribirLog(QStringLiteral("TablasDBF.crearDBF - Error: ") + causa + " - " +
                            nativa);
        return false;
    }
    m_archivo = std::make_unique<Archivo>();
    m_archivo->handle = h;
    m_desplazamientos.clear();
    int largo = 1;  // the deletion mark
    for (const ColumnaDBF& c : *m_columnas) {
        if (DBFAddNativeFieldType(h, c.nombre, c.campo, c.ancho, 0) < 0) {
            config::EscribirLog(QStringLiteral("TablasDBF.estructuraDBF - Error: ") +
                                ultimoErrorDBF() + " - " + QLatin1StringView(c.nombre));
            cerrar();
            QFile::remove(m_ruta);
            return false;
        }
        m_desplazamientos.push_back(largo);
        largo += c.ancho;
    }
    m_registro = QByteArray(largo, ' ');
    m_registros = 0;
    const QDate hoy = config::Clock::today();
    DBFSetLastModifiedDate(h, hoy.year() - 1900, hoy.month(), hoy.day());
    // The end-of-file mark is written once, when the file is completed (cerrar), not after
    // every record.
    DBFSetWriteEndOfFileChar(h, 0);
    DBFUpdateHeader(h);
    return true;
}

bool TablasDBF::setRegistro(const QStringList& aParams) {
    if (!m_archivo) return false;
    const auto& columnas = *m_columnas;
    if (aParams.size() != static_cast<qsizetype>(columnas.size())) {
        logFallo(
            aParams,
            QStringLiteral("%1 valores para %2 columnas").arg(aParams.size()).arg(columnas.size()));
        return false;
    }
    empezarRegistro();
    for (int i = 0; i < static_cast<int>(columnas.size()); ++i) {
        const QString& e = aParams.at(i);
        const QString causa =
            e.isEmpty()
                ? QStringLiteral("elemento vacío en %1").arg(QLatin1StringView(columnas[i].nombre))
                : escribirCampo(i, e.front(), QStringView(e).mid(1));
        if (!causa.isEmpty()) {
            logFallo(aParams, causa);
            return false;
        }
    }
    if (!escribirTupla()) {
        logFallo(aParams, causaEscritura());
        return false;
    }
    return true;
}

void TablasDBF::empezarRegistro() {
    std::memset(m_registro.data(), ' ', static_cast<size_t>(m_registro.size()));
}

bool TablasDBF::elemento(int i, QChar codigo, QStringView valor) {
    return escribirCampo(i, codigo, valor).isEmpty();
}

// The record goes out as it is through the file's own hooks, at the place shapelib would put
// it: shapelib's DBFWriteTuple would first blank its own copy of the record byte by byte and
// hold it until the next record. The record count reaches the header in cerrar.
bool TablasDBF::escribirTupla() {
    DBFHandle h = m_archivo->handle;
    const SAOffset lugar =
        static_cast<SAOffset>(h->nHeaderLength) +
        static_cast<SAOffset>(h->nRecordLength) * static_cast<SAOffset>(m_registros);
    if (h->sHooks.FSeek(h->fp, lugar, SEEK_SET) != 0 ||
        h->sHooks.FWrite(m_registro.data(), static_cast<SAOffset>(h->nRecordLength), 1, h->fp) !=
            1) {
        const QByteArray mensaje =
            QStringLiteral("Failure writing DBF record %1.").arg(m_registros).toUtf8();
        h->sHooks.Error(mensaje.constData());
        return false;
    }
    ++m_registros;
    return true;
}

QString TablasDBF::causaEscritura() const {
    return QStringLiteral("no se pudo escribir el registro ") + ultimoErrorDBF();
}

QString TablasDBF::escribirCampo(int i, QChar codigo, QStringView valor) {
    const ColumnaDBF& c = (*m_columnas)[i];
    char* campo = m_registro.data() + m_desplazamientos[i];
    switch (codigo.unicode()) {
        case 'N':
        case 'C':
            break;
        case 'D':
            if (valor.trimmed().isEmpty()) valor = QStringView();
            break;
        case 'B':
            valor = valor.left(1);
            break;
        default:
            return QStringLiteral("código de tipo desconocido '%1' en %2")
                .arg(codigo)
                .arg(QLatin1StringView(c.nombre));
    }
    switch (c.campo) {
        case 'C':
            escribirTexto(campo, c.ancho, valor);
            return QString();
        case 'L':
            if (valor.isEmpty()) {
                *campo = '?';
            } else if (QStringLiteral("1TtYyS").contains(valor.front())) {
                *campo = 'T';
            } else if (QStringLiteral("0FfNn").contains(valor.front())) {
                *campo = 'F';
            } else {
                break;
            }
            return QString();
        default: {  // 'N'
            valor = valor.trimmed();
            if (valor.isEmpty()) return QString();  // blanks: null
            if (!esEntero(valor) || valor.size() > c.ancho) break;
            char* p = campo + (c.ancho - valor.size());
            for (const QChar ch : valor) *p++ = static_cast<char>(ch.unicode());
            return QString();
        }
    }
    return QStringLiteral("valor no válido en %1: %2")
        .arg(QLatin1StringView(c.nombre), valor.toString());
}

void TablasDBF::logFallo(const QStringList& aParams, const QString& causa) const {
    QString clave;
    for (size_t i = 0; i < m_tabla->columns.size(); ++i) {
        if (!m_tabla->columns[i].key) continue;
        const QString valor = i < static_cast<size_t>(aParams.size())
                                  ? aParams.at(static_cast<qsizetype>(i)).mid(1)
                                  : QString();
        clave += QLatin1Char(' ') + m_tabla->columns[i].qName() + QLatin1Char('=') + valor;
    }
    config::EscribirLog(QStringLiteral("TablasDBF.setRegistro - Error: ") + causa +
                        QStringLiteral(" - Tabla ") + m_tabla->qName() + QStringLiteral(" (") +
                        m_nombreTabla + QLatin1Char(')') + clave);
}

void TablasDBF::cerrar() {
    if (!m_archivo) return;
    DBFHandle h = m_archivo->handle;
    limpiarErrorDBF();
    if (m_registros > 0) {
        // What shapelib does after its last record: the end-of-file mark, and the record count
        // and date written into the header as it closes.
        char fin = 0x1A;
        h->sHooks.FWrite(&fin, 1, 1, h->fp);
        h->nRecords = m_registros;
        h->bUpdated = 1;
    }
    DBFClose(h);
    m_archivo.reset();
    if (!ultimoErrorDBF().isEmpty())
        config::EscribirLog(QStringLiteral("TablasDBF.cerrar - Error: ") + ultimoErrorDBF() +
                            " - " + QDir::toNativeSeparators(m_ruta));
}

bool TablasDBF::existeEstructura(const QString& ruta) const {
    namespace fs = std::filesystem;
    const fs::path p(ruta.toStdU16String());
    const fs::path raiz = p.root_path();
    if (raiz.empty()) return false;
    const auto texto = [](const fs::path& x) {
        return QDir::toNativeSeparators(QString::fromStdU16String(x.u16string()));
    };
    std::error_code ec;
    if (!fs::is_directory(raiz, ec)) {
        config::EscribirLog(QStringLiteral("ClaseSyncFTPTM.existeEstructura - No existe Unidad: ") +
                            texto(raiz));
        return false;
    }
    fs::path actual = raiz;
    for (const fs::path& parte : p.relative_path()) {
        if (parte.empty()) continue;  // a trailing separator
        actual /= parte;
        if (!fs::is_directory(actual, ec)) {
            config::EscribirLog(
                QStringLiteral("ClaseSyncFTPTM.existeEstructura - No existe Carpeta: ") +
                texto(actual));
            return false;
        }
    }
    return true;
}

}  // namespace lumaro::outputs
