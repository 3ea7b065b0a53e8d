#include "jet/tool/Diagnosis.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>

#include "jet/JetFormat.h"

namespace lumaro::jet::tool {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFetchAgain =
    "la copia o la descarga que lo hizo no termino: vuelva a traerlo";

// The first line of a file that starts with text, for the operator to recognise it.
bool startsWithText(const std::string& head, std::string& firstLine) {
    const std::string line = head.substr(0, head.find_first_of("\r\n"));
    const bool text = !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x80 || std::isprint(u) || u == '\t';
    });
    firstLine = line.substr(0, 40);
    return text;
}

}  // namespace

std::string explainDamage(const std::string& message) {
    // The engine's words for a page the file does not reach (PageSource::page, usage maps).
    static const std::regex beyond(R"(page (\d+):? beyond the end of the file \((\d+) pages\))");
    std::smatch m;
    if (!std::regex_search(message, m, beyond)) return message;
    return "el archivo esta cortado: falta la pagina " + m[1].str() + " (el archivo termina tras " +
           m[2].str() + " paginas); " + kFetchAgain;
}

std::string explainUnreadable(const std::string& path, const Status& status) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st)) return "el archivo no existe";
    if (fs::is_directory(st)) return "es una carpeta, no un archivo Jet (.mdb)";
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return status.message();
    if (size == 0) return std::string("el archivo esta vacio (0 bytes); ") + kFetchAgain;
    std::string head(64, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    const std::size_t at = format::kHeaderMagicOffset;
    if (head.compare(at, 15, "Standard ACE DB") == 0) {
        return "es un archivo de Access 2007 o posterior (.accdb); solo se leen archivos Jet 4.0 "
               "(.mdb)";
    }
    if (head.compare(at, 15, format::kHeaderMagic) != 0) {
        std::string line;
        if (startsWithText(head, line))
            return "no es un archivo Jet 4.0 (empieza con texto: \"" + line + "\")";
        return "no es un archivo Jet 4.0 (le falta la marca \"Standard Jet DB\" al principio)";
    }
    if (size % format::kPageSize != 0 || size < 2 * format::kPageSize) {
        return "el archivo esta cortado: termina " + std::to_string(size % format::kPageSize) +
               " bytes dentro de la pagina " + std::to_string(size / format::kPageSize) +
               " (las paginas son de " + std::to_string(format::kPageSize) + " bytes); " +
               kFetchAgain;
    }
    return explainDamage(status.message());
}

std::string verdict(const std::vector<std::string>& problems) {
    for (const std::string& p : problems) {
        const std::string cut = explainDamage(p);
        if (cut != p) return cut;
    }
    // The engine's "table NAME: ..." or "table NAME, index (...): ...", with the first page the
    // problem names.
    static const std::regex table(R"(^table ([^,:]+)[,:])"), page(R"(page (\d+))");
    std::vector<std::string> places;
    for (const std::string& p : problems) {
        std::smatch m;
        std::string place =
            std::regex_search(p, m, table) ? "la tabla " + m[1].str() : "el archivo";
        if (std::regex_search(p, m, page)) place += " en la pagina " + m[1].str();
        if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
    }
    std::string where;
    for (std::size_t i = 0; i < places.size(); ++i) {
        where += (i == 0 ? "" : i + 1 == places.size() ? " y " : ", ") + places[i];
    }
    return "danado: " + where + " (" + std::to_string(problems.size()) +
           (problems.size() == 1 ? " problema" : " problemas") +
           " arriba); no lo fusione: pida a la tienda que lo escribio que lo envie de nuevo";
}

std::string soundWithNotes(std::size_t notes) {
    return "sano: todas las tablas de usuario se leen enteras; " +
           (notes == 1 ? std::string("la nota de arriba no es")
                       : "las " + std::to_string(notes) + " notas de arriba no son") +
           " dano: Access mismo deja esas huellas, y no se pierde ningun dato";
}

}  // namespace lumaro::jet::tool
