#pragma once
// One statement prepared once and run many times with different values ("?" marks), for the
// program's own bulk work (marking the rows a copy sent). The statements of the system's texts
// keep going through clsDBAdmin as literals; this is for statements the program composes from
// keys it read itself.

#include <QString>
#include <memory>

namespace lumaro::db {

class Connection;

class SentenciaPreparada {
public:
    SentenciaPreparada();
    ~SentenciaPreparada();
    SentenciaPreparada(const SentenciaPreparada&) = delete;
    SentenciaPreparada& operator=(const SentenciaPreparada&) = delete;

    // False, with the provider's message in errorText(), when the statement cannot be prepared.
    bool preparar(Connection& cnn, const QString& sql);
    // One run: bind a value to every mark (i counts from 0), then ejecutar. A bind or a run
    // that fails is false with the provider's message. On SQLite the values go straight to
    // the sqlite3 handle, with no Qt value made for them.
    bool enlazarEntero(int i, qint64 valor);
    bool enlazarTexto(int i, const char* utf8, int largo);
    bool ejecutar();
    // Rows changed by the last run; -1 when unknown.
    int filasAfectadas() const { return m_filas; }
    QString errorText() const { return m_error; }

private:
    bool fallo(const QString& mensaje);

    struct State;
    std::unique_ptr<State> m_state;
    QString m_error;
    int m_filas = -1;
};

}  // namespace lumaro::db
