#pragma once
// The phases a cycle is made of, as the run control sees them.
//
// The run control (RunControl) never reaches a database, the FTP server or a snapshot file
// itself: it calls these and reads what they return. The program uses ProductionPhases;
// tests drive the run control with phases that report each outcome. Every phase writes its
// own log lines and reports to the operator through run::console().

#include <QString>
#include <optional>

#include "ftp/DownloadRun.h"
#include "ftp/UploadRun.h"
#include "importer/SyncLocales.h"
#include "snapshot/CopiarTablas.h"

namespace lumaro::app {

// The program-wide connections a command closes when it ends.
enum class Conexion { Cliente, Logistica, MySql };

class Phases {
public:
    virtual ~Phases() = default;

    // Opens one kind of connection: 1 client database (and the MySQL mirror where this store
    // feeds it), 2 the snapshot being merged, 3 logistics database. True when open.
    virtual bool AbrirConexion(int kind) = 0;
    // Whether this store feeds the MySQL mirror; nullopt when the question could not be asked
    // (for example the client connection is closed).
    virtual std::optional<bool> esLocalPrincipal() = 0;
    // Loads the store registry; true when loaded with exactly one active store.
    virtual bool ConfigLocales() = 0;
    // Closes one connection; closing one that is not open does nothing.
    virtual void CerrarBD(Conexion which) = 0;
    // Creates today's snapshot database and returns its file name (without folder); nullopt
    // when it could not be created.
    virtual std::optional<QString> crearBDTemp() = 0;
    // Copies the changed production rows into the named snapshot; once committed, the rows
    // copied per table (nullopt when not).
    virtual std::optional<snapshot::FilasPorTabla> CopiarTablas(const QString& nombre) = 0;
    // The download run: whether the server answered and how many snapshots it fetched.
    virtual ftp::DownloadRunOutcome descargarOtrosLocales() = 0;
    // The import run: merges the downloaded snapshots. "Subir File" runs it first.
    virtual importer::ImportOutcome SyncLocales() = 0;
    // The upload run, which "Subir File" runs only after an import run that completed.
    virtual ftp::UploadOutcome Main() = 0;
    // Start-up: fills the MySQL mirror when this store feeds it and it is empty.
    virtual void ProcesarCargaInicial() = 0;
    // The end of a cycle, still inside it: mails the problems the cycle kept for the store's
    // contact (ftp/Correo.h). Bounded by the mail's short time limits.
    virtual void finDeCiclo() {}
};

}  // namespace lumaro::app
