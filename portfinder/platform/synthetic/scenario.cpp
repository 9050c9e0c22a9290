// The scenario loader: reads a scenario (scenario.h, README.md) statement by statement into
// a synthetic machine, checking each word as it comes, and stops at the first mistake with
// its line number. Texts are UTF-8 in the file and are kept as the machine would hold them:
// in its ANSI code page, once the whole file has said which that is, or in UTF-16. What the
// writers (scenario_writer.h) write, this reads back to the same machine.
#include "platform/synthetic/scenario.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <unordered_set>
#include <sstream>
#include <vector>

#include "platform/synthetic/code_pages.h"
#include "platform/text.h"

namespace portiq::synthetic {
namespace {

// A keyword, key or plain word is short: the longest the format knows is 22 characters.
constexpr std::size_t kLongestWord = 64;
// Values are names, IDs and paths: a driver gives none longer than 64 KiB of UTF-16.
constexpr std::size_t kLongestValue = 1 << 20;
// The most bytes of a descriptor that any request can ask for (wLength).
constexpr std::size_t kMostDescriptorBytes = 0xFFFF;

enum class Keyword { Setting, ErrorText, NoTree, Node, Wave, HostController, Port, Device, Config, String, Fail };

// The keys of key=value pairs.
enum Key {
    kClass, kName, kDesc, kId, kDriver, kHandle, kInterface, kFail, kHub, kPorts, kStatus, kError, kLang, kText,
    kTimes, kDriverLength, kProblem, kBound, kGroup, kMode, kOpen, kModemManager, kKeys
};
const char* const kKeyNames[kKeys] = {"class", "name",  "desc",   "id",    "driver", "handle", "interface",
                                      "fail",  "hub",   "ports",  "status", "error", "lang",   "text",
                                      "times", "driver-length", "problem", "bound", "group", "mode",
                                      "open", "mm"};

constexpr std::uint32_t Keys(std::initializer_list<Key> keys) {
    std::uint32_t set = 0;
    for (Key key : keys) set |= 1u << key;
    return set;
}

// What a statement may hold. The reader checks each word of a line against it as the
// word is read, so a line of any length fails at the first word it can't take.
struct Shape {
    const char* name;
    Keyword keyword;
    std::size_t words;      // plain words after the keyword
    std::size_t mostBytes;  // words after those are hex bytes, at most this many
    std::uint32_t keys;     // the keys it takes, one bit each
};

constexpr std::size_t kNoBytes = 0;

const Shape kShapes[] = {
    {"language", Keyword::Setting, 1, kNoBytes, 0},
    {"system-language", Keyword::Setting, 1, kNoBytes, 0},
    {"codepage", Keyword::Setting, 1, kNoBytes, 0},
    {"arguments", Keyword::Setting, 1, kNoBytes, 0},
    {"hold", Keyword::Setting, 1, kNoBytes, 0},
    {"os", Keyword::Setting, 1, kNoBytes, 0},
    {"error-text", Keyword::ErrorText, 1, kNoBytes, Keys({kText})},
    {"no-tree", Keyword::NoTree, 0, kNoBytes, Keys({kError})},
    {"node", Keyword::Node, 0, kNoBytes,
     Keys({kClass, kName, kDesc, kId, kDriver, kHandle, kStatus, kProblem, kBound, kGroup, kMode, kOpen, kModemManager})},
    {"wavein", Keyword::Wave, 0, kNoBytes, Keys({kName, kInterface, kFail})},
    {"waveout", Keyword::Wave, 0, kNoBytes, Keys({kName, kInterface, kFail})},
    {"hc", Keyword::HostController, 1, kNoBytes, Keys({kDriver, kHub, kPorts, kInterface, kDriverLength})},
    {"port", Keyword::Port, 2, kNoBytes, Keys({kHub, kPorts, kDriver, kStatus, kDriverLength})},
    {"device", Keyword::Device, 0, sizeof(UsbDeviceDescriptor), 0},
    {"config", Keyword::Config, 0, kMostDescriptorBytes, 0},
    {"string", Keyword::String, 1, kMostDescriptorBytes, Keys({kLang, kText, kTimes})},
    {"fail", Keyword::Fail, 2, kNoBytes, Keys({kError, kLang, kTimes})},
};

// One statement: its keyword, plain words, bytes and key=value pairs.
struct Statement {
    std::uint64_t line = 0;
    std::size_t indent = 0;
    const Shape* shape = nullptr;  // nullptr: the line holds no statement
    std::string keyword;
    std::vector<std::string> words;
    std::vector<std::uint8_t> bytes;
    std::array<std::string, kKeys> values;
    std::uint32_t given = 0;  // the keys given, one bit each

    bool Has(Key key) const { return (given >> key) & 1; }
    const std::string& Value(Key key) const { return values[key]; }
};

std::string Fault(std::uint64_t line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

// The texts a machine keeps in its code page; the others are UTF-16 (USB names and
// strings, a wave device's path) or a Linux system's own.
bool IsCodePageText(Keyword keyword, int key) {
    switch (keyword) {
        case Keyword::Node: return key == kClass || key == kName || key == kDesc || key == kId || key == kDriver;
        case Keyword::Wave: return key == kName;
        case Keyword::ErrorText: return key == kText;
        case Keyword::HostController: return key == kInterface;
        default: return false;
    }
}

// In such a text \x80 to \xFF stand for a byte, which the code page makes a character
// only once the file's end has settled it (U+00HH in 1251 and 1252; on UTF-8 the byte
// itself, as a name cut inside a letter holds it). Until then the byte is held as the
// lone surrogate U+DC80 to U+DCFF, which no UTF-8 value can hold.
void AppendEscapedByte(std::string& value, int byte) {
    const int held = 0xDC00 + byte;
    value += static_cast<char>(0xE0 | (held >> 12));
    value += static_cast<char>(0x80 | ((held >> 6) & 0x3F));
    value += static_cast<char>(0x80 | (held & 0x3F));
}

// The byte held at text[at], or -1 where none is.
int EscapedByteAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (at + 2 >= text.size() || byte(at) != 0xED || (byte(at + 1) != 0xB2 && byte(at + 1) != 0xB3)) return -1;
    return ((byte(at + 1) & 0x3F) << 6 | (byte(at + 2) & 0x3F)) & 0xFF;
}

// A code-page text as it is read, each held byte as the character U+00HH.
std::u16string CodePageTextToWide(const std::string& text) {
    std::u16string wide;
    std::size_t literal = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const int byte = EscapedByteAt(text, at);
        if (byte < 0) continue;
        wide += Utf8ToWide(text.substr(literal, at - literal)) + static_cast<char16_t>(byte);
        at += 2;
        literal = at + 1;
    }
    return wide + Utf8ToWide(text.substr(literal));
}

// A code-page text as the machine keeps it.
std::string CodePageText(unsigned codePage, const std::string& text) {
    if (codePage != kCpUtf8) return Utf8ToCodePage(codePage, WideToUtf8(CodePageTextToWide(text)));
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const int byte = EscapedByteAt(text, at);
        bytes += byte < 0 ? text[at] : static_cast<char>(byte);
        if (byte >= 0) at += 2;
    }
    return bytes;
}

// Reads a scenario line by line, and each line word by word, straight from the stream:
// neither the file nor a whole line is ever held, and a line stops being read at its
// first fault. Blanks between words are spaces, tabs and carriage returns; any other
// control character (NUL included) is a fault, inside a quoted text too, so that every
// value a machine holds can be written out again as it is.
class StatementReader {
public:
    StatementReader(std::streambuf& in, std::uint64_t firstLine) : in_(in), nextLine_(firstLine) {}

    enum class Result { Statement, End, Fault };

    // Whether a value read so far holds a byte of 0x80 or more (text to convert).
    bool nonAscii() const { return nonAscii_; }

    // The next line's statement (shape nullptr for a blank or comment line); End when
    // the input is used up, Fault with error set.
    Result Next(Statement& statement, std::string& error) {
        if (Peek() == kEnd) return Result::End;
        statement.line = nextLine_++;
        statement.shape = nullptr;
        statement.keyword.clear();
        statement.words.clear();
        statement.bytes.clear();
        statement.given = 0;
        statement.indent = 0;
        while (Peek() == ' ') Take(), ++statement.indent;
        if (Peek() == '\t') return Failed(statement, error, "indent with spaces, not tabs");
        for (;;) {
            int c = Peek();
            while (c == ' ' || c == '\t' || c == '\r') Take(), c = Peek();
            if (c == '\n' || c == kEnd) break;
            if (c == '#') {
                SkipLine();
                return Result::Statement;
            }
            if (!Word(statement, error)) return Result::Fault;
        }
        Take();
        return Result::Statement;
    }

private:
    static constexpr int kEnd = std::char_traits<char>::eof();

    // The stream is read in blocks of its own: a byte at a time through the stream
    // buffer's calls took twice as long.
    int Peek() {
        if (at_ == end_ && !Refill()) return kEnd;
        return static_cast<unsigned char>(*at_);
    }
    void Take() {
        if (at_ != end_) ++at_;
    }
    bool Refill() {
        const std::streamsize read = in_.sgetn(block_.data(), static_cast<std::streamsize>(block_.size()));
        at_ = block_.data();
        end_ = at_ + (read > 0 ? read : 0);
        return at_ != end_;
    }
    static bool IsControl(int c) { return c >= 0 && c < 0x20; }

    void SkipLine() {
        for (int c = Peek(); c != '\n' && c != kEnd; c = Peek()) Take();
        Take();
    }

    Result Failed(const Statement& statement, std::string& error, const std::string& what) {
        error = Fault(statement.line, what);
        return Result::Fault;
    }
    bool Fails(const Statement& statement, std::string& error, const std::string& what) {
        error = Fault(statement.line, what);
        return false;
    }
    bool ControlCharacter(const Statement& statement, std::string& error, int c, const char* where) {
        char text[48];
        std::snprintf(text, sizeof text, "control character 0x%02X%s", static_cast<unsigned>(c), where);
        return Fails(statement, error, text);
    }

    // Appends to text the bytes from here on that ordinary accepts, as long as text
    // holds fewer than limit; stops before the first other byte.
    template <typename Ordinary>
    void Run(std::string& text, std::size_t limit, Ordinary ordinary) {
        for (;;) {
            if (at_ == end_ && !Refill()) return;
            const std::size_t room = limit - text.size();
            const char* last = at_ + std::min(static_cast<std::size_t>(end_ - at_), room);
            const char* stop = at_;
            while (stop != last && ordinary(static_cast<unsigned char>(*stop))) ++stop;
            text.append(at_, stop);
            const bool blockUsedUp = stop == end_;
            at_ = stop;
            if (!blockUsedUp) return;
        }
    }

    // One word, key=word or key="text", and what it means for the statement.
    bool Word(Statement& statement, std::string& error) {
        word_.clear();
        auto ordinary = [](unsigned char c) { return c > ' ' && c != '=' && c != '"'; };
        Run(word_, kLongestWord, ordinary);
        const int c = Peek();
        if (c != kEnd && ordinary(static_cast<unsigned char>(c))) {
            return Fails(statement, error, "a word of more than 64 characters");
        }
        if (IsControl(c) && c != '\t' && c != '\r' && c != '\n') return ControlCharacter(statement, error, c, "");
        if (c == '"') return Fails(statement, error, "a quoted text must follow key=");
        if (c != '=') return statement.shape ? PlainWord(statement, error) : Keyword(statement, error);
        Take();
        if (!statement.shape) return Fails(statement, error, "a line starts with a keyword, not with " + word_ + "=");
        int key = 0;
        while (key < kKeys && word_ != kKeyNames[key]) ++key;
        if (key == kKeys || !((statement.shape->keys >> key) & 1)) return Fails(statement, error, UnknownKey(statement));
        if (statement.Has(static_cast<Key>(key))) return Fails(statement, error, "key " + word_ + " given twice");
        statement.given |= 1u << key;
        return Value(statement, statement.values[key], IsCodePageText(statement.shape->keyword, key), error);
    }

    // A value: a word, a quoted text taken as it stands, or E"..." with escapes. Texts
    // are UTF-8; their control characters come only from escapes.
    bool Value(const Statement& statement, std::string& value, bool codePageText, std::string& error) {
        value.clear();
        const bool quoted = Peek() == '"';
        if (quoted) {
            Take();
            Run(value, kLongestValue, [](unsigned char c) { return c >= ' ' && c != '"'; });
        } else {
            Run(value, kLongestValue, [](unsigned char c) { return c > ' ' && c != '"'; });
        }
        int c = Peek();
        if (!quoted && c == '"' && value == "E") {
            Take();
            value.clear();
            return EscapedText(statement, value, codePageText, error);
        }
        if (quoted && c == '"') {
            Take();
            return Utf8(statement, value, error);
        }
        if (c == '\n' || c == kEnd) {
            return quoted ? Fails(statement, error, "a quoted text has no closing quote") : Utf8(statement, value, error);
        }
        if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '"')) return Utf8(statement, value, error);
        if (IsControl(c)) return ControlCharacter(statement, error, c, " in a value");
        return Fails(statement, error, "a value of more than 1048576 bytes");
    }

    // The rest of E"...": \" a quote, \\ a backslash, \t \r \n, \xHH the character
    // U+00HH (not NUL), or in a code-page text a byte (AppendEscapedByte); every other
    // character as it stands. What stands between those bytes is UTF-8 in itself.
    bool EscapedText(const Statement& statement, std::string& value, bool codePageText, std::string& error) {
        held_.clear();  // where each held byte starts
        for (;;) {
            Run(value, kLongestValue, [](unsigned char c) { return c >= ' ' && c != '"' && c != '\\'; });
            const int c = Peek();
            if (c == '"') {
                Take();
                held_.push_back(value.size());
                for (std::size_t i = 0, from = 0; i < held_.size(); from = held_[i++] + 3) {
                    if (!Utf8(statement, value, from, held_[i], 2 * i, error)) return false;
                }
                return true;
            }
            if (c == '\n' || c == kEnd) return Fails(statement, error, "a quoted text has no closing quote");
            if (IsControl(c)) return ControlCharacter(statement, error, c, " in a value");
            if (value.size() >= kLongestValue) return Fails(statement, error, "a value of more than 1048576 bytes");
            Take();  // the backslash
            const int e = Peek();
            Take();
            int character = e == '"' ? '"' : e == '\\' ? '\\' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : -1;
            if (e == 'x') {
                const int high = HexDigit(static_cast<char>(Peek()));
                Take();
                const int low = HexDigit(static_cast<char>(Peek()));
                Take();
                character = high < 0 || low < 0 ? -1 : high * 16 + low;
            }
            if (character < 0) return Fails(statement, error, "an escape is \\\", \\\\, \\t, \\r, \\n or \\x and two hex digits");
            if (character == 0) return Fails(statement, error, "\\x00 in a value: a text ends at its NUL");
            if (character < 0x80) {
                value += static_cast<char>(character);
            } else if (codePageText) {
                held_.push_back(value.size());
                AppendEscapedByte(value, character);
                nonAscii_ = true;
            } else {
                value += static_cast<char>(0xC0 | (character >> 6));
                value += static_cast<char>(0x80 | (character & 0x3F));
                nonAscii_ = true;
            }
        }
    }

    // A value is UTF-8 through and through: a malformed sequence would become characters
    // the value never showed (an overlong C0 81 a control character, C0 80 a NUL).
    bool Utf8(const Statement& statement, const std::string& value, std::string& error) {
        return Utf8(statement, value, 0, value.size(), 0, error);
    }
    // The part from up to end, between two bytes an E"..." text holds; a fault's place
    // counts each held byte before it as one (shift: the bytes more that they take).
    bool Utf8(const Statement& statement, const std::string& value, std::size_t from, std::size_t end, std::size_t shift,
              std::string& error) {
        const bool ascii = std::all_of(value.begin() + from, value.begin() + end, [](char c) { return (c & 0x80) == 0; });
        if (ascii) return true;
        nonAscii_ = true;
        const std::size_t malformed = FirstMalformedUtf8(std::string_view(value).substr(from, end - from));
        if (malformed == std::string::npos) return true;
        const std::size_t at = from + malformed;
        char text[64];
        std::snprintf(text, sizeof text, "a value that isn't UTF-8 (byte 0x%02X at %zu)",
                      static_cast<unsigned>(static_cast<unsigned char>(value[at])), at + 1 - shift);
        return Fails(statement, error, text);
    }

    bool Keyword(Statement& statement, std::string& error) {
        for (const Shape& shape : kShapes) {
            if (word_ == shape.name) {
                statement.shape = &shape;
                statement.keyword = word_;
                return true;
            }
        }
        if (word_ == "sound" || word_ == "usb") {
            return Fails(statement, error, word_ + " lines are no longer read: describe the hardware with wavein, hc and port");
        }
        return Fails(statement, error, "unknown keyword " + word_);
    }

    bool PlainWord(Statement& statement, std::string& error) {
        const Shape& shape = *statement.shape;
        if (statement.words.size() < shape.words) {
            statement.words.push_back(word_);
            return true;
        }
        if (shape.mostBytes == kNoBytes) return Fails(statement, error, TooManyWords(statement));
        const int high = word_.size() == 2 ? HexDigit(word_[0]) : -1, low = word_.size() == 2 ? HexDigit(word_[1]) : -1;
        if (high < 0 || low < 0) return Fails(statement, error, "bytes are two hex digits each, not " + word_);
        if (statement.bytes.size() == shape.mostBytes) return Fails(statement, error, TooManyBytes(statement));
        statement.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        return true;
    }

    std::string TooManyWords(const Statement& statement) const {
        switch (statement.shape->keyword) {
            case Keyword::Setting: return statement.keyword + " takes one value";
            case Keyword::HostController: return "hc takes its number, 0 to 9";
            case Keyword::ErrorText: return "error-text takes an error code and text=";
            case Keyword::Port: return "port takes its number, 1 to 255, and perhaps the word device";
            case Keyword::Fail: return "fail takes a request and perhaps its string index";
            default: return "unexpected word " + word_;
        }
    }

    std::string TooManyBytes(const Statement& statement) const {
        switch (statement.shape->keyword) {
            case Keyword::Device: return "a device descriptor has 18 bytes";
            case Keyword::Config: return "a configuration line holds at most 65535 bytes";
            default: return "a string descriptor holds at most 65535 bytes";
        }
    }

    std::string UnknownKey(const Statement& statement) const {
        switch (statement.shape->keyword) {
            case Keyword::Setting: return statement.keyword + " takes one value";
            case Keyword::Device:
            case Keyword::Config: return statement.keyword + " takes bytes only";
            default: return "unknown key " + word_ + " for " + statement.keyword;
        }
    }

    std::streambuf& in_;
    std::array<char, 1 << 16> block_;
    const char* at_ = nullptr;
    const char* end_ = nullptr;
    std::uint64_t nextLine_;
    std::string word_;
    std::vector<std::size_t> held_;
    bool nonAscii_ = false;
};

class Loader {
public:
    Loader(SyntheticMachine& machine, std::string& error)
        : machine_(machine),
          error_(error),
          firstNode_(machine.tree.NodeCount()),
          firstInput_(machine.wave.devices.size()),
          firstOutput_(machine.wave.outputs.size()),
          firstController_(machine.usb.HostControllerCount()) {}

    // Statements one at a time, as they are read; then the machine's texts are put into
    // its code page, which only the last setting decides.
    bool Load(std::istream& in, const ScenarioOptions& options) {
        bool loaded = Read(in, options.firstLine);
        if (loaded && !options.appended.empty()) {
            std::istringstream appended(options.appended);
            loaded = Read(appended, nextLine_);
        }
        if (codePage_) machine_.system.codePage = codePage_;
        ConvertTexts();
        return loaded;
    }

private:
    bool Read(std::istream& in, std::uint64_t firstLine) {
        nextLine_ = firstLine;
        if (!in.rdbuf()) return true;
        StatementReader reader(*in.rdbuf(), firstLine);
        bool loaded = true;
        for (;;) {
            const StatementReader::Result result = reader.Next(line_, error_);
            if (result != StatementReader::Result::Statement) {
                loaded = result == StatementReader::Result::End;
                break;
            }
            nextLine_ = line_.line + 1;
            if (line_.shape && !Apply(line_)) {
                loaded = false;
                break;
            }
        }
        nonAscii_ = nonAscii_ || reader.nonAscii();
        return loaded;
    }

    bool Fail(const Statement& line, const std::string& what) {
        error_ = Fault(line.line, what);
        return false;
    }

    bool Apply(const Statement& line) {
        switch (line.shape->keyword) {
            case Keyword::Setting: return Setting(line);
            case Keyword::ErrorText: return ErrorText(line);
            case Keyword::NoTree: return NoTree(line);
            case Keyword::Node: return Node(line);
            case Keyword::Wave: return Wave(line);
            case Keyword::HostController: return HostController(line);
            case Keyword::Port: return Port(line);
            case Keyword::Device:
            case Keyword::Config:
            case Keyword::String: return Descriptor(line);
            case Keyword::Fail: return Failure(line);
        }
        return true;
    }

    // Texts read so far are UTF-8; the device tree's, the wave names, the error texts and
    // the interface paths are ANSI in the machine's code page.
    void ConvertTexts() {
        if (!nonAscii_) return;
        const unsigned codePage = machine_.system.codePage;
        auto convert = [codePage](std::string& text) {
            if (!IsAscii(text)) text = CodePageText(codePage, text);
        };
        machine_.tree.ConvertTexts(firstNode_, [codePage](const std::string& read) { return CodePageText(codePage, read); });
        for (std::size_t i = firstInput_; i < machine_.wave.devices.size(); ++i) convert(machine_.wave.devices[i].name);
        for (std::size_t i = firstOutput_; i < machine_.wave.outputs.size(); ++i) convert(machine_.wave.outputs[i].name);
        for (std::uint32_t code : errorTexts_) convert(machine_.system.errorTexts[code]);
        for (std::size_t i = firstController_; i < machine_.usb.HostControllerCount(); ++i) {
            convert(machine_.usb.HostControllerAt(i).interfacePath);
        }
    }

    // ---- settings: the later of a setting given twice holds ----

    bool Setting(const Statement& line) {
        const std::string& k = line.keyword;
        if (line.indent != 0) return Fail(line, k + " is not indented");
        if (line.words.size() != 1) return Fail(line, k + " takes one value");
        const std::string& word = line.words[0];
        unsigned long long number = 0;
        if (k == "hold") {
            SyntheticSystem& s = machine_.system;
            if (word == "none") s.shiftHeld = s.controlHeld = false;
            else if (word == "shift") s.shiftHeld = true, s.controlHeld = false;
            else if (word == "ctrl") s.shiftHeld = false, s.controlHeld = true;
            else if (word == "shift+ctrl") s.shiftHeld = s.controlHeld = true;
            else return Fail(line, "hold takes none, shift, ctrl or shift+ctrl");
            return true;
        }
        if (k == "os") {
            if (word != "windows" && word != "linux") return Fail(line, "os is windows or linux");
            machine_.isLinux = word == "linux";
            return true;
        }
        if (k == "arguments") {
            if (!ParseNumber(word, 1000, number)) return Fail(line, "arguments takes a count up to 1000");
            machine_.system.argumentCount = static_cast<int>(number) + 1;
            return true;
        }
        if (k == "codepage") {
            if (word != "1251" && word != "1252" && word != "65001")
                return Fail(line, "codepage is 1251, 1252 or 65001");
            codePage_ = static_cast<unsigned>(std::stoul(word));
            return true;
        }
        if (!ParseNumber(word, 0xFFFF, number)) return Fail(line, k + " takes a language id");
        if (k == "language") {
            machine_.system.SetUserLanguage(static_cast<LANGID>(number));
            if (!systemLanguageGiven_) machine_.system.systemLanguage = static_cast<LANGID>(number);
        } else {
            machine_.system.systemLanguage = static_cast<LANGID>(number);
            systemLanguageGiven_ = true;
        }
        return true;
    }

    // The system's text for an error code, as FormatMessage gives it (the later of two holds).
    bool ErrorText(const Statement& line) {
        if (line.indent != 0) return Fail(line, "error-text is not indented");
        unsigned long long code = 0;
        if (line.words.size() != 1 || !ParseNumber(line.words[0], 0xFFFFFFFF, code) || !line.Has(kText)) {
            return Fail(line, "error-text takes an error code and text=");
        }
        Enclosing(line);
        machine_.system.errorTexts[static_cast<std::uint32_t>(code)] = line.Value(kText);
        errorTexts_.insert(static_cast<std::uint32_t>(code));
        return true;
    }

    // A tree the configuration manager doesn't locate, with the CONFIGRET it gives.
    bool NoTree(const Statement& line) {
        if (line.indent != 0) return Fail(line, "no-tree is not indented");
        unsigned long long code = kCrNoSuchDevnode;
        if (line.Has(kError) && !ParseNumber(line.Value(kError), 0xFFFFFFFF, code)) return Fail(line, "error takes an error code");
        Enclosing(line);
        machine_.tree.rootError = static_cast<CONFIGRET>(code);
        return true;
    }

    bool Number(const Statement& line, const std::string& text, unsigned long long limit, const std::string& what,
                unsigned long long& number) {
        if (!ParseNumber(text, limit, number)) return Fail(line, what);
        return true;
    }

    // A 32-bit number given with key, into value; true when the key isn't given.
    bool OptionalNumber(const Statement& line, Key key, std::optional<std::uint32_t>& value) {
        if (!line.Has(key)) return true;
        unsigned long long number = 0;
        if (!Number(line, line.Value(key), 0xFFFFFFFF, std::string(kKeyNames[key]) + " takes a 32-bit number", number)) {
            return false;
        }
        value = static_cast<std::uint32_t>(number);
        return true;
    }

    // ---- indentation: every statement belongs to the nearest less indented one above ----

    enum class Kind { Node, HostController, Port };
    struct Frame {
        std::size_t indent;
        Kind kind;
        int index;      // node index, host controller index, or port number
        int hub;        // the hub a host controller's or a port's children are ports of, or -1
        int parentHub;  // a port's own hub
    };

    // Closes the levels this line is not inside of; the enclosing statement, or nullptr.
    const Frame* Enclosing(const Statement& line) {
        while (!open_.empty() && open_.back().indent >= line.indent) open_.pop_back();
        return open_.empty() ? nullptr : &open_.back();
    }

    bool Nested(const Statement& line) {
        if (static_cast<int>(open_.size()) >= kDeepestScenarioNode) {
            return Fail(line, "statements nest deeper than " + std::to_string(kDeepestScenarioNode));
        }
        return true;
    }

    static std::string KindName(Kind kind) {
        return kind == Kind::Node ? "a node" : kind == Kind::HostController ? "hc" : "a port";
    }

    // ---- the device tree ----

    // What CM_Get_DevNode_Status answers: status= the DN_* flags, problem= a CM_PROB_*
    // number, which sets DN_HAS_PROBLEM unless status says otherwise.
    bool NodeState(const Statement& line, SyntheticNode& node) {
        std::optional<std::uint32_t> status, problem;
        if (!OptionalNumber(line, kStatus, status) || !OptionalNumber(line, kProblem, problem)) return false;
        node.problem = problem.value_or(0);
        node.status = status.value_or(node.problem ? kDnHasProblem : kDnDriverLoaded | kDnStarted);
        return true;
    }

    // A Unix system's facts: bound= the driver an interface has; for a serial port's
    // device node group=, mode= (octal), open=yes|no (this user may open it) and
    // mm=candidate|ignored (what udev told the modem manager).
    bool UnixFacts(const Statement& line, SyntheticNode& node) {
        if (line.Has(kBound)) node.boundDriver = line.Value(kBound);
        if (!line.Has(kGroup) && !line.Has(kMode) && !line.Has(kOpen) && !line.Has(kModemManager)) return true;
        UnixPortNode port;
        port.group = line.Value(kGroup);
        const std::string& mode = line.Value(kMode);
        const bool octal = mode.size() <= 4 && std::all_of(mode.begin(), mode.end(), [](char c) { return c >= '0' && c <= '7'; });
        if (line.Has(kMode) && (mode.empty() || !octal)) return Fail(line, "mode takes octal permission bits");
        port.mode = mode.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(mode, nullptr, 8));
        const std::string& open = line.Value(kOpen);
        if (line.Has(kOpen) && open != "yes" && open != "no") return Fail(line, "open is yes or no");
        port.userMayOpen = open != "no";
        const std::string& mm = line.Value(kModemManager);
        if (line.Has(kModemManager) && mm != "candidate" && mm != "ignored") return Fail(line, "mm is candidate or ignored");
        port.modemManagerCandidate = line.Has(kModemManager);
        port.modemManagerIgnores = mm == "ignored";
        node.portNode = port;
        return true;
    }

    bool Node(const Statement& line) {
        if (!line.Has(kClass)) return Fail(line, "a node needs class=GUID or class=none");
        const Frame* parent = Enclosing(line);
        if (parent && parent->kind != Kind::Node) return Fail(line, "a node can't stand under " + KindName(parent->kind));
        if (!parent && machine_.tree.NodeCount() > 0) return Fail(line, "a second root: indent it under the first");
        if (static_cast<int>(open_.size()) >= kDeepestScenarioNode) {
            return Fail(line, "nodes nest deeper than " + std::to_string(kDeepestScenarioNode));
        }
        SyntheticNode node;
        auto take = [&](Key key, std::optional<std::string>& text) {
            if (line.Has(key)) text = line.Value(key);
        };
        if (line.Value(kClass) != "none") node.classGuid = line.Value(kClass);
        take(kName, node.friendlyName);
        take(kDesc, node.deviceDescription);
        take(kId, node.deviceId);
        take(kDriver, node.driverKey);
        if (line.Has(kHandle)) {
            unsigned long long handle = 0;
            if (!ParseNumber(line.Value(kHandle), 0xFFFFFFFF, handle) || handle == 0) {
                return Fail(line, "handle takes a non-zero 32-bit number");
            }
            node.handle = static_cast<DEVINST>(handle);
        }
        if (!NodeState(line, node) || !UnixFacts(line, node)) return false;
        const int index = machine_.tree.AddNode(parent ? parent->index : SyntheticDeviceTree::kNoParent, std::move(node));
        if (index < 0) return Fail(line, "handle already taken");
        open_.push_back({line.indent, Kind::Node, index, -1, -1});
        return true;
    }

    // ---- wave devices: inputs and outputs, each list numbered from 0 ----

    bool Wave(const Statement& line) {
        if (line.indent != 0) return Fail(line, line.keyword + " is not indented");
        Enclosing(line);
        SyntheticWaveDevice device;
        if (line.Has(kName)) device.name = line.Value(kName);
        if (line.Has(kInterface)) device.interfacePath = Utf8ToWide(line.Value(kInterface));
        if (line.Has(kFail)) {
            std::istringstream queries(line.Value(kFail));
            for (std::string query; std::getline(queries, query, ',');) {
                if (query == "caps") device.capsError = kMmSysErrNoDriver;
                else if (query == "size") device.sizeError = kMmSysErrNotSupported;
                else if (query == "interface") device.interfaceError = kMmSysErrNotSupported;
                else return Fail(line, "fail= takes caps, size and interface, separated by commas");
            }
        }
        (line.keyword == "waveout" ? machine_.wave.outputs : machine_.wave.devices).push_back(std::move(device));
        return true;
    }

    // ---- host controllers, hubs and ports ----

    // A new hub with its name and port count; -1 after a fault.
    int NewHub(const Statement& line) {
        unsigned long long ports = 0;
        if (line.Has(kPorts) && !Number(line, line.Value(kPorts), SyntheticUsb::kMostPorts, "ports takes 0 to 255", ports)) {
            return -1;
        }
        const int hub = machine_.usb.AddHub(Utf8ToWide(line.Value(kHub)), static_cast<std::size_t>(ports));
        if (hub < 0) Fail(line, "another hub has the name " + line.Value(kHub));
        return hub;
    }

    // hc N for the controller opened as \\.\HCDN, hc interface=PATH for one Windows gave no
    // such link; a linked one may have its interface path too.
    bool HostController(const Statement& line) {
        if (line.indent != 0) return Fail(line, "hc is not indented");
        unsigned long long n = 0;
        const bool linked = !line.words.empty();
        if (linked && !ParseNumber(line.words[0], 9, n)) return Fail(line, "hc takes its number, 0 to 9");
        if (!linked && !line.Has(kInterface)) return Fail(line, "hc takes its number, 0 to 9, or interface= alone");
        if (line.Has(kPorts) && !line.Has(kHub)) return Fail(line, "ports= needs hub=");
        Enclosing(line);
        SyntheticHostController controller;
        if (line.Has(kDriver)) controller.driverKey = Utf8ToWide(line.Value(kDriver));
        if (line.Has(kInterface)) {
            if (line.Value(kInterface).empty()) return Fail(line, "interface= takes a path");
            if (!interfacesTaken_.insert(HubNameKey(CodePageTextToWide(line.Value(kInterface)))).second) {
                return Fail(line, "another hc has the interface " + line.Value(kInterface));
            }
            controller.interfacePath = line.Value(kInterface);
        }
        if (!OptionalNumber(line, kDriverLength, controller.driverKeyLength)) return false;
        if (linked && machine_.usb.HostController(static_cast<int>(n))) return Fail(line, "hc " + std::to_string(n) + " given twice");
        if (line.Has(kHub) && (controller.rootHub = NewHub(line)) < 0) return false;
        const int hub = controller.rootHub;
        if (!machine_.usb.AddHostController(linked ? static_cast<int>(n) : SyntheticUsb::kNoLink, std::move(controller))) {
            return Fail(line, "another hc has the interface " + line.Value(kInterface));
        }
        const int index = static_cast<int>(machine_.usb.HostControllerCount()) - 1;
        open_.push_back({line.indent, Kind::HostController, index, hub, -1});
        return true;
    }

    bool Port(const Statement& line) {
        const Frame* parent = Enclosing(line);
        if (!parent || parent->kind == Kind::Node || parent->hub < 0) {
            return Fail(line, "a port stands under hc or a port with hub=");
        }
        if (!Nested(line)) return false;
        unsigned long long number = 0;
        const bool device = line.words.size() == 2 && line.words[1] == "device";
        if (line.words.empty() || (line.words.size() == 2 && !device) ||
            !ParseNumber(line.words[0], SyntheticUsb::kMostPorts, number) || number == 0) {
            return Fail(line, "port takes its number, 1 to 255, and perhaps the word device");
        }
        const int parentHub = parent->hub;
        SyntheticPorts& ports = machine_.usb.Hub(parentHub).ports;
        if (number > ports.size()) {
            return Fail(line, "port " + std::to_string(number) + " is beyond the hub's " + std::to_string(ports.size()) + " ports");
        }
        if (ports.Find(number - 1)) return Fail(line, "port " + std::to_string(number) + " given twice");
        if (device && line.Has(kHub)) return Fail(line, "a port holds a device or a hub, not both");
        if (line.Has(kPorts) && !line.Has(kHub)) return Fail(line, "ports= needs hub=");
        SyntheticPort stated;
        if (!OptionalNumber(line, kDriverLength, stated.driverKeyLength)) return false;
        const int hub = line.Has(kHub) ? NewHub(line) : -1;
        if (line.Has(kHub) && hub < 0) return false;
        stated.hub = hub;
        stated.status = device || hub >= 0 ? kDeviceConnected : kNoDeviceConnected;
        if (line.Has(kStatus)) {
            unsigned long long status = 0;
            if (!Number(line, line.Value(kStatus), 0xFFFFFFFF, "status takes a connection status number", status)) return false;
            stated.status = static_cast<std::uint32_t>(status);
        }
        if (line.Has(kDriver)) stated.driverKey = Utf8ToWide(line.Value(kDriver));
        machine_.usb.Hub(parentHub).ports[number - 1] = std::move(stated);
        open_.push_back({line.indent, Kind::Port, static_cast<int>(number), hub, parentHub});
        return true;
    }

    // The port a device, config, string or fail statement stands under; nullptr after a fault.
    SyntheticPort* EnclosingPort(const Statement& line) {
        const Frame* parent = Enclosing(line);
        if (!parent || parent->kind != Kind::Port) {
            Fail(line, line.keyword + " stands under a port");
            return nullptr;
        }
        return &machine_.usb.Hub(parent->parentHub).ports[parent->index - 1];
    }

    bool Descriptor(const Statement& line) {
        SyntheticPort* port = EnclosingPort(line);
        if (!port) return false;
        if (line.keyword == "string") return StringDescriptor(line, *port);
        if (line.keyword == "config") {
            if (!port->configuration) port->configuration = DescriptorAnswer{};
            std::vector<std::uint8_t>& bytes = port->configuration->bytes;
            if (bytes.size() + line.bytes.size() > kMostDescriptorBytes) {
                return Fail(line, "a configuration holds at most 65535 bytes");
            }
            bytes.insert(bytes.end(), line.bytes.begin(), line.bytes.end());
            return true;
        }
        std::copy(line.bytes.begin(), line.bytes.end(), port->deviceDescriptor.begin());
        return true;
    }

    // The index word and lang= of a string or fail string statement.
    bool StringKey(const Statement& line, std::size_t word, std::pair<std::uint8_t, std::uint32_t>& key) {
        unsigned long long index = 0, language = kAnyLanguage;
        if (line.words.size() <= word || !ParseNumber(line.words[word], 0xFF, index)) {
            return Fail(line, "string takes its index, 0 to 255");
        }
        if (line.Has(kLang) && !Number(line, line.Value(kLang), 0xFFFF, "lang takes a language id", language)) return false;
        key = {static_cast<std::uint8_t>(index), static_cast<std::uint32_t>(language)};
        return true;
    }

    // As the device sends it: bLength, type 3 and the UTF-16 units, little-endian.
    bool StringBytes(const Statement& line, const std::string& utf8, std::vector<std::uint8_t>& bytes) {
        const std::u16string text = Utf8ToWide(utf8);
        if (text.size() > 126) return Fail(line, "a string of more than 126 units must be given as bytes");
        bytes = UsbStringDescriptor(text);
        return true;
    }

    bool Times(const Statement& line, std::uint32_t& times) {
        unsigned long long number = 0;
        if (line.Has(kTimes) && (!ParseNumber(line.Value(kTimes), 0xFFFFFFFF, number) || number == 0)) {
            return Fail(line, "times takes a count of requests, 1 or more");
        }
        times = static_cast<std::uint32_t>(number);
        return true;
    }

    bool StringDescriptor(const Statement& line, SyntheticPort& port) {
        std::pair<std::uint8_t, std::uint32_t> key;
        DescriptorAnswer answer;
        if (!StringKey(line, 0, key) || !Times(line, answer.times)) return false;
        if (line.Has(kText) && !line.bytes.empty()) return Fail(line, "a string is given as text= or as bytes, not both");
        if (line.Has(kText) && !StringBytes(line, line.Value(kText), answer.bytes)) return false;
        if (!line.Has(kText)) answer.bytes = line.bytes;
        return StringAnswer(line, port, key, std::move(answer), false);
    }

    // A string descriptor's next answer. After an answer with times= the next one follows
    // it in the sequence; after one without, a string statement is one too many, and a
    // fail statement makes that answer fail.
    bool StringAnswer(const Statement& line, SyntheticPort& port, const std::pair<std::uint8_t, std::uint32_t>& key,
                      DescriptorAnswer answer, bool failure) {
        const auto found = port.strings.find(key);
        if (found == port.strings.end()) {
            port.strings.emplace(key, std::move(answer));
            return true;
        }
        DescriptorAnswer& first = found->second;
        DescriptorAnswer& last = first.later.empty() ? first : first.later.back();
        if (last.times != 0) {
            first.later.push_back(std::move(answer));
        } else if (failure) {
            last.error = answer.error;
            last.times = answer.times;
        } else {
            return Fail(line, "string " + line.words[0] + " given twice");
        }
        return true;
    }

    // ---- failing requests ----

    bool Failure(const Statement& line) {
        const Frame* parent = Enclosing(line);
        if (!parent || parent->kind == Kind::Node || line.words.empty()) {
            return Fail(line, "fail names a request and stands under hc or a port");
        }
        const std::string& request = line.words[0];
        const bool opens = request == "open" || request == "hub-open";
        unsigned long long code = opens ? kDefaultOpenError : kDefaultRequestError;
        if (line.Has(kError) && !ParseNumber(line.Value(kError), 0xFFFFFFFF, code)) {
            return Fail(line, "error takes an error code");
        }
        const auto error = static_cast<std::uint32_t>(code);
        if (request != "string" && (line.words.size() != 1 || line.Has(kLang) || line.Has(kTimes))) {
            return Fail(line, "fail " + request + " takes no index, lang= or times=");
        }
        if (request == "hub-open" || request == "hub-information") {
            if (parent->hub < 0) return Fail(line, "fail " + request + " needs a hub");
            SyntheticHub& hub = machine_.usb.Hub(parent->hub);
            (request == "hub-open" ? hub.openError : hub.informationError) = error;
            return true;
        }
        if (parent->kind == Kind::HostController) return HostControllerFailure(line, request, parent->index, error);
        return PortFailure(line, request, machine_.usb.Hub(parent->parentHub).ports[parent->index - 1], error);
    }

    bool HostControllerFailure(const Statement& line, const std::string& request, int index, std::uint32_t error) {
        SyntheticHostController& controller = machine_.usb.HostControllerAt(static_cast<std::size_t>(index));
        if (request == "open") controller.openError = error;
        else if (request == "driverkey") controller.driverKeyError = error;
        else if (request == "roothub-name") controller.rootHubNameError = error;
        else return Fail(line, "under hc, fail takes open, driverkey, roothub-name, hub-open or hub-information");
        return true;
    }

    bool PortFailure(const Statement& line, const std::string& request, SyntheticPort& port, std::uint32_t error) {
        if (request == "connection-information") {
            port.connectionInformationError = error;
        } else if (request == "hub-name") {
            port.connectionNameError = error;
        } else if (request == "driverkey" || request == "driverkey-size" || request == "driverkey-name") {
            if (request != "driverkey-name") port.driverKeySizeError = error;
            if (request != "driverkey-size") port.driverKeyError = error;
        } else if (request == "config") {
            if (!port.configuration) port.configuration = DescriptorAnswer{};
            port.configuration->error = error;
        } else if (request == "string") {
            std::pair<std::uint8_t, std::uint32_t> key;
            DescriptorAnswer answer;
            answer.error = error;
            if (!StringKey(line, 1, key) || !Times(line, answer.times)) return false;
            return StringAnswer(line, port, key, std::move(answer), true);
        } else {
            return Fail(line, "under a port, fail takes connection-information, hub-name, hub-open, "
                              "hub-information, driverkey, driverkey-size, driverkey-name, config or string");
        }
        return true;
    }

    SyntheticMachine& machine_;
    std::string& error_;
    const std::size_t firstNode_;
    const std::size_t firstInput_;
    const std::size_t firstOutput_;
    const std::size_t firstController_;
    Statement line_;  // reused from line to line, so its buffers are too
    std::uint64_t nextLine_ = 1;
    std::vector<Frame> open_;
    std::set<std::uint32_t> errorTexts_;  // the codes whose texts this scenario states, each converted once
    std::unordered_set<std::string> interfacesTaken_;  // HubNameKey of every interface path
    unsigned codePage_ = 0;
    bool systemLanguageGiven_ = false;
    bool nonAscii_ = false;
};

}  // namespace

bool LoadScenario(std::istream& in, SyntheticMachine& machine, std::string& error, const ScenarioOptions& options) {
    return Loader(machine, error).Load(in, options);
}

bool LoadScenarioFile(const std::string& path, SyntheticMachine& machine, std::string& error,
                      const ScenarioOptions& options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "can't open " + path;
        return false;
    }
    return LoadScenario(in, machine, error, options);
}

}  // namespace portiq::synthetic
