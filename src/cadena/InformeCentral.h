#pragma once
// The chain's report by mail to a central address: opt-in, "CorreoCentral" in [Correo] of a
// store's settings file, sent through that file's mail server when a store is late.

#include <QList>
#include <QString>

namespace lumaro::cadena {

// When "CorreoCentral" of the settings file `cfg` is set and `tarde` (the stores later than
// `limite` days) is not empty, mails `pagina` (the HTML report) to it. Returns the one line
// that says it was sent, or why not; empty when the key is not set.
QString enviarInformeCentral(const QString& cfg, const QString& pagina,
                             const QList<qlonglong>& tarde, int limite);

}  // namespace lumaro::cadena
