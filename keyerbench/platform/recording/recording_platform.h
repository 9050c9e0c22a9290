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

class RecordingPlatform : public Platform {
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
    // Folders the user may not write, as a standard user can't write under Program
    // Files: no file in them can be created, written, replaced or removed.
    std::set<std::string> readOnlyFolders;
    // Folders made by createFolder.
    std::set<std::string> folders;
    // What programPath and userDataFolder answer.
    std::string program;
    std::string userData;
    // Symbolic links, by path: opening and creating follow them to their targets,
    // replace and remove act on the link itself.
    std::map<std::string, std::string> links;
    // The next read fails after delivering this many bytes; negative: reads succeed.
    int failReadAfter = -1;
    // Writes fail once this many bytes have been written to a file; negative: never.
    int failWriteAfter = -1;
    // The next this many replace calls fail, as while another program holds the new
    // file; with replaceStopsHalfway each takes the old file away first, as Windows does
    // when it stops halfway.
    int failReplaces = 0;
    bool replaceStopsHalfway = false;
    // Every replace call, and the milliseconds slept in all.
    int replaces = 0;
    unsigned slept = 0;

    std::vector<Box> boxes() const;
    void clearBoxes();

    std::unique_ptr<File> openForRead(const char* path, OpenError& error) override;
    std::unique_ptr<File> createForWrite(const char* path) override;
    bool canWrite(const char* path) override;
    std::string finalPath(const char* path) override;
    ReplaceResult replace(const char* from, const char* to) override;
    bool remove(const char* path) override;
    bool isFile(const char* path) override;
    bool createFolder(const char* path) override;
    void sleep(unsigned milliseconds) override { slept += milliseconds; }
    std::string programPath() override { return program; }
    std::string userDataFolder() override { return userData; }
    int messageBox(const char* text, const char* caption, unsigned type) override;

private:
    std::string follow(const std::string& path) const;
    bool inReadOnlyFolder(const std::string& path) const;
    mutable std::mutex boxLock_;
    std::vector<Box> boxes_;
};

}  // namespace cwbench
