// A machine held in memory that answers the platform's contract: the device tree, the
// wave devices, the USB host controllers and hubs, the user's language and code page,
// the system's error texts, the keyboard, the command line and the file system (list
// files go to a real directory, written as the Windows run-time library's text mode
// writes them). Loaded from a scenario file (scenario.h), built by a test, or built from
// another system's facts: each part is plain data that the code filling it sets, and
// answers the platform's calls from then on (see each part's header for how to build it).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    // CM_Get_DevNode_Status's answer: by default started with its driver, no problem.
    std::uint32_t status = kDnDriverLoaded | kDnStarted;
    std::uint32_t problem = 0;
    // A Unix-like system's facts (UnixDevices): the driver bound to an interface, the
    // device node of a serial port.
    std::optional<std::string> boundDriver;
    std::optional<UnixPortNode> portNode;
};

// The tree answers a Unix-like system's facts too: they are facts of its nodes.
class SyntheticDeviceTree : public DeviceTree, public UnixDevices {
public:
    static constexpr int kNoParent = -1;

    // Adds node as the last child of parent (an index from an earlier AddNode), or as
    // the root with kNoParent. Returns the node's index, or -1 when the handle is taken
    // or 0 is asked for explicitly, the parent doesn't exist, or a second root is added.
    int AddNode(int parent, SyntheticNode node);

    // What CM_Locate_DevNodeA answers while the tree has no node (a configuration manager
    // that can't read the tree, as under emulators, says so in its own words).
    CONFIGRET rootError = kCrNoSuchDevnode;

    // A copy of the node at index, with the handle it was given.
    SyntheticNode Node(int index) const;
    std::size_t NodeCount() const { return nodes_.size(); }
    void Clear();

    // Rewrites in place every text of the nodes from index first on that holds a byte of
    // 0x80 or more, as convert gives it; convert must not make a text longer. (The
    // scenario loader reads texts in UTF-8 and learns the machine's code page only at the
    // end of the file.)
    void ConvertTexts(std::size_t first, const std::function<std::string(const std::string&)>& convert);

    CONFIGRET LocateRoot(DEVINST& root) override;
    CONFIGRET GetChild(DEVINST& child, DEVINST node) override;
    CONFIGRET GetSibling(DEVINST& sibling, DEVINST node) override;
    CONFIGRET GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                  std::uint32_t& length) override;
    CONFIGRET GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) override;
    CONFIGRET GetStatus(DEVINST node, std::uint32_t& status, std::uint32_t& problem) override;

    bool GetInterfaceDriver(DEVINST node, std::string& driver) override;
    bool GetPortNode(DEVINST node, UnixPortNode& port) override;

private:
    // A text in the store: its block, where it starts and its length; kAbsent for a value
    // the node doesn't have.
    struct TextRef {
        static constexpr std::uint32_t kAbsent = 0xFFFFFFFF;
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = kAbsent;
    };
    enum Field { kClass, kFriendlyName, kDescription, kDeviceId, kDriverKey, kFields };
    // A node in 76 bytes, its texts in the store: a tree of a million nodes fits where
    // one made of separate strings needed several times the memory.
    struct Entry {
        DEVINST handle = 0;
        int firstChild = -1;
        int lastChild = -1;
        int nextSibling = -1;
        std::array<TextRef, kFields> texts;
    };
    const Entry* Find(DEVINST handle) const;
    TextRef Store(const std::optional<std::string>& text, Field field);
    std::string_view Text(const TextRef& text) const;
    std::optional<std::string> Copy(const TextRef& text) const;

    // The nodes in chunks of 4,096: growing never copies what is there.
    class Entries {
    public:
        static constexpr std::size_t kChunk = 4096;
        Entry& operator[](std::size_t i) { return chunks_[i / kChunk][i % kChunk]; }
        const Entry& operator[](std::size_t i) const { return chunks_[i / kChunk][i % kChunk]; }
        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        void push_back(const Entry& entry);
        void clear();

    private:
        std::vector<std::unique_ptr<Entry[]>> chunks_;
        std::size_t size_ = 0;
    };

    // Node indexes by handle: open addressing in 8-byte slots, at most half of them used.
    class HandleIndex {
    public:
        int Find(DEVINST handle) const;            // -1 when no node has it
        void Insert(DEVINST handle, int index);   // a handle not 0 and not there yet
        void clear();

    private:
        struct Slot {
            DEVINST handle = 0;  // 0: empty
            int index = -1;
        };
        std::size_t Home(DEVINST handle) const {
            return static_cast<std::size_t>((handle * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
        }
        std::vector<Slot> slots_;
        std::size_t used_ = 0;
    };

    Entries nodes_;
    HandleIndex byHandle_;
    // What few nodes have, by node index: a status other than the default, Unix facts.
    std::unordered_map<int, std::pair<std::uint32_t, std::uint32_t>> states_;
    std::unordered_map<int, std::string> boundDrivers_;
    std::unordered_map<int, UnixPortNode> portNodes_;
    DEVINST nextHandle_ = 1;
    // The texts, in blocks of 1 MiB (a longer text gets a block of its own). ASCII class
    // GUIDs are stored once: a tree has a few dozen classes and a million nodes.
    std::vector<std::string> blocks_;
    std::unordered_map<std::string, TextRef> classes_;
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
    std::map<std::uint32_t, std::string> errorTexts;  // FormatMessage's answers, ANSI; DefaultErrorTexts() at first
    std::string fileDirectory;                        // where files go; empty: current directory
    std::uint32_t fileWriteError = 0;                 // non-zero: every write in the current folder fails with it
    std::string currentFolder = "C:\\PortIQ";        // what CurrentFolder answers
    std::string desktop;                              // the Desktop's path; empty: none. Its files go to fileDirectory too
    std::uint32_t desktopWriteError = 0;              // non-zero: every write on the Desktop fails with it
    ResourceImage resources;
    std::vector<ShownMessageBox> messageBoxes;        // every box shown, in order
    std::vector<FileWrite> fileWrites;                // every file written, in order

    // The texts an English Windows gives for the codes the walks and the list file meet.
    static const std::map<std::uint32_t, std::string>& DefaultErrorTexts();

    LANGID UserDefaultLanguage() override;
    bool FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) override;
    unsigned AnsiCodePage() override { return codePage; }
    int WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) override;
    std::uint32_t UpperCaseAnsi(char* text, std::uint32_t length) override;
    int ShowMessageBox(const char* text, const char* caption, unsigned type) override;
    short KeyState(int virtualKey) override;
    int ArgumentCount() override;
    std::uint32_t LastError() override;
    std::string SystemErrorText(std::uint32_t code) override;
    std::uint32_t WriteTextFile(const char* name, const char* text, std::size_t size) override;
    std::string CurrentFolder() override { return currentFolder; }
    std::string DesktopFolder() override { return desktop; }

private:
    static std::uint32_t StoreTextFile(const std::string& path, const char* text, std::size_t size);
};

// A whole machine: the device tree, the system, the wave devices and the USB.
struct SyntheticMachine {
    SyntheticDeviceTree tree;
    SyntheticSystem system;
    SyntheticWave wave;
    SyntheticUsb usb;
    // A Linux PC (scenario "os linux"): its Unix facts are installed, and the diagnosis
    // gives Linux's remedies.
    bool isLinux = false;

    // Installs this machine as the process's platform, for a run that starts every answer
    // sequence from its first answer.
    void Install();
};

}  // namespace portiq::synthetic
