// lumaro-mdb: inspect, export, copy and check Jet 4.0 (.mdb) files with this program's engine.
// Its texts are Spanish like the program's; the command words are those of the tools an
// operator may know (mdb-tables, mdb-export).

#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>

#include "jet/tool/Commands.h"

namespace {

using namespace lumaro::jet::tool;

struct Command {
    const char* name;
    const char* arguments;
    std::size_t argumentCount;
    std::vector<std::string_view> options;  // the options it allows (at most one at a time)
    const char* summary;
    const char* example;
    int (*run)(const Args&);
};

const Command kCommands[] = {
    {"tables",
     "ARCHIVO",
     1,
     {},
     "las tablas de usuario con su numero de filas",
     "lumaro-mdb tables 3_05122026.mdb",
     tables},
    {"schema",
     "ARCHIVO",
     1,
     {},
     "las columnas de cada tabla: tipo, tamano, NOT NULL",
     "lumaro-mdb schema 3_05122026.mdb",
     schema},
    {"export",
     "ARCHIVO TABLA",
     2,
     {"--csv", "--json"},
     "una tabla en CSV (por defecto, como mdb-export) o JSON",
     "lumaro-mdb export 3_05122026.mdb Cliente --json",
     exportTable},
    {"copy",
     "ORIGEN DESTINO",
     2,
     {"--reemplazar"},
     "una base nueva con cada tabla de ORIGEN que se puede escribir;\n      un DESTINO que ya "
     "existe solo se reemplaza con --reemplazar",
     "lumaro-mdb copy 3_05122026.mdb copia.mdb",
     copy},
    {"check",
     "ARCHIVO",
     1,
     {},
     "revisa el archivo; dice que esta mal y que hacer",
     "lumaro-mdb check 3_05122026.mdb",
     check},
};

std::string synopsis(const Command& c) {
    std::string head = std::string(c.name) + " " + c.arguments;
    if (!c.options.empty()) {
        head += " [";
        for (std::size_t i = 0; i < c.options.size(); ++i)
            head += std::string(i ? " | " : "") + std::string(c.options[i]);
        head += "]";
    }
    return head;
}

void help() {
    std::cout << "uso: lumaro-mdb ORDEN ARGUMENTOS\n     lumaro-mdb --help | --version\n\n"
                 "Revisa, exporta y copia archivos Jet 4.0 (.mdb) con el motor de este "
                 "programa.\n\nOrdenes:\n";
    for (const Command& c : kCommands) {
        const std::string head = synopsis(c);
        std::cout << "  " << head << "\n      " << c.summary << "\n";
    }
    std::cout << "\nEstado de salida: 0 hecho; 1 el archivo falta, no se puede leer o esta "
                 "danado, o el\ndestino de copy ya existe o no es un archivo normal; 2 linea de "
                 "ordenes mal escrita\n(o export de una tabla que no existe); 3 copy no pudo "
                 "copiar alguna tabla (las nombra;\nel resto queda escrito).\n\nEjemplos:\n";
    for (const Command& c : kCommands) std::cout << "  " << c.example << "\n";
}

int refuse(const std::string& problem, const Command* c = nullptr) {
    std::cerr << "lumaro-mdb: " << problem << "\n";
    if (c) std::cerr << "uso: lumaro-mdb " << synopsis(*c) << "\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return refuse("falta la orden (lumaro-mdb --help las explica)");
    const std::string_view word = argv[1];
    if (word == "--help" || word == "-h") {
        help();
        return 0;
    }
    if (word == "--version" || word == "-v") {
        std::cout << "lumaro-mdb " << LUMARO_VERSION << "\n";
        return 0;
    }
    for (const Command& c : kCommands) {
        if (word != c.name) continue;
        Args args;
        for (int i = 2; i < argc; ++i) {
            const std::string_view a = argv[i];
            const bool option = a.size() > 2 && a.substr(0, 2) == "--";
            if (option && std::find(c.options.begin(), c.options.end(), a) == c.options.end())
                return refuse(
                    std::string(c.name) + ": opcion desconocida \"" + std::string(a) + "\"", &c);
            (option ? args.options : args.positional).emplace_back(a);
        }
        if (args.size() != c.argumentCount)
            return refuse(std::string(c.name) + " espera " + std::to_string(c.argumentCount) +
                              " argumento(s) (" + c.arguments + "), recibio " +
                              std::to_string(args.size()),
                          &c);
        if (args.options.size() > 1)
            return refuse(std::string(c.name) + ": una sola opcion a la vez", &c);
        return c.run(args);
    }
    return refuse("orden desconocida \"" + std::string(word) + "\" (lumaro-mdb --help las lista)");
}
