#include "platform/synthetic/synthetic_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

#include "platform/synthetic/code_pages.h"
#include "platform/text.h"

extern const unsigned char portiq_resource_image[];
extern const std::size_t portiq_resource_image_size;

namespace portiq::synthetic {

// ---- device tree ----

namespace {

constexpr std::size_t kTextBlockBytes = 1 << 20;
constexpr std::size_t kMostClasses = 1024;  // past that, class GUIDs are stored like any text

}  // namespace

void SyntheticDeviceTree::Entries::push_back(const Entry& entry) {
    if (size_ % kChunk == 0) chunks_.push_back(std::make_unique<Entry[]>(kChunk));
    (*this)[size_++] = entry;
}

void SyntheticDeviceTree::Entries::clear() {
    chunks_.clear();
    size_ = 0;
}

int SyntheticDeviceTree::HandleIndex::Find(DEVINST handle) const {
    if (slots_.empty() || handle == 0) return -1;
    for (std::size_t at = Home(handle);; at = (at + 1) & (slots_.size() - 1)) {
        if (slots_[at].handle == handle) return slots_[at].index;
        if (slots_[at].handle == 0) return -1;
    }
}

void SyntheticDeviceTree::HandleIndex::Insert(DEVINST handle, int index) {
    if (2 * (used_ + 1) > slots_.size()) {
        std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
        old.swap(slots_);
        used_ = 0;
        for (const Slot& slot : old) {
            if (slot.handle != 0) Insert(slot.handle, slot.index);
        }
    }
    std::size_t at = Home(handle);
    while (slots_[at].handle != 0) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = Slot{handle, index};
    ++used_;
}

void SyntheticDeviceTree::HandleIndex::clear() {
    slots_.clear();
    used_ = 0;
}

SyntheticDeviceTree::TextRef SyntheticDeviceTree::Store(const std::optional<std::string>& text, Field field) {
    if (!text) return TextRef{};
    const bool shared = field == kClass && IsAscii(*text);
    if (shared) {
        const auto found = classes_.find(*text);
        if (found != classes_.end()) return found->second;
    }
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text->size()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kTextBlockBytes, text->size()));
    }
    std::string& block = blocks_.back();
    const TextRef stored{static_cast<std::uint32_t>(blocks_.size() - 1), static_cast<std::uint32_t>(block.size()),
                         static_cast<std::uint32_t>(text->size())};
    block += *text;
    if (shared && classes_.size() < kMostClasses) classes_.emplace(*text, stored);
    return stored;
}

std::string_view SyntheticDeviceTree::Text(const TextRef& text) const {
    return std::string_view(blocks_[text.block]).substr(text.offset, text.length);
}

std::optional<std::string> SyntheticDeviceTree::Copy(const TextRef& text) const {
    if (text.length == TextRef::kAbsent) return std::nullopt;
    return std::string(Text(text));
}

int SyntheticDeviceTree::AddNode(int parent, SyntheticNode node) {
    if (parent == kNoParent ? !nodes_.empty() : (parent < 0 || parent >= static_cast<int>(nodes_.size()))) return -1;
    if (node.handle == 0) {
        while (nextHandle_ == 0 || byHandle_.Find(nextHandle_) >= 0) ++nextHandle_;
        node.handle = nextHandle_++;
    } else if (byHandle_.Find(node.handle) >= 0) {
        return -1;
    }
    const int index = static_cast<int>(nodes_.size());
    byHandle_.Insert(node.handle, index);
    Entry entry;
    entry.handle = node.handle;
    entry.texts = {Store(node.classGuid, kClass), Store(node.friendlyName, kFriendlyName),
                   Store(node.deviceDescription, kDescription), Store(node.deviceId, kDeviceId),
                   Store(node.driverKey, kDriverKey)};
    nodes_.push_back(entry);
    if (node.status != (kDnDriverLoaded | kDnStarted) || node.problem != 0) states_[index] = {node.status, node.problem};
    if (node.boundDriver) boundDrivers_[index] = *node.boundDriver;
    if (node.portNode) portNodes_[index] = *node.portNode;
    if (parent != kNoParent) {
        Entry& p = nodes_[parent];
        if (p.lastChild < 0) {
            p.firstChild = index;
        } else {
            nodes_[p.lastChild].nextSibling = index;
        }
        p.lastChild = index;
    }
    return index;
}

SyntheticNode SyntheticDeviceTree::Node(int index) const {
    const Entry& entry = nodes_[index];
    SyntheticNode node;
    node.handle = entry.handle;
    node.classGuid = Copy(entry.texts[kClass]);
    node.friendlyName = Copy(entry.texts[kFriendlyName]);
    node.deviceDescription = Copy(entry.texts[kDescription]);
    node.deviceId = Copy(entry.texts[kDeviceId]);
    node.driverKey = Copy(entry.texts[kDriverKey]);
    if (const auto state = states_.find(index); state != states_.end()) std::tie(node.status, node.problem) = state->second;
    if (const auto bound = boundDrivers_.find(index); bound != boundDrivers_.end()) node.boundDriver = bound->second;
    if (const auto port = portNodes_.find(index); port != portNodes_.end()) node.portNode = port->second;
    return node;
}

void SyntheticDeviceTree::ConvertTexts(std::size_t first, const std::function<std::string(const std::string&)>& convert) {
    for (std::size_t i = first; i < nodes_.size(); ++i) {
        for (TextRef& text : nodes_[i].texts) {
            if (text.length == TextRef::kAbsent || IsAscii(Text(text))) continue;
            // Not shared: only ASCII class GUIDs are.
            const std::string converted = convert(std::string(Text(text)));
            if (converted.size() > text.length) std::abort();
            blocks_[text.block].replace(text.offset, converted.size(), converted);
            text.length = static_cast<std::uint32_t>(converted.size());
        }
    }
}

void SyntheticDeviceTree::Clear() {
    rootError = kCrNoSuchDevnode;
    nodes_.clear();
    byHandle_.clear();
    states_.clear();
    boundDrivers_.clear();
    portNodes_.clear();
    nextHandle_ = 1;
    blocks_.clear();
    classes_.clear();
}

const SyntheticDeviceTree::Entry* SyntheticDeviceTree::Find(DEVINST handle) const {
    const int index = byHandle_.Find(handle);
    return index < 0 ? nullptr : &nodes_[index];
}

CONFIGRET SyntheticDeviceTree::LocateRoot(DEVINST& root) {
    if (nodes_.empty()) return rootError;
    root = nodes_[0].handle;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetChild(DEVINST& child, DEVINST node) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    if (entry->firstChild < 0) return kCrNoSuchDevnode;
    child = nodes_[entry->firstChild].handle;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetSibling(DEVINST& sibling, DEVINST node) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    if (entry->nextSibling < 0) return kCrNoSuchDevnode;
    sibling = nodes_[entry->nextSibling].handle;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                                   std::uint32_t& length) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    Field field;
    switch (property) {
        case kDrpClassGuid: field = kClass; break;
        case kDrpFriendlyName: field = kFriendlyName; break;
        case kDrpDeviceDesc: field = kDescription; break;
        case kDrpDriver: field = kDriverKey; break;
        default: return kCrNoSuchValue;
    }
    const TextRef& value = entry->texts[field];
    if (value.length == TextRef::kAbsent) return kCrNoSuchValue;
    const std::string_view text = Text(value);
    const std::uint32_t needed = static_cast<std::uint32_t>(text.size() + 1);
    if (needed > length || !buffer) {
        length = needed;
        return kCrBufferSmall;
    }
    std::memcpy(buffer, text.data(), text.size());
    static_cast<char*>(buffer)[text.size()] = '\0';
    length = needed;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    if (!buffer) return kCrInvalidPointer;
    const TextRef& value = entry->texts[kDeviceId];
    if (value.length == TextRef::kAbsent) return kCrFailure;
    const std::string_view id = Text(value);
    if (id.size() > length) return kCrBufferSmall;
    std::memcpy(buffer, id.data(), id.size());
    if (id.size() < length) buffer[id.size()] = '\0';
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetStatus(DEVINST node, std::uint32_t& status, std::uint32_t& problem) {
    const int index = byHandle_.Find(node);
    if (index < 0) return kCrInvalidDevnode;
    const auto state = states_.find(index);
    status = state == states_.end() ? kDnDriverLoaded | kDnStarted : state->second.first;
    problem = state == states_.end() ? 0 : state->second.second;
    return kCrSuccess;
}

bool SyntheticDeviceTree::GetInterfaceDriver(DEVINST node, std::string& driver) {
    const auto bound = boundDrivers_.find(byHandle_.Find(node));
    if (bound == boundDrivers_.end()) return false;
    driver = bound->second;
    return true;
}

bool SyntheticDeviceTree::GetPortNode(DEVINST node, UnixPortNode& port) {
    const auto found = portNodes_.find(byHandle_.Find(node));
    if (found == portNodes_.end()) return false;
    port = found->second;
    return true;
}

// ---- system ----

SyntheticSystem::SyntheticSystem() : errorTexts(DefaultErrorTexts()) {
    resources.Load(portiq_resource_image, portiq_resource_image_size);
}

const std::map<std::uint32_t, std::string>& SyntheticSystem::DefaultErrorTexts() {
    static const std::map<std::uint32_t, std::string> texts = {
        {0, "The operation completed successfully.\r\n"},
        {1, "Incorrect function.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {21, "The device is not ready.\r\n"},
        {31, "A device attached to the system is not functioning.\r\n"},
        {50, "The request is not supported.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {112, "There is not enough space on the disk.\r\n"},
        {122, "The data area passed to a system call is too small.\r\n"},
        {1167, "The device is not connected.\r\n"},
    };
    return texts;
}

void SyntheticSystem::SetUserLanguage(LANGID language) {
    userLanguage = language;
    codePage = CodePageForLanguage(language);
}

LANGID SyntheticSystem::UserDefaultLanguage() { return userLanguage; }

bool SyntheticSystem::FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) {
    constexpr unsigned kStringTable = 6;  // RT_STRING
    // The neutral ids stand for the user's and the system's default language.
    if (language == kLangUserDefault) language = userLanguage;
    if (language == kLangSystemDefault) language = systemLanguage;
    const std::vector<unsigned char>* found = resources.Find(kStringTable, block, language);
    if (!found) return false;
    bytes.data = found->data();
    bytes.size = found->size();
    return true;
}

int SyntheticSystem::WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) {
    if (codePage == kCpUtf8 && defaultChar) lastError = 87;  // ERROR_INVALID_PARAMETER
    return WideToCodePage(codePage, text, units, out, outBytes, defaultChar);
}

int SyntheticSystem::ShowMessageBox(const char* text, const char* caption, unsigned type) {
    messageBoxes.push_back({text ? text : "", caption ? caption : "", type});
    return 1;  // IDOK
}

std::uint32_t SyntheticSystem::UpperCaseAnsi(char* text, std::uint32_t length) {
    if (text) UpperCaseInCodePage(codePage, text, length);
    return text ? length : 0;
}

short SyntheticSystem::KeyState(int virtualKey) {
    const bool down = (virtualKey == kVkShift && shiftHeld) || (virtualKey == kVkControl && controlHeld);
    return down ? static_cast<short>(-128) : 0;  // 0xFF80 while down, as Windows reports it
}

int SyntheticSystem::ArgumentCount() { return argumentCount; }

std::uint32_t SyntheticSystem::LastError() { return lastError; }

std::string SyntheticSystem::SystemErrorText(std::uint32_t code) {
    const auto found = errorTexts.find(code);
    return found == errorTexts.end() ? std::string() : found->second;
}

namespace {

std::uint32_t WindowsErrorFor(int error) {
    switch (error) {
        case ENOENT: return 3;    // ERROR_PATH_NOT_FOUND
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return 5;     // ERROR_ACCESS_DENIED
        case ENOSPC: return 112;  // ERROR_DISK_FULL
        default: return 29;       // ERROR_WRITE_FAULT
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::uint32_t SyntheticSystem::WriteTextFile(const char* name, const char* text, std::size_t size) {
    const std::string full = name;
    const bool onDesktop = !desktop.empty() && full.rfind(desktop + "\\", 0) == 0;
    const std::string file = onDesktop ? full.substr(desktop.size() + 1) : full;
    const std::string path = fileDirectory.empty() ? file : fileDirectory + "/" + file;
    const std::uint32_t error = onDesktop ? desktopWriteError : fileWriteError;
    const std::uint32_t result = error ? error : StoreTextFile(path, text, size);
    fileWrites.push_back({onDesktop ? full : path, result});
    return result;
}

std::uint32_t SyntheticSystem::StoreTextFile(const std::string& path, const char* text, std::size_t size) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return WindowsErrorFor(errno);
    // Text mode: every "\n" becomes CR LF, nothing else changes; written a line at a
    // time, so a big log is never copied.
    for (std::size_t at = 0; at < size;) {
        const void* found = std::memchr(text + at, '\n', size - at);
        const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : size;
        const bool lineFeed = found != nullptr;
        if (std::fwrite(text + at, 1, end - at, file.get()) != end - at ||
            (lineFeed && std::fwrite("\r\n", 1, 2, file.get()) != 2)) {
            return WindowsErrorFor(errno);
        }
        at = end + (lineFeed ? 1 : 0);
    }
    if (std::fclose(file.release()) != 0) return WindowsErrorFor(errno);
    return 0;
}

// ---- machine ----

void SyntheticMachine::Install() {
    usb.Attach(system);
    usb.Rewind();
    InstallPlatform(Platform{&tree, &system, &wave, &usb, isLinux ? &tree : nullptr});
}

}  // namespace portiq::synthetic
