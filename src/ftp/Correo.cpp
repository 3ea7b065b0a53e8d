#include "ftp/Correo.h"

#include <curl/curl.h>

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "ftp/FtpSettings.h"
#include "ftp/FtpUtil.h"
#include "run/AvisosCorreo.h"

namespace lumaro::ftp {

namespace {

const QString kSeccion = QStringLiteral("Correo");

struct Lectura {
    QByteArray data;
    qsizetype offset = 0;
};

size_t leerMensaje(char* buffer, size_t size, size_t count, void* source) {
    auto* lectura = static_cast<Lectura*>(source);
    const qsizetype n =
        std::min(static_cast<qsizetype>(size * count), lectura->data.size() - lectura->offset);
    std::memcpy(buffer, lectura->data.constData() + lectura->offset, static_cast<size_t>(n));
    lectura->offset += n;
    return static_cast<size_t>(n);
}

// An address or header value as it may go into the message: a value from the database or the
// settings can never add a line of its own.
QString unaLinea(QString valor) {
    valor.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return valor.trimmed();
}

QByteArray entreAngulos(const QString& direccion) {
    return "<" + unaLinea(direccion).remove(QLatin1Char('<')).remove(QLatin1Char('>')).toUtf8() +
           ">";
}

// Date header in the form mail readers expect, whatever the machine's language.
QString fechaCorreo(const QDateTime& ahora) {
    const int minutos = ahora.offsetFromUtc() / 60;
    const QString zona = QString::asprintf("%c%02d%02d", minutos < 0 ? '-' : '+',
                                           std::abs(minutos) / 60, std::abs(minutos) % 60);
    return QLocale::c().toString(ahora, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) + zona;
}

QByteArray mensaje(const CorreoSettings& s, const QString& para, const QString& asunto,
                   const QString& cuerpo, const QString& tipo) {
    const QString tipoLinea =
        QStringLiteral("Content-Type: ") + unaLinea(tipo) + QStringLiteral("; charset=UTF-8");
    QStringList lineas{QStringLiteral("Date: ") + fechaCorreo(lumaro::config::Clock::now()),
                       QStringLiteral("From: ") + unaLinea(s.remitente),
                       QStringLiteral("To: ") + unaLinea(para),
                       QStringLiteral("Subject: ") + unaLinea(asunto),
                       QStringLiteral("MIME-Version: 1.0"),
                       tipoLinea,
                       QStringLiteral("Content-Transfer-Encoding: 8bit"),
                       QString()};
    for (const QString& linea : cuerpo.split(QLatin1Char('\n'))) lineas << unaLinea(linea);
    return lineas.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

// A curl_slist of one recipient that frees itself.
struct Destinatario {
    curl_slist* list = nullptr;
    QByteArray direccion;
    explicit Destinatario(const QString& para) : direccion(entreAngulos(para)) {
        list = curl_slist_append(nullptr, direccion.constData());
    }
    ~Destinatario() { curl_slist_free_all(list); }
    Destinatario(const Destinatario&) = delete;
    Destinatario& operator=(const Destinatario&) = delete;
};

// A kept "Se intento enviar correo..." line as the mail tells it: the problem alone.
QString problema(const QString& linea) {
    static const QRegularExpression intento(QStringLiteral("^Se intento enviar correo[:,]?\\s*"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString texto = QString(linea).remove(intento);
    if (!texto.isEmpty()) texto[0] = texto[0].toUpper();
    return QStringLiteral("- ") + texto;
}

}  // namespace

CorreoSettings CorreoSettings::read() {
    using lumaro::config::LeerConfigSeccion;
    CorreoSettings s;
    s.servidor = LeerConfigSeccion(kSeccion, QStringLiteral("Servidor"));
    s.tlsImplicito = LeerConfigSeccion(kSeccion, QStringLiteral("Seguridad"))
                         .compare(QStringLiteral("TLS"), Qt::CaseInsensitive) == 0;
    const int puerto = LeerConfigSeccion(kSeccion, QStringLiteral("Puerto")).toInt();
    s.puerto = puerto > 0 ? puerto : (s.tlsImplicito ? 465 : 587);
    s.usuario = LeerConfigSeccion(kSeccion, QStringLiteral("Usuario"));
    s.contrasena = LeerConfigSeccion(kSeccion, QStringLiteral("Contraseña"));
    s.remitente = LeerConfigSeccion(kSeccion, QStringLiteral("Remitente"));
    s.caFile = rutaConfigurada(LeerConfigSeccion(kSeccion, QStringLiteral("CA")));
    return s;
}

CorreoResult enviarCorreo(const CorreoSettings& s, const QString& para, const QString& asunto,
                          const QString& cuerpo, const QString& tipo) {
    iniciarCurl();
    CURL* curl = curl_easy_init();
    if (!curl) return {false, QStringLiteral("libcurl no disponible.")};
    const QByteArray url = (s.tlsImplicito ? "smtps://" : "smtp://") + s.servidor.toUtf8() + ":" +
                           QByteArray::number(s.puerto);
    const QByteArray de = entreAngulos(s.remitente);
    const QByteArray usuario = s.usuario.toUtf8();
    const QByteArray contrasena = s.contrasena.toUtf8();
    const QByteArray ca = QFile::encodeName(s.caFile);
    Destinatario destinatario(para);
    Lectura lectura{mensaje(s, para, asunto, cuerpo, tipo)};
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    exigirTls(curl, ca);
    if (!usuario.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, usuario.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, contrasena.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, de.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, destinatario.list);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, leerMensaje);
    curl_easy_setopt(curl, CURLOPT_READDATA, &lectura);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(kCorreoConexionSegundos));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(kCorreoTotalSegundos));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (code == CURLE_OK) return {true, QString()};
    const QString why = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    return {false, ocultarClaves(QStringLiteral("N=") + QString::number(static_cast<int>(code)) +
                                     QStringLiteral(" D=") + why,
                                 {s.contrasena})};
}

bool enviarAvisosCorreo() {
    const QStringList avisos = lumaro::run::tomarAvisosCorreo();
    const QString para = lumaro::db::emailContactoPropio();
    if (avisos.isEmpty() || para.isEmpty()) return false;
    const CorreoSettings settings = CorreoSettings::read();
    if (!settings.configurado()) return false;

    const QString local = lumaro::db::idLocalPropio();
    QStringList cuerpo{QStringLiteral("Problemas del Local ") + local +
                       QStringLiteral(" en el ciclo de ") + lumaro::config::marcaTiempo() +
                       QLatin1Char(':')};
    for (const QString& aviso : avisos) cuerpo << problema(aviso);
    const CorreoResult r = enviarCorreo(
        settings, para, QStringLiteral("Problemas de sincronizacion del Local ") + local,
        cuerpo.join(QLatin1Char('\n')));
    const QString destino = QStringLiteral(" < ") + unaLinea(para) + QStringLiteral(" >");
    if (r.ok)
        lumaro::config::EscribirLog(QStringLiteral("Se envio correo a") + destino +
                                    QStringLiteral(" con ") + QString::number(avisos.size()) +
                                    QStringLiteral(" aviso(s)."));
    else
        lumaro::config::EscribirLog(QStringLiteral("No se pudo enviar correo a") + destino +
                                    QStringLiteral(": ") + r.message);
    return r.ok;
}

}  // namespace lumaro::ftp
