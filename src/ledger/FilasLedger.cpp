#include "ledger/FilasLedger.h"

#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cmath>

#include "db/ConfigLocales.h"
#include "db/ConnectionText.h"
#include "db/DateText.h"
#include "db/Recordset.h"
#include "db/ValorJet.h"
#include "db/clsDBAdmin.h"
#include "jet/Reader.h"
#include "ledger/Ledger.h"

namespace lumaro::ledger {

using db::Connection;
using db::dateTimeText;
using db::dbAdmin;
using db::esNumeroEntero;
using db::parseDateTimeText;
using db::Recordset;
using db::textoConexionAccess;
using db::valorJet;

namespace {

const char* const kColumnas[] = {"idLocal", "fecha", "iDescargaOK", "iSincronizacionOK"};

// A whole number held as a number, a Yes/No or a text of digits.
std::optional<qint64> entero(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? 1 : 0;
        case QMetaType::Int:
        case QMetaType::LongLong:
            return v.toLongLong();
        case QMetaType::Double: {
            const double d = v.toDouble();
            if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 1e9)
                return static_cast<qint64>(d);
            return std::nullopt;
        }
        case QMetaType::QString:
            if (esNumeroEntero(v.toString())) return v.toString().trimmed().toLongLong();
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

// The day of a date value or of a date text in one of the forms the older program wrote.
QDate dia(const QVariant& v) {
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    if (v.typeId() != QMetaType::QString) return QDate();
    const QString t = v.toString().trimmed();
    const QDate dmy = QDate::fromString(t.section(u' ', 0, 0), QStringLiteral("d/M/yyyy"));
    if (dmy.isValid()) return dmy;
    const auto iso = parseDateTimeText(t);
    return iso ? iso->date() : QDate();
}

QString mostrar(const QVariant& v) {
    if (v.isNull()) return QStringLiteral("NULL");
    // A date as the ledger stores it.
    const QString t =
        v.typeId() == QMetaType::QDateTime ? dateTimeText(v.toDateTime()) : v.toString();
    return u'\'' + t + u'\'';
}

// Takes the four values of row n (1 = first) or says why not.
bool tomarFila(const QVariant (&v)[4], int n, FilaLedger* fila, QString* error) {
    const QString donde = QStringLiteral("TablasFTP, fila %1: ").arg(n);
    const auto id = entero(v[0]);
    if (!id || *id <= 0) {
        *error = donde + QStringLiteral("IdLocal no numerico: ") + mostrar(v[0]);
        return false;
    }
    const QDate d = dia(v[1]);
    if (!fechaLedgerValida(d)) {
        *error = donde + QStringLiteral("fecha imposible: ") + mostrar(v[1]);
        return false;
    }
    // A NULL flag is a "no"; Yes/No stored as a number is -1 for yes.
    const auto descarga = v[2].isNull() ? std::optional<qint64>(0) : entero(v[2]);
    const auto sincroniza = v[3].isNull() ? std::optional<qint64>(0) : entero(v[3]);
    if (!descarga || !sincroniza) {
        *error = donde + QStringLiteral("iDescargaOK o iSincronizacionOK no es un numero: ") +
                 mostrar(v[descarga ? 3 : 2]);
        return false;
    }
    *fila = FilaLedger{*id, d, *descarga != 0 ? 1 : 0, *sincroniza != 0 ? 1 : 0};
    return true;
}

// Row n into filas; a row that cannot be taken goes to malas when there is such a list, else
// it refuses the file (false).
bool agregarFila(const QVariant (&v)[4], int n, QList<FilaLedger>* filas, QString* error,
                 QStringList* malas) {
    FilaLedger f;
    QString porque;
    if (tomarFila(v, n, &f, &porque)) {
        filas->append(f);
        return true;
    }
    if (!malas) {
        *error = porque;
        return false;
    }
    malas->append(porque);
    return true;
}

// A ledger field; types no ledger column had (money, bytes) are refused as not a number.
QVariant variante(const jet::Value& v) {
    if (std::holds_alternative<jet::Currency>(v) || std::holds_alternative<jet::Bytes>(v))
        return QVariant();
    return valorJet(v);
}

}  // namespace

TipoArchivoLedger tipoArchivoLedger(const QString& ruta) {
    if (!QFileInfo(ruta).isFile()) return TipoArchivoLedger::NoExiste;
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return TipoArchivoLedger::Otro;
    const QByteArray head = f.read(20);
    if (head.isEmpty() || head.startsWith("SQLite format 3")) return TipoArchivoLedger::Sqlite;
    if (head.size() == 20 && head.mid(4, 16) == QByteArray("Standard Jet DB", 16))
        return TipoArchivoLedger::Jet;
    return TipoArchivoLedger::Otro;
}

std::optional<QList<FilaLedger>> leerFilasJet(const QString& ruta, QString* error,
                                              QStringList* malas) {
    auto db = jet::Database::open(ruta.toStdString());
    if (!db) {
        *error = QString::fromStdString(db.status().message());
        return std::nullopt;
    }
    auto tabla = db->table("TablasFTP");
    if (!tabla) {
        *error = QStringLiteral("no tiene la tabla TablasFTP");
        return std::nullopt;
    }
    for (const char* c : kColumnas)
        if (!tabla->column(c)) {
            *error = QStringLiteral("la tabla TablasFTP no tiene la columna ") + c;
            return std::nullopt;
        }
    QList<FilaLedger> filas;
    bool rechazada = false;
    int n = 0;
    const jet::Status st = tabla->forEachRow([&](const jet::Row& row) {
        QVariant v[4];
        for (int i = 0; i < 4; ++i) v[i] = variante(*row.field(kColumnas[i]));
        rechazada = !agregarFila(v, ++n, &filas, error, malas);
        return !rechazada;
    });
    if (rechazada) return std::nullopt;
    if (!st) {
        *error = QString::fromStdString(st.message());
        return std::nullopt;
    }
    return filas;
}

std::optional<QList<FilaLedger>> leerFilasSqlite(const QString& ruta, QString* error,
                                                 QStringList* malas) {
    if (tipoArchivoLedger(ruta) != TipoArchivoLedger::Sqlite) {
        *error = QStringLiteral("no es un ledger SQLite");
        return std::nullopt;
    }
    Connection cnn;
    if (!dbAdmin().AbrirBD(cnn, textoConexionAccess(ruta))) {
        *error = QStringLiteral("no se pudo abrir");
        return std::nullopt;
    }
    Recordset rs;
    const bool ok = rs.open(cnn, QStringLiteral("select idLocal, fecha, iDescargaOK, "
                                                "iSincronizacionOK from TablasFTP"));
    dbAdmin().CerrarBD(cnn);
    if (!ok) {
        *error = rs.errorText();
        return std::nullopt;
    }
    QList<FilaLedger> filas;
    for (int n = 1; !rs.eof(); rs.moveNext(), ++n) {
        const QVariant v[4] = {rs.value(0), rs.value(1), rs.value(2), rs.value(3)};
        if (!agregarFila(v, n, &filas, error, malas)) return std::nullopt;
    }
    return filas;
}

std::optional<QList<FilaLedger>> leerFilasLedger(const QString& ruta, QString* error,
                                                 QStringList* malas) {
    switch (tipoArchivoLedger(ruta)) {
        case TipoArchivoLedger::Jet:
            return leerFilasJet(ruta, error, malas);
        case TipoArchivoLedger::Sqlite:
            return leerFilasSqlite(ruta, error, malas);
        case TipoArchivoLedger::NoExiste:
            *error = QStringLiteral("no existe el archivo ") + ruta;
            return std::nullopt;
        case TipoArchivoLedger::Otro:
            break;
    }
    *error = ruta + QStringLiteral(" no es un ledger (ni Jet ni SQLite)");
    return std::nullopt;
}

}  // namespace lumaro::ledger
