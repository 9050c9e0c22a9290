// Helpers shared by cwbench's tests.
#pragma once

#include "messages/message_player.h"
#include "platform/platform.h"
#include "platform/recording/recording_platform.h"

#include <filesystem>
#include <string>
#include <vector>

namespace cwbench::test {

// Reads a golden image: hexadecimal byte pairs, '#' starts a comment line.
std::vector<unsigned char> readHexFile(const std::string& path);

std::vector<unsigned char> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<unsigned char>& bytes);

// Makes a platform the current one for a test's lifetime.
class PlatformScope {
public:
    explicit PlatformScope(Platform& p) { setPlatform(&p); }
    ~PlatformScope() { setPlatform(nullptr); }
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;
};

// The build's own file operations, with message boxes recorded instead of shown.
class NativeFilesRecordedBoxes final : public Platform {
public:
    std::vector<RecordingPlatform::Box> boxes;
    std::unique_ptr<File> openForRead(const char* path, OpenError& error) override {
        return nativePlatform().openForRead(path, error);
    }
    std::unique_ptr<File> createForWrite(const char* path) override {
        return nativePlatform().createForWrite(path);
    }
    bool canWrite(const char* path) override { return nativePlatform().canWrite(path); }
    std::string finalPath(const char* path) override { return nativePlatform().finalPath(path); }
    ReplaceResult replace(const char* from, const char* to) override { return nativePlatform().replace(from, to); }
    bool remove(const char* path) override { return nativePlatform().remove(path); }
    bool isFile(const char* path) override { return nativePlatform().isFile(path); }
    bool createFolder(const char* path) override { return nativePlatform().createFolder(path); }
    void sleep(unsigned milliseconds) override { nativePlatform().sleep(milliseconds); }
    std::string programPath() override { return nativePlatform().programPath(); }
    std::string userDataFolder() override { return nativePlatform().userDataFolder(); }
    int messageBox(const char* text, const char* caption, unsigned type) override {
        boxes.push_back({text, caption, type});
        return kIdOk;
    }
};

// Records what a played message sends and echoes; holds input for the first
// holdPolls looks.
class RecordingOutput final : public MessageOutput {
public:
    std::vector<unsigned char> sent;
    std::string echoed;
    int holdPolls = 0;
    int waits = 0;
    bool held() override { return holdPolls > 0 && holdPolls--; }
    void send(unsigned char b) override { sent.push_back(b); }
    void echo(unsigned char ch) override { echoed.push_back(static_cast<char>(ch)); }
    void waitStep() override { ++waits; }
};

// Starts the settings as a fresh run does, from a state file that isn't there (loaded
// from scratch files of its own), so that no unreadable state file an earlier test met
// is still being kept from saveState. The current platform stays the current one.
void freshSettings();

// A directory of its own under the test work directory, emptied.
std::string freshDirectory(const std::string& name);

// Makes a fresh directory (freshDirectory) the current one for its lifetime, so that the
// state file names a test uses stay short wherever the checkout lives.
class InFreshDirectory {
public:
    explicit InFreshDirectory(const std::string& name);
    ~InFreshDirectory();
    InFreshDirectory(const InFreshDirectory&) = delete;
    InFreshDirectory& operator=(const InFreshDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace cwbench::test
