#include "devtree/box_models.h"

namespace portiq {

std::string ModelWord(const std::string& text) {
    static const std::string kMaker = "Tavrilink ";
    for (const ModelRow& row : g_szModelNames) {
        if (text.find(row.name) == std::string::npos) continue;
        const std::string name = row.name;
        const std::size_t end = name.find(' ', kMaker.size());
        return name.substr(kMaker.size(), end == std::string::npos ? std::string::npos : end - kMaker.size());
    }
    return {};
}

}  // namespace portiq
