#pragma once
// Rows handed to a function on a thread of its own, in the order given, a block at a time, so
// that the copy goes on reading production while its DBF records are written.
//
// The function runs on the worker thread only, one row at a time; the giver must not touch
// what the function uses until esperar() has returned. At most a few blocks wait: dar() waits
// while they are full, so memory stays flat whatever the number of rows. The rows are copies
// (a Fila's values share their texts), so the giver may reuse its row at once.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "snapshot/Fila.h"

namespace lumaro::outputs {

class FilasEnHilo {
public:
    // destino: what the giver said the row is for (which file).
    using Trabajo = std::function<void(int destino, const snapshot::Fila& fila)>;

    explicit FilasEnHilo(Trabajo trabajo);
    ~FilasEnHilo();  // hands over what waits, lets it be done and ends the thread
    FilasEnHilo(const FilasEnHilo&) = delete;
    FilasEnHilo& operator=(const FilasEnHilo&) = delete;

    void dar(int destino, const snapshot::Fila& fila);
    // Returns when every row given so far has been handed to the function.
    void esperar();

private:
    struct Lote {
        std::vector<int> destinos;
        std::vector<snapshot::Fila> filas;
    };
    void entregar();
    void trabajar();

    Trabajo m_trabajo;
    Lote m_actual;
    std::mutex m_mutex;
    std::condition_variable m_cambio;
    std::deque<Lote> m_cola;  // guarded by m_mutex, with the two below
    bool m_ocupado = false;   // the worker is handling a block taken from the queue
    bool m_fin = false;
    std::thread m_hilo;
};

}  // namespace lumaro::outputs
