#pragma once
// A statement run straight on the sqlite3 handle of an SQLite connection, below Qt SQL, for
// the program's bulk paths (streaming a selection, marking copied rows): Qt's per-value
// conversions (every text through UTF-16 and back) cost more there than the work itself.
// It runs on the connection's own handle, so it takes part in the connection's transaction.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

namespace lumaro::db {

class Connection;

// A value of the current row as SQLite holds it, without any conversion. A text (UTF-8, not
// terminated) or blob stays valid until the statement steps again.
struct ValorCrudo {
    enum class Tipo { Nulo, Entero, Real, Texto, Blob };
    Tipo tipo = Tipo::Nulo;
    qint64 entero = 0;
    double real = 0;
    const char* datos = nullptr;
    int largo = 0;
};

// The sqlite3 handle of an open SQLite connection; nullptr for any other engine.
sqlite3* sqliteHandle(const Connection& cnn);
// Rows the statements of an SQLite connection have inserted, changed or deleted since it was
// opened; -1 for any other engine.
qint64 cambiosDeConexion(const Connection& cnn);

class SentenciaSqlite {
public:
    SentenciaSqlite() = default;
    ~SentenciaSqlite();
    SentenciaSqlite(const SentenciaSqlite&) = delete;
    SentenciaSqlite& operator=(const SentenciaSqlite&) = delete;

    // False with SQLite's message in errorText().
    bool preparar(sqlite3* db, const QString& sql);
    // Binds one value per "?" (null, integers, doubles, texts; a QDateTime as its
    // "yyyy/mm/dd hh:mm:ss" text) and rewinds the statement.
    bool enlazar(const QVariantList& valores);
    enum class Paso { Fila, Fin, Error };
    Paso paso();
    // Rewinds the statement, releasing what a step left open.
    void reiniciar();

    int columnas() const;
    QString nombreColumna(int i) const;
    // The current row's value: qlonglong, double, QString (UTF-8 decoded), QByteArray, or a
    // null QVariant.
    QVariant valor(int i) const;
    ValorCrudo crudo(int i) const;
    // Binds one value straight, for a statement run many times (see enlazar for the rewind).
    bool enlazarEntero(int i, qint64 valor);
    bool enlazarTexto(int i, const char* utf8, int largo);
    int filasAfectadas() const;
    QString errorText() const { return m_error; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_error;
};

}  // namespace lumaro::db
