#include "outputs/GanchosDBF.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace lumaro::outputs {

namespace {

constexpr size_t kBuffer = size_t{1} << 18;

struct Archivo {
    enum class Uso { Ninguno, Lectura, Escritura };
    FILE* f;
    SAOffset pos;
    Uso ultimo;
    std::unique_ptr<char[]> buffer;  // outlives f: freed after fclose
};

Archivo* de(SAFile f) { return reinterpret_cast<Archivo*>(f); }

QString& ultimoError() {
    static QString texto;
    return texto;
}

#ifdef _WIN32
std::wstring ancho(const char* utf8) { return QString::fromUtf8(utf8).toStdWString(); }
#endif

// C requires a seek between reading and writing the same stream.
bool cambiarUso(Archivo* a, Archivo::Uso uso) {
    if (a->ultimo != Archivo::Uso::Ninguno && a->ultimo != uso &&
        std::fseek(a->f, static_cast<long>(a->pos), SEEK_SET) != 0)
        return false;
    a->ultimo = uso;
    return true;
}

SAFile abrir(const char* nombre, const char* modo) {
#ifdef _WIN32
    FILE* f = _wfopen(ancho(nombre).c_str(), ancho(modo).c_str());
#else
    FILE* f = std::fopen(nombre, modo);
#endif
    if (f == nullptr) return nullptr;
    // glibc ignores the size when it is to allocate the buffer itself.
    auto* a = new Archivo{f, 0, Archivo::Uso::Ninguno, std::make_unique<char[]>(kBuffer)};
    std::setvbuf(f, a->buffer.get(), _IOFBF, kBuffer);
    return reinterpret_cast<SAFile>(a);
}

// A read or a write of n items of tam bytes through op, which does it on the FILE.
template <typename Op>
SAOffset transferir(SAFile file, Archivo::Uso uso, SAOffset tam, Op op) {
    Archivo* a = de(file);
    if (!cambiarUso(a, uso)) return 0;
    const size_t hechos = op(a->f);
    a->pos += hechos * tam;
    return hechos;
}

SAOffset leer(void* p, SAOffset tam, SAOffset n, SAFile file) {
    return transferir(file, Archivo::Uso::Lectura, tam,
                      [&](FILE* f) { return std::fread(p, tam, n, f); });
}

SAOffset escribir(void* p, SAOffset tam, SAOffset n, SAFile file) {
    return transferir(file, Archivo::Uso::Escritura, tam,
                      [&](FILE* f) { return std::fwrite(p, tam, n, f); });
}

SAOffset buscar(SAFile file, SAOffset offset, int whence) {
    Archivo* a = de(file);
    if (whence == SEEK_SET && offset == a->pos) return 0;
    if (std::fseek(a->f, static_cast<long>(offset), whence) != 0) return 1;
    a->pos = static_cast<SAOffset>(std::ftell(a->f));
    a->ultimo = Archivo::Uso::Ninguno;
    return 0;
}

SAOffset posicion(SAFile file) { return de(file)->pos; }

int vaciar(SAFile file) { return std::fflush(de(file)->f); }

void error(const char* mensaje) { ultimoError() = QString::fromUtf8(mensaje); }

// Buffered writes fail late: a full disk shows up here, and shapelib does not look.
int cerrar(SAFile file) {
    Archivo* a = de(file);
    errno = 0;
    const int r = std::fclose(a->f);
    if (r != 0)
        ultimoError() =
            QString::fromStdString(std::error_code(errno, std::generic_category()).message());
    delete a;
    return r;
}

int borrar(const char* nombre) {
#ifdef _WIN32
    return _wremove(ancho(nombre).c_str());
#else
    return std::remove(nombre);
#endif
}

double atof(const char* texto) { return std::atof(texto); }

}  // namespace

SAHooks ganchosDBF() {
    SAHooks h;
    h.FOpen = abrir;
    h.FRead = leer;
    h.FWrite = escribir;
    h.FSeek = buscar;
    h.FTell = posicion;
    h.FFlush = vaciar;
    h.FClose = cerrar;
    h.Remove = borrar;
    h.Error = error;
    h.Atof = atof;
    return h;
}

QString ultimoErrorDBF() { return ultimoError(); }
void limpiarErrorDBF() { ultimoError().clear(); }

}  // namespace lumaro::outputs
