#include "outputs/FilasEnHilo.h"

namespace lumaro::outputs {

namespace {

constexpr std::size_t kFilasPorLote = 512;
constexpr std::size_t kLotesEnEspera = 4;

}  // namespace

FilasEnHilo::FilasEnHilo(Trabajo trabajo) : m_trabajo(std::move(trabajo)) {}

FilasEnHilo::~FilasEnHilo() {
    if (!m_hilo.joinable()) return;
    esperar();
    {
        std::lock_guard lock(m_mutex);
        m_fin = true;
    }
    m_cambio.notify_all();
    m_hilo.join();
}

void FilasEnHilo::dar(int destino, const snapshot::Fila& fila) {
    if (!m_hilo.joinable()) m_hilo = std::thread([this] { trabajar(); });
    m_actual.destinos.push_back(destino);
    m_actual.filas.push_back(fila);
    if (m_actual.filas.size() == kFilasPorLote) entregar();
}

void FilasEnHilo::entregar() {
    if (m_actual.filas.empty()) return;
    std::unique_lock lock(m_mutex);
    m_cambio.wait(lock, [this] { return m_cola.size() < kLotesEnEspera; });
    m_cola.push_back(std::move(m_actual));
    m_actual = Lote{};
    lock.unlock();
    m_cambio.notify_all();
}

void FilasEnHilo::esperar() {
    if (!m_hilo.joinable()) return;
    entregar();
    std::unique_lock lock(m_mutex);
    m_cambio.wait(lock, [this] { return m_cola.empty() && !m_ocupado; });
}

void FilasEnHilo::trabajar() {
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_cambio.wait(lock, [this] { return m_fin || !m_cola.empty(); });
        if (m_cola.empty()) return;  // m_fin, nothing left
        Lote lote = std::move(m_cola.front());
        m_cola.pop_front();
        m_ocupado = true;
        lock.unlock();
        m_cambio.notify_all();
        for (std::size_t i = 0; i < lote.filas.size(); ++i)
            m_trabajo(lote.destinos[i], lote.filas[i]);
        lote = Lote{};  // the copies are released on this thread, outside the lock
        lock.lock();
        m_ocupado = false;
        lock.unlock();
        m_cambio.notify_all();
    }
}

}  // namespace lumaro::outputs
