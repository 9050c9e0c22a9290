#include "platform/synthetic/synthetic_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/synthetic/code_pages.h"

extern const unsigned char portiq_resource_image[];
extern const std::size_t portiq_resource_image_size;

namespace portiq::synthetic {

// ---- device tree ----

int SyntheticDeviceTree::AddNode(int parent, SyntheticNode node) {
    if (parent == kNoParent ? !nodes_.empty() : (parent < 0 || parent >= static_cast<int>(nodes_.size()))) return -1;
    if (node.handle == 0) {
        while (byHandle_.count(nextHandle_) || nextHandle_ == 0) ++nextHandle_;
        node.handle = nextHandle_++;
    } else if (byHandle_.count(node.handle)) {
        return -1;
    }
    const int index = static_cast<int>(nodes_.size());
    byHandle_[node.handle] = index;
    nodes_.push_back(Entry{std::move(node)});
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

void SyntheticDeviceTree::Clear() {
    nodes_.clear();
    byHandle_.clear();
    nextHandle_ = 1;
}

const SyntheticDeviceTree::Entry* SyntheticDeviceTree::Find(DEVINST handle) const {
    const auto found = byHandle_.find(handle);
    return found == byHandle_.end() ? nullptr : &nodes_[found->second];
}

CONFIGRET SyntheticDeviceTree::LocateRoot(DEVINST& root) {
    if (nodes_.empty()) return kCrNoSuchDevnode;
    root = nodes_.front().node.handle;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetChild(DEVINST& child, DEVINST node) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    if (entry->firstChild < 0) return kCrNoSuchDevnode;
    child = nodes_[entry->firstChild].node.handle;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetSibling(DEVINST& sibling, DEVINST node) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    if (entry->nextSibling < 0) return kCrNoSuchDevnode;
    sibling = nodes_[entry->nextSibling].node.handle;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                                   std::uint32_t& length) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    const std::optional<std::string>* value = nullptr;
    switch (property) {
        case kDrpClassGuid: value = &entry->node.classGuid; break;
        case kDrpFriendlyName: value = &entry->node.friendlyName; break;
        case kDrpDeviceDesc: value = &entry->node.deviceDescription; break;
        case kDrpDriver: value = &entry->node.driverKey; break;
        default: return kCrNoSuchValue;
    }
    if (!value->has_value()) return kCrNoSuchValue;
    const std::string& text = **value;
    const std::uint32_t needed = static_cast<std::uint32_t>(text.size() + 1);
    if (needed > length || !buffer) {
        length = needed;
        return kCrBufferSmall;
    }
    std::memcpy(buffer, text.c_str(), needed);
    length = needed;
    return kCrSuccess;
}

CONFIGRET SyntheticDeviceTree::GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) {
    const Entry* entry = Find(node);
    if (!entry) return kCrInvalidDevnode;
    if (!buffer) return kCrInvalidPointer;
    if (!entry->node.deviceId) return kCrFailure;
    const std::string& id = *entry->node.deviceId;
    if (id.size() > length) return kCrBufferSmall;
    std::memcpy(buffer, id.data(), id.size());
    if (id.size() < length) buffer[id.size()] = '\0';
    return kCrSuccess;
}

// ---- system ----

SyntheticSystem::SyntheticSystem() {
    resources.Load(portiq_resource_image, portiq_resource_image_size);
    errorTexts = {
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
    return WideToCodePage(codePage, text, units, out, outBytes, defaultChar);
}

int SyntheticSystem::ShowMessageBox(const char* text, const char* caption, unsigned type) {
    messageBoxes.push_back({text ? text : "", caption ? caption : "", type});
    return 1;  // IDOK
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
    const std::string path = fileDirectory.empty() ? std::string(name) : fileDirectory + "/" + name;
    const std::uint32_t result = fileWriteError ? fileWriteError : StoreTextFile(path, text, size);
    fileWrites.push_back({path, result});
    return result;
}

std::uint32_t SyntheticSystem::StoreTextFile(const std::string& path, const char* text, std::size_t size) {
    std::string stored;  // text mode: every "\n" becomes CR LF, nothing else changes
    stored.reserve(size + size / 16);
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n') stored += '\r';
        stored += text[i];
    }
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return WindowsErrorFor(errno);
    if (std::fwrite(stored.data(), 1, stored.size(), file.get()) != stored.size()) return WindowsErrorFor(errno);
    if (std::fclose(file.release()) != 0) return WindowsErrorFor(errno);
    return 0;
}

// ---- machine ----

void SyntheticMachine::Install() {
    usb.Attach(system);
    InstallPlatform(Platform{&tree, &system, &wave, &usb});
}

}  // namespace portiq::synthetic
