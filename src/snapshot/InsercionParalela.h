#pragma once
// The rows of a table inserted into the snapshot on a thread of their own, while the copy reads,
// converts and hands out the next ones, so that the two halves of the work run on two cores.
// The rows wait in a few blocks of fixed size (memory stays flat whatever the table's size)
// and are filled in place, each row's storage kept from one round of the blocks to the next.

#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "jet/Writer.h"
#include "snapshot/Fila.h"

namespace lumaro::snapshot {

class InsercionParalela {
public:
    // A row: its values in the form of Fila.h and the snapshot's.
    struct Ranura {
        Fila fila;
        std::vector<jet::Value> valores;
    };
    struct Fallo {
        const Fila* fila;  // the row the snapshot refused
        QString mensaje;
    };

    InsercionParalela(jet::Writer& writer, jet::Writer::TableHandle tabla, std::size_t columnas);
    // Ends the thread; rows not yet inserted are left out (the copy has failed).
    ~InsercionParalela();
    InsercionParalela(const InsercionParalela&) = delete;
    InsercionParalela& operator=(const InsercionParalela&) = delete;

    // The row to fill next, the same one until entregar(); nullptr once an insertion has
    // failed (terminar() names it).
    Ranura* actual();
    // Hands the row filled over for insertion.
    void entregar();
    // Inserts every row handed over and ends the thread: nullopt when all went in.
    std::optional<Fallo> terminar();

private:
    struct Bloque {
        std::vector<Ranura> filas;
        std::size_t usadas = 0;
    };
    void publicar();
    void insertar();

    jet::Writer& m_writer;
    const jet::Writer::TableHandle m_tabla;
    std::vector<Bloque> m_bloques;  // a ring: block number n lives in m_bloques[n % size]
    std::mutex m_mutex;
    std::condition_variable m_cambio;
    std::size_t m_entregados = 0;  // blocks handed over
    std::size_t m_insertados = 0;  // blocks inserted
    bool m_fin = false;
    bool m_parar = false;
    std::optional<std::size_t> m_filaFallida;  // in block m_insertados
    QString m_mensaje;
    // The filling side's position: a block number and a row in it.
    std::size_t m_bloque = 0;
    std::size_t m_fila = 0;
    std::thread m_hilo;
};

}  // namespace lumaro::snapshot
