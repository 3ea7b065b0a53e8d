#include "snapshot/InsercionParalela.h"

namespace lumaro::snapshot {

namespace {

constexpr std::size_t kFilasPorBloque = 256;
constexpr std::size_t kBloques = 4;

}  // namespace

InsercionParalela::InsercionParalela(jet::Writer& writer, jet::Writer::TableHandle tabla,
                                     std::size_t columnas)
    : m_writer(writer), m_tabla(tabla), m_bloques(kBloques) {
    for (Bloque& b : m_bloques)
        b.filas.assign(kFilasPorBloque, Ranura{Fila(columnas), std::vector<jet::Value>(columnas)});
    m_hilo = std::thread([this] { insertar(); });
}

InsercionParalela::~InsercionParalela() {
    if (!m_hilo.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_parar = true;
    }
    m_cambio.notify_all();
    m_hilo.join();
}

InsercionParalela::Ranura* InsercionParalela::actual() {
    if (m_fila == 0) {
        // A block is filled again only once its rows are in the snapshot.
        std::unique_lock lock(m_mutex);
        m_cambio.wait(
            lock, [&] { return m_filaFallida.has_value() || m_bloque < m_insertados + kBloques; });
        if (m_filaFallida) return nullptr;
    }
    return &m_bloques[m_bloque % kBloques].filas[m_fila];
}

void InsercionParalela::entregar() {
    if (++m_fila == kFilasPorBloque) publicar();
}

void InsercionParalela::publicar() {
    {
        std::lock_guard lock(m_mutex);
        m_bloques[m_bloque % kBloques].usadas = m_fila;
        ++m_entregados;
    }
    m_cambio.notify_all();
    ++m_bloque;
    m_fila = 0;
}

std::optional<InsercionParalela::Fallo> InsercionParalela::terminar() {
    if (!m_hilo.joinable()) return std::nullopt;
    if (m_fila > 0) publicar();
    {
        std::lock_guard lock(m_mutex);
        m_fin = true;
    }
    m_cambio.notify_all();
    m_hilo.join();
    if (!m_filaFallida) return std::nullopt;
    const Bloque& b = m_bloques[m_insertados % kBloques];
    return Fallo{&b.filas[*m_filaFallida].fila, m_mensaje};
}

void InsercionParalela::insertar() {
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_cambio.wait(lock, [&] { return m_parar || m_fin || m_insertados < m_entregados; });
        if (m_parar || m_insertados == m_entregados) return;
        Bloque& b = m_bloques[m_insertados % kBloques];
        const std::size_t n = b.usadas;
        lock.unlock();
        for (std::size_t i = 0; i < n; ++i) {
            if (const jet::Status s = m_writer.insert(m_tabla, b.filas[i].valores); !s.isOk()) {
                lock.lock();
                m_filaFallida = i;
                m_mensaje = QString::fromStdString(s.message());
                lock.unlock();
                m_cambio.notify_all();
                return;
            }
        }
        lock.lock();
        ++m_insertados;
        lock.unlock();
        m_cambio.notify_all();
    }
}

}  // namespace lumaro::snapshot
