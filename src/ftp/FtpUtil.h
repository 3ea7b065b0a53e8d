#pragma once
// Small helpers shared by the transfer, the upload run and the download run.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "config/Clock.h"
#include "snapshot/Enviados.h"

namespace lumaro::ftp {

using lumaro::config::marcaTiempo;

// <program folder>/<folder>/<name> in the platform's form.
QString rutaPrograma(const QString& folder, const QString& name = QString());

using lumaro::snapshot::yaEnviado;

// libcurl's global set-up, once per program, before the first handle.
void iniciarCurl();

// TLS required on a libcurl handle (FTP and SMTP alike), with the peer's certificate and host
// name checked, against caFile when one is named. caFile must outlive the transfer.
void exigirTls(void* curl, const QByteArray& caFile);

// The text with every non-empty secret, and the password of any "scheme://user:password@"
// address, replaced by "******". Error texts of libcurl and of servers pass through here
// before they reach the run log, List1 or a mail.
QString ocultarClaves(QString texto, const QStringList& claves);

// True when the folder holds a regular file of that exact name.
bool existeArchivo(const QString& ruta);

}  // namespace lumaro::ftp
