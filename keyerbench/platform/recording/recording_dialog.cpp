#include "platform/recording/recording_dialog.h"

#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace cwbench {

namespace {

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

void RecordingDialog::type(int id, const std::string& text) {
    Control& c = at(id);
    c.text = text;
    c.selStart = c.selEnd = text.size();
}

void RecordingDialog::setText(int id, const char* text) {
    Control& c = at(id);
    c.text = text;
    c.selStart = c.selEnd = 0;
    log.push_back("setText " + std::to_string(id) + " " + text);
}

int RecordingDialog::getText(int id, char* buffer, int size) {
    if (size <= 0) return 0;
    const std::string& t = at(id).text;
    std::size_t n = std::min<std::size_t>(t.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, t.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

void RecordingDialog::setUnsigned(int id, unsigned value) {
    Control& c = at(id);
    c.text = std::to_string(value);
    c.selStart = c.selEnd = 0;
    log.push_back("setUnsigned " + std::to_string(id) + " " + c.text);
}

unsigned RecordingDialog::getUnsigned(int id) {
    // As GetDlgItemInt: leading blanks, then digits; anything else, or a number too
    // large for 32 bits, reads as 0.
    const std::string& t = at(id).text;
    const char* p = t.c_str();
    while (*p == ' ') ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(p, &end, 10);
    while (*end == ' ') ++end;
    if (*end != 0 || errno == ERANGE || v > 0xFFFFFFFFull) return 0;
    return static_cast<unsigned>(v);
}

void RecordingDialog::setCheck(int id, bool checked) {
    at(id).checked = checked;
    log.push_back("setCheck " + std::to_string(id) + " " + (checked ? "1" : "0"));
}

void RecordingDialog::addComboString(int id, const char* text) {
    auto& items = at(id).items;
    items.insert(std::upper_bound(items.begin(), items.end(), std::string(text), lessIgnoringCase), text);
}

int RecordingDialog::comboSelection(int id) { return at(id).selection; }

void RecordingDialog::setComboSelection(int id, int index) {
    Control& c = at(id);
    c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
    log.push_back("setComboSelection " + std::to_string(id) + " " + std::to_string(index));
}

void RecordingDialog::setScrollRange(int id, int min, int max, bool redraw) {
    Control& c = at(id);
    c.scrollMin = min;
    c.scrollMax = max;
    c.scrollPos = std::clamp(c.scrollPos, std::min(min, max), std::max(min, max));
    log.push_back("setScrollRange " + std::to_string(id) + " " + std::to_string(min) + " " +
                  std::to_string(max) + (redraw ? " redraw" : ""));
}

void RecordingDialog::setScrollPos(int id, int pos, bool redraw) {
    Control& c = at(id);
    // SetScrollPos keeps the position within the range.
    c.scrollPos = std::clamp(pos, std::min(c.scrollMin, c.scrollMax), std::max(c.scrollMin, c.scrollMax));
    log.push_back("setScrollPos " + std::to_string(id) + " " + std::to_string(pos) + (redraw ? " redraw" : ""));
}

void RecordingDialog::enable(int id, bool enabled) {
    at(id).enabled = enabled;
    log.push_back("enable " + std::to_string(id) + " " + (enabled ? "1" : "0"));
}

void RecordingDialog::show(int id, bool shown) {
    at(id).shown = shown;
    log.push_back("show " + std::to_string(id) + " " + (shown ? "1" : "0"));
}

void RecordingDialog::replaceSelection(int id, const char* text) {
    Control& c = at(id);
    std::size_t from = std::min({c.selStart, c.selEnd, c.text.size()});
    std::size_t to = std::min(std::max(c.selStart, c.selEnd), c.text.size());
    // An insert that would pass the limit is cut to what fits, as an edit control cuts it.
    const std::size_t kept = c.text.size() - (to - from);
    const std::size_t room = c.limit > kept ? c.limit - kept : 0;
    const std::string fits = std::string(text).substr(0, room);
    c.text.replace(from, to - from, fits);
    c.selStart = c.selEnd = from + fits.size();
    log.push_back("replaceSelection " + std::to_string(id) + " " + text);
}

void RecordingDialog::selectAll(int id) {
    Control& c = at(id);
    c.selStart = 0;
    c.selEnd = c.text.size();
}

void RecordingDialog::selection(int id, int& start, int& end) {
    const Control& c = at(id);
    start = static_cast<int>(std::min(c.selStart, c.selEnd));
    end = static_cast<int>(std::max(c.selStart, c.selEnd));
}

void RecordingDialog::setSelection(int id, int start, int end) {
    Control& c = at(id);
    // EM_SETSEL: -1 as the end selects to the end of the text.
    const auto clamp = [&](int pos) { return pos < 0 ? c.text.size() : std::min<std::size_t>(pos, c.text.size()); };
    c.selStart = clamp(start);
    c.selEnd = clamp(end);
}

int RecordingDialog::textLength(int id) { return static_cast<int>(at(id).text.size()); }

int RecordingDialog::textLimit(int id) { return static_cast<int>(at(id).limit); }

int RecordingDialog::lineFromChar(int id, int pos) {
    const std::string& t = at(id).text;
    const std::size_t end = std::min<std::size_t>(static_cast<std::size_t>(std::max(pos, 0)), t.size());
    return static_cast<int>(std::count(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

int RecordingDialog::lineIndex(int id, int line) {
    const std::string& t = at(id).text;
    std::size_t start = 0;
    for (int l = 0; l < line; ++l) {
        const std::size_t nl = t.find('\n', start);
        if (nl == std::string::npos) return -1;
        start = nl + 1;
    }
    return static_cast<int>(start);
}

int RecordingDialog::messageBox(const char* text, const char* caption, unsigned type) {
    boxes.push_back(Box{text, caption, type});
    log.push_back(std::string("messageBox ") + caption + ": " + text);
    return kIdOk;
}

void RecordingDialog::endDialog(int result) {
    endedWith = result;
    log.push_back("endDialog " + std::to_string(result));
}

}  // namespace cwbench
