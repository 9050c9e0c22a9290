// A platform for tests: files held in memory, failures on request, and a record of
// every message box shown.
#pragma once

#include "platform/platform.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace cwbench {

class RecordingPlatform final : public Platform {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned type;
    };

    // Files, by path. Creating a file empties it at once, as CREATE_ALWAYS does.
    std::map<std::string, std::vector<unsigned char>> files;
    // Paths that exist but can't be opened in any way (held by another program).
    std::set<std::string> locked;
    // Paths whose directory doesn't exist: nothing can be created there.
    std::set<std::string> uncreatable;
    // Symbolic links, by path: opening and creating follow them to their targets,
    // replace and remove act on the link itself.
    std::map<std::string, std::string> links;
    // The next read fails after delivering this many bytes; negative: reads succeed.
    int failReadAfter = -1;
    // Writes fail once this many bytes have been written to a file; negative: never.
    int failWriteAfter = -1;
    bool failReplace = false;

    std::vector<Box> boxes() const;
    void clearBoxes();

    std::unique_ptr<File> openForRead(const char* path, OpenError& error) override;
    std::unique_ptr<File> createForWrite(const char* path) override;
    std::string finalPath(const char* path) override;
    bool replace(const char* from, const char* to) override;
    bool remove(const char* path) override;
    int messageBox(const char* text, const char* caption, unsigned type) override;

private:
    std::string follow(const std::string& path) const;
    mutable std::mutex boxLock_;
    std::vector<Box> boxes_;
};

}  // namespace cwbench
