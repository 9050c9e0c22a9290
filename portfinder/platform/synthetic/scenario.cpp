#include "platform/synthetic/scenario.h"

#include <fstream>
#include <map>
#include <vector>

#include "devtree/ansi_text.h"
#include "platform/synthetic/code_pages.h"

namespace portiq::synthetic {
namespace {

struct Line {
    int number = 0;
    int indent = 0;
    std::string keyword;
    std::vector<std::string> words;             // plain words after the keyword
    std::map<std::string, std::string> values;  // key=value pairs
};

bool Fail(std::string& error, int line, const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

// Splits one line into its keyword, words and key=value pairs.
bool Tokenise(const std::string& text, int number, Line& line, std::string& error) {
    line.number = number;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] == '\t') return Fail(error, number, "indent with spaces, not tabs");
    line.indent = static_cast<int>(i);
    bool first = true;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            ++i;
            continue;
        }
        if (text[i] == '#') break;
        std::string key;
        std::string value;
        bool hasValue = false;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '=' && text[i] != '"' && text[i] != '\r') {
            key += text[i++];
        }
        if (i < text.size() && text[i] == '=') {
            hasValue = true;
            ++i;
            if (i < text.size() && text[i] == '"') {
                const std::size_t close = text.find('"', i + 1);
                if (close == std::string::npos) return Fail(error, number, "a quoted text has no closing quote");
                value = text.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '"' && text[i] != '\r') {
                    value += text[i++];
                }
            }
        } else if (i < text.size() && text[i] == '"') {
            return Fail(error, number, "a quoted text must follow key=");
        }
        if (first) {
            if (hasValue) return Fail(error, number, "a line starts with a keyword, not with " + key + "=");
            line.keyword = key;
            first = false;
        } else if (hasValue) {
            if (line.values.count(key)) return Fail(error, number, "key " + key + " given twice");
            line.values[key] = value;
        } else {
            line.words.push_back(key);
        }
    }
    return true;
}

bool ParseNumber(const std::string& text, unsigned long long limit, unsigned long long& number) {
    if (text.empty()) return false;
    int base = 10;
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) base = 16, start = 2;
    number = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (digit >= base) return false;
        number = number * base + digit;
        if (number > limit) return false;
    }
    return true;
}

class Loader {
public:
    Loader(SyntheticMachine& machine, std::string& error) : machine_(machine), error_(error) {}

    bool Load(std::istream& in) {
        std::vector<Line> lines;
        std::string text;
        for (int number = 1; std::getline(in, text); ++number) {
            Line line;
            if (!Tokenise(text, number, line, error_)) return false;
            if (!line.keyword.empty()) lines.push_back(std::move(line));
        }
        // The machine's language settings come first: they decide how texts convert.
        for (const Line& line : lines) {
            if (!Setting(line)) return false;
        }
        if (codePage_) machine_.system.codePage = codePage_;
        for (const Line& line : lines) {
            if (!Content(line)) return false;
        }
        return true;
    }

private:
    bool Setting(const Line& line) {
        const std::string& k = line.keyword;
        if (k != "language" && k != "system-language" && k != "codepage" && k != "arguments" && k != "hold") return true;
        if (line.indent != 0) return Fail(error_, line.number, k + " is not indented");
        if (line.words.size() != 1 || !line.values.empty()) return Fail(error_, line.number, k + " takes one value");
        const std::string& word = line.words[0];
        unsigned long long number = 0;
        if (k == "hold") {
            SyntheticSystem& s = machine_.system;
            if (word == "none") s.shiftHeld = s.controlHeld = false;
            else if (word == "shift") s.shiftHeld = true, s.controlHeld = false;
            else if (word == "ctrl") s.shiftHeld = false, s.controlHeld = true;
            else if (word == "shift+ctrl") s.shiftHeld = s.controlHeld = true;
            else return Fail(error_, line.number, "hold takes none, shift, ctrl or shift+ctrl");
            return true;
        }
        if (k == "arguments") {
            if (!ParseNumber(word, 1000, number)) return Fail(error_, line.number, "arguments takes a count up to 1000");
            machine_.system.argumentCount = static_cast<int>(number) + 1;
            return true;
        }
        if (k == "codepage") {
            if (word != "1251" && word != "1252") return Fail(error_, line.number, "codepage is 1251 or 1252");
            codePage_ = static_cast<unsigned>(std::stoul(word));
            return true;
        }
        if (!ParseNumber(word, 0xFFFF, number)) return Fail(error_, line.number, k + " takes a language id");
        if (k == "language") {
            machine_.system.SetUserLanguage(static_cast<LANGID>(number));
            if (!systemLanguageGiven_) machine_.system.systemLanguage = static_cast<LANGID>(number);
        } else {
            machine_.system.systemLanguage = static_cast<LANGID>(number);
            systemLanguageGiven_ = true;
        }
        return true;
    }

    bool Content(const Line& line) {
        if (line.keyword == "node") return Node(line);
        if (line.keyword == "sound") return Sound(line);
        if (line.keyword == "usb") return Usb(line);
        if (line.keyword == "language" || line.keyword == "system-language" || line.keyword == "codepage" ||
            line.keyword == "arguments" || line.keyword == "hold") {
            return true;
        }
        return Fail(error_, line.number, "unknown keyword " + line.keyword);
    }

    bool OnlyKeys(const Line& line, std::initializer_list<const char*> keys) {
        if (!line.words.empty()) return Fail(error_, line.number, "unexpected word " + line.words[0]);
        for (const auto& [key, value] : line.values) {
            bool known = false;
            for (const char* k : keys) known = known || key == k;
            if (!known) return Fail(error_, line.number, "unknown key " + key + " for " + line.keyword);
        }
        return true;
    }

    std::string Ansi(const std::string& utf8) const { return Utf8ToCodePage(machine_.system.codePage, utf8); }

    // What the descriptor trace captures of a USB text: units up to U+00FF as bytes,
    // the text cut before the first unit above.
    static std::string Latin1Prefix(const std::string& utf8) {
        std::string text;
        for (char16_t unit : Utf8ToWide(utf8)) {
            if (unit > 0xFF) break;
            text += static_cast<char>(unit);
        }
        return text;
    }

    bool Sound(const Line& line) {
        if (line.indent != 0) return Fail(error_, line.number, "sound is not indented");
        if (!OnlyKeys(line, {"wavein", "name", "interface"})) return false;
        CSbRecord record;
        unsigned long long number = machine_.soundRecords.size();
        if (line.values.count("wavein") && !ParseNumber(line.values.at("wavein"), 0x7FFFFFFF, number)) {
            return Fail(error_, line.number, "wavein takes a device number");
        }
        record.nWaveIn = static_cast<int>(number);
        if (line.values.count("name")) record.strName = Ansi(line.values.at("name")).substr(0, 31);
        if (line.values.count("interface")) record.strInterface = UpperCaseAscii(Ansi(line.values.at("interface")));
        machine_.soundRecords.push_back(record);
        return true;
    }

    bool Usb(const Line& line) {
        if (line.indent != 0) return Fail(error_, line.number, "usb is not indented");
        if (!OnlyKeys(line, {"hc", "port", "product", "serial", "driver"})) return false;
        UsbDeviceRecord record;
        unsigned long long number = 0;
        if (line.values.count("hc")) {
            if (!ParseNumber(line.values.at("hc"), 9, number)) return Fail(error_, line.number, "hc takes 0 to 9");
            record.nHostController = static_cast<int>(number);
        }
        if (line.values.count("port")) {
            if (!ParseNumber(line.values.at("port"), 255, number)) return Fail(error_, line.number, "port takes 1 to 255");
            record.nPort = static_cast<int>(number);
        }
        if (line.values.count("product")) record.strProduct = Latin1Prefix(line.values.at("product"));
        if (line.values.count("serial")) record.strSerial = Latin1Prefix(line.values.at("serial"));
        if (line.values.count("driver")) record.strDriverKey = Latin1Prefix(line.values.at("driver"));
        machine_.usbRecords.push_back(record);
        return true;
    }

    bool Node(const Line& line) {
        if (!OnlyKeys(line, {"class", "name", "desc", "id", "driver", "handle"})) return false;
        if (!line.values.count("class")) return Fail(error_, line.number, "a node needs class=GUID or class=none");
        // Close the levels this line is not inside of.
        while (!open_.empty() && open_.back().indent >= line.indent) open_.pop_back();
        int parent = SyntheticDeviceTree::kNoParent;
        if (open_.empty()) {
            if (machine_.tree.NodeCount() > 0) return Fail(error_, line.number, "a second root: indent it under the first");
        } else {
            parent = open_.back().index;
        }
        if (static_cast<int>(open_.size()) >= kDeepestScenarioNode) {
            return Fail(error_, line.number, "nodes nest deeper than " + std::to_string(kDeepestScenarioNode));
        }
        SyntheticNode node;
        const auto& v = line.values;
        if (v.at("class") != "none") node.classGuid = Ansi(v.at("class"));
        if (v.count("name")) node.friendlyName = Ansi(v.at("name"));
        if (v.count("desc")) node.deviceDescription = Ansi(v.at("desc"));
        if (v.count("id")) node.deviceId = Ansi(v.at("id"));
        if (v.count("driver")) node.driverKey = Ansi(v.at("driver"));
        if (v.count("handle")) {
            unsigned long long handle = 0;
            if (!ParseNumber(v.at("handle"), 0xFFFFFFFF, handle) || handle == 0) {
                return Fail(error_, line.number, "handle takes a non-zero 32-bit number");
            }
            node.handle = static_cast<DEVINST>(handle);
        }
        const int index = machine_.tree.AddNode(parent, std::move(node));
        if (index < 0) return Fail(error_, line.number, "handle already taken");
        open_.push_back({line.indent, index});
        return true;
    }

    struct OpenNode {
        int indent;
        int index;
    };

    SyntheticMachine& machine_;
    std::string& error_;
    std::vector<OpenNode> open_;
    unsigned codePage_ = 0;
    bool systemLanguageGiven_ = false;
};

}  // namespace

bool LoadScenario(std::istream& in, SyntheticMachine& machine, std::string& error) {
    return Loader(machine, error).Load(in);
}

bool LoadScenarioFile(const std::string& path, SyntheticMachine& machine, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "can't open " + path;
        return false;
    }
    return LoadScenario(in, machine, error);
}

}  // namespace portiq::synthetic
