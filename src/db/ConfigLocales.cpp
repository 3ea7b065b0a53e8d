#include "db/ConfigLocales.h"

#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/Recordset.h"
#include "db/clsLocal.h"
#include "run/Console.h"

namespace lumaro::db {

namespace {

struct Propio {
    QString idLocal;
    QString email;
};

Propio& propio() {
    static Propio p;
    return p;
}

bool errorInesperado(const QString& numero, const QString& descripcion) {
    config::EscribirLog(QStringLiteral("MainProcesoSinc.ConfigLocales(A) - Error : ") + numero +
                        QStringLiteral(" - ") + descripcion);
    return false;
}

bool errorDe(const Recordset& rs) { return errorInesperado(rs.errorNumber(), rs.errorText()); }

// The three configuration failures: critical box, then the log line.
bool fallo(const QString& caption, const QString& texto, const QString& linea) {
    run::console().messageBox(run::BoxIcon::Critical, caption, texto);
    config::EscribirLog(linea);
    return false;
}

}  // namespace

bool esNumeroEntero(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = (t.startsWith(u'-') || t.startsWith(u'+')) ? 1 : 0;
    if (i >= t.size() || t.size() - i > 9) return false;
    for (; i < t.size(); ++i)
        if (t[i] < u'0' || t[i] > u'9') return false;
    return true;
}

bool ConfigLocales() {
    const QString catalogo = datosConfiguracion().cliente.catalogo;
    const QString conAcento = QStringLiteral("Problemas de Configuración");
    Recordset rs;
    if (!rs.open(cnnCliente(), QStringLiteral("Select * from Local"))) return errorDe(rs);
    if (rs.recordCount() == 0)
        return fallo(conAcento, QStringLiteral("No existe registro de Locales en BD: ") + catalogo,
                     QStringLiteral("MainProcesoSinc.ConfigLocales(A) - No existe registro de "
                                    "Locales en BD:") +
                         catalogo);
    clsLocal& lista = locales();
    lista.setNroLocales(rs.recordCount());
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        lista.addLocal(rs.value(0).toString().trimmed(), rs.value(1).toString());
    rs.close();

    if (!rs.open(cnnCliente(), QStringLiteral("Select * from Local where Activo = 1")))
        return errorDe(rs);
    const int activos = rs.recordCount();
    rs.close();
    if (activos == 0)
        return fallo(QStringLiteral("Problemas de Configuracion"),
                     QStringLiteral("No se ha establecido Local Activo en BD: ") + catalogo,
                     QStringLiteral("MainProcesoSinc.ConfigLocales(B) - No se ha establecido "
                                    "Local Activo en BD: ") +
                         catalogo);
    if (activos > 1)
        return fallo(
            conAcento,
            QStringLiteral("No se puede establecer más de un Local como Activo en BD: ") + catalogo,
            QStringLiteral("MainProcesoSinc.ConfigLocales(C) - No se puede establecer "
                           "más de un Local como Activo en BD: ") +
                catalogo);

    if (!rs.open(cnnCliente(), QStringLiteral("select idLocal from Local where Activo = 1")))
        return errorDe(rs);
    const QString id = rs.value(0).toString().trimmed();
    rs.close();
    // The identifier goes into file names and statements: it must be a number.
    if (!esNumeroEntero(id))
        return errorInesperado(QStringLiteral("0"),
                               QStringLiteral("IdLocal no numerico en la tabla Local: ") + id);
    config::GrabarConfig(QStringLiteral("Local_Activo"), id);
    propio().idLocal = id;

    // From here on the result is true, whatever the contacts step meets.
    if (!rs.open(
            cnnCliente(),
            QStringLiteral("select DscContacto, Email from Contactos where IdLocal = ") + id)) {
        errorDe(rs);
        return true;
    }
    if (rs.recordCount() > 0) propio().email = rs.value(QStringLiteral("email")).toString();
    return true;
}

QString idLocalPropio() { return propio().idLocal; }

QString emailContactoPropio() { return propio().email; }

void setLocalPropio(const QString& idLocal, const QString& email) {
    propio().idLocal = idLocal;
    propio().email = email;
}

}  // namespace lumaro::db
