// A machine held in memory that answers the platform's contract: the device tree, the
// wave-input devices, the USB host controllers and hubs, the user's language and code
// page, the keyboard, the command line and the file system (list files go to a real
// directory, written as the Windows run-time library's text mode writes them). Loaded
// from a scenario file (scenario.h) or built by a test.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/synthetic/resource_image.h"
#include "platform/synthetic/synthetic_usb.h"
#include "platform/synthetic/synthetic_wave.h"

namespace portiq::synthetic {

// One device node. Texts are ANSI in the machine's code page; an absent value is one
// the configuration manager doesn't have for the node.
struct SyntheticNode {
    DEVINST handle = 0;  // 0: the tree picks the next free handle
    std::optional<std::string> classGuid;
    std::optional<std::string> friendlyName;
    std::optional<std::string> deviceDescription;
    std::optional<std::string> deviceId;
    std::optional<std::string> driverKey;
};

class SyntheticDeviceTree : public DeviceTree {
public:
    static constexpr int kNoParent = -1;

    // Adds node as the last child of parent (an index from an earlier AddNode), or as
    // the root with kNoParent. Returns the node's index, or -1 when the handle is taken
    // or 0 is asked for explicitly, the parent doesn't exist, or a second root is added.
    int AddNode(int parent, SyntheticNode node);

    SyntheticNode& Node(int index) { return nodes_[index].node; }
    std::size_t NodeCount() const { return nodes_.size(); }
    void Clear();

    CONFIGRET LocateRoot(DEVINST& root) override;
    CONFIGRET GetChild(DEVINST& child, DEVINST node) override;
    CONFIGRET GetSibling(DEVINST& sibling, DEVINST node) override;
    CONFIGRET GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                  std::uint32_t& length) override;
    CONFIGRET GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) override;

private:
    struct Entry {
        SyntheticNode node;
        int firstChild = -1;
        int lastChild = -1;
        int nextSibling = -1;
    };
    const Entry* Find(DEVINST handle) const;

    std::vector<Entry> nodes_;
    std::unordered_map<DEVINST, int> byHandle_;
    DEVINST nextHandle_ = 1;
};

struct ShownMessageBox {
    std::string text;
    std::string caption;
    unsigned type = 0;
};

struct FileWrite {
    std::string path;
    std::uint32_t result = 0;  // 0, or the system error code
};

class SyntheticSystem : public SystemServices {
public:
    SyntheticSystem();  // holds PortIQ's own string table, compiled from its .rc

    // The user's language also picks the ANSI code page; the system's language is what
    // the neutral id 0x0800 stands for.
    void SetUserLanguage(LANGID language);
    LANGID userLanguage = kLangEnglishUs;
    LANGID systemLanguage = kLangEnglishUs;
    unsigned codePage = 1252;

    int argumentCount = 1;
    bool shiftHeld = false;
    bool controlHeld = false;
    std::uint32_t lastError = 0;
    std::map<std::uint32_t, std::string> errorTexts;  // FormatMessage's answers
    std::string fileDirectory;                        // where files go; empty: current directory
    std::uint32_t fileWriteError = 0;                 // non-zero: every file write fails with it
    ResourceImage resources;
    std::vector<ShownMessageBox> messageBoxes;        // every box shown, in order
    std::vector<FileWrite> fileWrites;                // every file written, in order

    LANGID UserDefaultLanguage() override;
    bool FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) override;
    int WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) override;
    int ShowMessageBox(const char* text, const char* caption, unsigned type) override;
    short KeyState(int virtualKey) override;
    int ArgumentCount() override;
    std::uint32_t LastError() override;
    std::string SystemErrorText(std::uint32_t code) override;
    std::uint32_t WriteTextFile(const char* name, const char* text, std::size_t size) override;

private:
    static std::uint32_t StoreTextFile(const std::string& path, const char* text, std::size_t size);
};

// A whole machine: the device tree, the system, the wave-input devices and the USB.
struct SyntheticMachine {
    SyntheticDeviceTree tree;
    SyntheticSystem system;
    SyntheticWave wave;
    SyntheticUsb usb;

    // Installs this machine as the process's platform.
    void Install();
};

}  // namespace portiq::synthetic
