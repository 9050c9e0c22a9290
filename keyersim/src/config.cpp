#include "config.h"

#include <cstdlib>

namespace keyersim {

namespace {

bool parseInt(const std::string& text, long lo, long hi, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != 0 || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

// The comma-separated items of a value, split as std::getline would split them (an empty
// item between two commas counts, none after a final comma) but without a stringstream,
// whose locale and stream code would make up most of the DLL.
std::vector<std::string> commaItems(const std::string& text) {
    std::vector<std::string> items;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

}  // namespace

bool parsePorts(const std::string& text, std::vector<int>& ports) {
    if (text == "none") {
        ports.clear();
        return true;
    }
    std::vector<int> result;
    for (const std::string& item : commaItems(text)) {
        std::size_t dash = item.find('-');
        int lo = 0;
        int hi = 0;
        if (dash == std::string::npos) {
            if (!parseInt(item, 1, 255, lo)) return false;
            hi = lo;
        } else if (!parseInt(item.substr(0, dash), 1, 255, lo) ||
                   !parseInt(item.substr(dash + 1), 1, 255, hi) || hi < lo) {
            return false;
        }
        for (int p = lo; p <= hi; ++p) result.push_back(p);
    }
    if (result.empty()) return false;
    ports = result;
    return true;
}

bool parseButtons(const std::string& text, std::vector<ButtonPress>& buttons) {
    std::vector<ButtonPress> result;
    for (const std::string& item : commaItems(text)) {
        std::size_t at = item.find('@');
        int button = 0;
        int ms = 0;
        if (at == std::string::npos || !parseInt(item.substr(0, at), 1, 4, button) ||
            !parseInt(item.substr(at + 1), 0, 86400000, ms))
            return false;
        result.push_back(ButtonPress{button, static_cast<double>(ms)});
    }
    if (result.empty()) return false;
    buttons = result;
    return true;
}

bool parseTimeScale(const std::string& text, double& scale) {
    if (text.empty()) return false;
    char* end = nullptr;
    double s = std::strtod(text.c_str(), &end);
    if (*end != 0 || !(s >= 0.01 && s <= 10000)) return false;
    scale = s;
    return true;
}

Config Config::fromEnvironment() {
    Config c;
    int v = 0;
    if (parseInt(environmentValue("KEYERSIM_REVISION"), 0, 255, v)) c.revision = v;
    if (parseInt(environmentValue("KEYERSIM_POT"), 1, 255, v)) c.potWpm = v;
    parsePorts(environmentValue("KEYERSIM_PORTS"), c.ports);
    parseTimeScale(environmentValue("KEYERSIM_TIMESCALE"), c.timeScale);
    parseButtons(environmentValue("KEYERSIM_BUTTONS"), c.buttons);
    c.tracePath = environmentValue("KEYERSIM_TRACE");
    if (parseInt(environmentValue("KEYERSIM_OPEN_RESULT"), -128, 127, v)) c.openResult = v;
    return c;
}

}  // namespace keyersim
