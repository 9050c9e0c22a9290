// The program's texts, from the string table in the user's language.
#pragma once

#include <string>

namespace portiq {

// The text of string id in the first language whose string-table block exists: the
// user's default language, then 0x0400, 0x0800 and 0x0409. Converted to the ANSI code
// page with a blank for every character it lacks; empty when no language has the block,
// the entry is missing, or the text needs more than 999 bytes.
std::string LoadLangString(unsigned id);

}  // namespace portiq
