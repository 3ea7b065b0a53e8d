#pragma once
// What lumaro-mdb tells an operator about a file it cannot read or finds damaged: one sentence
// that names the problem and what to do about it, in place of the engine's technical detail
// where the file itself shows the cause (missing, empty, text, cut short).

#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet::tool {

// Why the file at `path` could not be opened, given the engine's `status`: looks at the file
// (exists, size, first bytes) and falls back to the engine's message.
std::string explainUnreadable(const std::string& path, const Status& status);

// An engine message about damage met while reading, rewritten as "el archivo esta cortado: ..."
// when it is a page beyond the end of the file; otherwise unchanged.
std::string explainDamage(const std::string& message);

// The closing line of check for a damaged file (the damage one sentence each, as the checker
// gives it): cut short, or damaged in which tables at which pages, and what to do.
std::string verdict(const std::vector<std::string>& problems);

// The closing line of check for a file with notes and no damage.
std::string soundWithNotes(std::size_t notes);

}  // namespace lumaro::jet::tool
