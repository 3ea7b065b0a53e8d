#pragma once
// Problem mails over SMTP (libcurl), configured in section [Correo] of the settings file.
//
// Without that section nothing is mailed and nothing is logged about mail: the phases only
// write their "Se intento enviar correo" lines, as they always did. A mail that cannot be
// sent is logged with its reason and never holds the cycle longer than the time limits below.

#include <QString>

namespace lumaro::ftp {

// Section [Correo]. The server counts as configured when "Servidor" and "Remitente" are set.
struct CorreoSettings {
    QString servidor;  // "Servidor": host name or address
    // "Puerto": by default 587 with STARTTLS, 465 with implicit TLS.
    int puerto = 0;
    // "Seguridad": "TLS" for implicit TLS (smtps); anything else means STARTTLS. Either way
    // the mail travels encrypted, with the certificate and host name verified, or not at all.
    bool tlsImplicito = false;
    QString usuario;     // "Usuario": empty for a server that takes mail without a login
    QString contrasena;  // "Contraseña", used exactly as written
    QString remitente;   // "Remitente": the sender's address
    QString caFile;      // "CA": PEM certificates to trust instead of the system's

    bool configurado() const { return !servidor.isEmpty() && !remitente.isEmpty(); }
    static CorreoSettings read();
};

// Limits of one mail, connection and whole exchange.
inline constexpr int kCorreoConexionSegundos = 10;
inline constexpr int kCorreoTotalSegundos = 15;

struct CorreoResult {
    bool ok = false;
    QString message;  // why it failed, passwords hidden
};

// Sends one UTF-8 mail to one recipient; `tipo` is its content type ("text/html" for a page).
CorreoResult enviarCorreo(const CorreoSettings& settings, const QString& para,
                          const QString& asunto, const QString& cuerpo,
                          const QString& tipo = QStringLiteral("text/plain"));

// The end of a cycle: takes the lines kept by run::EscribirLogCorreo and, when [Correo] is
// configured and the store has a contact e-mail, sends them all in one mail to that address,
// logging the outcome. Returns true when a mail went out.
bool enviarAvisosCorreo();

}  // namespace lumaro::ftp
