#pragma once
// The problems of a cycle that are to be told by mail.
//
// Every phase that would mail the store's contact writes its "Se intento enviar correo" line
// through EscribirLogCorreo; the line goes to the run log as always and is kept until the end
// of the cycle, when the mailer (ftp/Correo.h) takes them all and sends one mail, or drops them
// when no mail server is configured.

#include <QString>
#include <QStringList>

namespace lumaro::run {

// Writes the line to the run log and keeps it for the cycle's mail.
void EscribirLogCorreo(const QString& linea);

// The kept lines in the order they were written; the list is empty afterwards.
QStringList tomarAvisosCorreo();

}  // namespace lumaro::run
