#pragma once
// One statement prepared once and run many times with different values ("?" marks), for the
// program's own bulk work (marking the rows a copy sent). The statements of the system's texts
// keep going through clsDBAdmin as literals; this is for statements the program composes from
// keys it read itself.

#include <QString>
#include <QVariantList>
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
    // Runs it with one value per mark, in order. False with the provider's message.
    bool ejecutar(const QVariantList& valores);
    // Rows changed by the last run; -1 when unknown.
    int filasAfectadas() const { return m_filas; }
    QString errorText() const { return m_error; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    QString m_error;
    int m_filas = -1;
};

}  // namespace lumaro::db
