#pragma once
// Texts of the operator console that more than one file shows or tests compare.

#include <QString>

namespace lumaro::app::texts {

inline const QString kTituloAplicacion = QStringLiteral("Sincronizacion Lumaro");
inline const QString kTituloVentana =
    QStringLiteral("Lumaro - Sincronización de datos entre Locales");
inline const QString kOtraInstancia =
    QStringLiteral("Ya existe una instancia de este programa en ejecución.");

inline const QString kDetenido = QStringLiteral("Detenido...");
inline const QString kProcesando = QStringLiteral("Procesando...");
inline const QString kEsperando = QStringLiteral("Esperando...");

inline const QString kActivado = QStringLiteral("ACTIVADO");
inline const QString kDesactivado = QStringLiteral("DESACTIVADO");

// The timestamp shown in the window: "dd/mm/yyyy hh:mm:ss AM/PM".
QString marcaDeTiempo();

}  // namespace lumaro::app::texts
