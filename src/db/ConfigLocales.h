#pragma once
// The store registry: loads table Local of the client database into locales(), finds the one
// active store and records its identifier (also in the setting "Local_Activo") and the
// e-mail of its first contact.

#include <QString>

namespace lumaro::db {

// Needs the client database connection open (AbrirConexion(1)). True when the list is
// loaded and exactly one store is active. A failure in the contacts step still returns true.
bool ConfigLocales();

// IdLocal of the active store, as text; kept from the last successful ConfigLocales.
QString idLocalPropio();
// E-mail of the active store's first contact; empty when it never had one.
QString emailContactoPropio();
// For tests and tools that run a phase without a client database.
void setLocalPropio(const QString& idLocal, const QString& email);

// True when text is a whole number (optional sign, digits), as store numbers must be before
// they go into file names or statements.
bool esNumeroEntero(const QString& text);

}  // namespace lumaro::db
