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
    "the copy or download that made it did not finish: fetch it again";

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
    return "the file is cut short: page " + m[1].str() + " is missing (the file ends after " +
           m[2].str() + " pages); " + kFetchAgain;
}

std::string explainUnreadable(const std::string& path, const Status& status) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st)) return "the file does not exist";
    if (fs::is_directory(st)) return "this is a folder, not a Jet (.mdb) file";
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return status.message();
    if (size == 0) return std::string("the file is empty (0 bytes); ") + kFetchAgain;
    std::string head(64, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    const std::size_t at = format::kHeaderMagicOffset;
    if (head.compare(at, 15, "Standard ACE DB") == 0) {
        return "an Access 2007 or later (.accdb) file; only Jet 4.0 (.mdb) files are read";
    }
    if (head.compare(at, 15, format::kHeaderMagic) != 0) {
        std::string line;
        if (startsWithText(head, line))
            return "not a Jet 4.0 file (it starts with text: \"" + line + "\")";
        return "not a Jet 4.0 file (it lacks the \"Standard Jet DB\" mark at its start)";
    }
    if (size % format::kPageSize != 0 || size < 2 * format::kPageSize) {
        return "the file is cut short: it ends " + std::to_string(size % format::kPageSize) +
               " bytes into page " + std::to_string(size / format::kPageSize) + " (pages are " +
               std::to_string(format::kPageSize) + " bytes); " + kFetchAgain;
    }
    return explainDamage(status.message());
}

std::string verdict(const std::vector<std::string>& problems) {
    for (const std::string& p : problems) {
        const std::string cut = explainDamage(p);
        if (cut != p) return cut;
    }
    // "table NAME: ..." or "table NAME, index (...): ...", with the first page the problem names.
    static const std::regex table(R"(^table ([^,:]+)[,:])"), page(R"(page (\d+))");
    std::vector<std::string> places;
    for (const std::string& p : problems) {
        std::smatch m;
        std::string place = std::regex_search(p, m, table) ? "table " + m[1].str() : "the file";
        if (std::regex_search(p, m, page)) place += " at page " + m[1].str();
        if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
    }
    std::string where;
    for (std::size_t i = 0; i < places.size(); ++i) {
        where += (i == 0 ? "" : i + 1 == places.size() ? " and " : ", ") + places[i];
    }
    return "damaged: " + where + " (" + std::to_string(problems.size()) +
           (problems.size() == 1 ? " problem" : " problems") +
           " above); do not merge it: ask the store that wrote it to send it again";
}

std::string soundWithNotes(std::size_t notes) {
    return "sound: every user table reads whole; " +
           (notes == 1 ? std::string("the note above is")
                       : "the " + std::to_string(notes) + " notes above are") +
           " not damage: Access itself leaves such traces, and no data is lost";
}

}  // namespace lumaro::jet::tool
