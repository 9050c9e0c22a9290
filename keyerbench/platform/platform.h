// The thin layer between cwbench's portable code and the machine: the state file's
// file operations, the few facts that place it (the program's own path, the user's data
// folder), the help file's presence, and the message box.
//
// Paths are UTF-8 (platform/path_text.h). Each operation stands for one Windows call
// with the same contract, made through the wide call with the path in UTF-16, in the
// \\?\ form from 248 units on, so that neither a folder named in letters the ANSI code
// page lacks nor a deep one changes which file is meant:
//   openForRead     CreateFileW(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING)
//   createForWrite  CreateFileW(GENERIC_WRITE, no sharing, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL)
//   canWrite        CreateFileW(GENERIC_WRITE, all sharing, OPEN_EXISTING), closed at once
//   read, write     one ReadFile/WriteFile
//   finalPath       GetFinalPathNameByHandleW
//   replace         ReplaceFileW, the old file moved to `to`.old and deleted afterwards
//                   (MoveFileExW where there is nothing to replace, or to finish what
//                   ReplaceFileW left halfway)
//   remove          DeleteFileW
//   isFile          GetFileAttributesW
//   createFolder    CreateDirectoryW
//   sleep           Sleep
//   programPath     GetModuleFileNameW(NULL)
//   userDataFolder  SHGetFolderPathW(CSIDL_LOCAL_APPDATA), the folder %LOCALAPPDATA% names
//   messageBox      MessageBoxA without an owner
// Opening, creating and canWrite follow symbolic links to their targets; replace and
// remove act on the name they are given. Three implementations exist: platform/win32
// calls Windows, platform/stdio serves the host build with the C library and
// std::filesystem, platform/recording keeps files in memory, can be told to fail, and
// records every box, for tests.
//
// Files are closed when their object goes away.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace cwbench {

// Message box types and results (MB_*, IDOK) used by cwbench.
inline constexpr unsigned kMbOk = 0x0000;
inline constexpr unsigned kMbIconExclamation = 0x0030;
inline constexpr unsigned kMbIconInformation = 0x0040;
inline constexpr int kIdOk = 1;

// Why a file could not be opened. Only "absent" matters to the callers: a file that
// exists but is locked or denied must not be treated as missing.
enum class OpenError { None, NotFound, Other };

class File {
public:
    virtual ~File() = default;
    // Reads up to size bytes; got receives the count (0 at the end of the file).
    // False when the read itself fails.
    virtual bool read(void* buffer, std::uint32_t size, std::uint32_t& got) = 0;
    // Writes size bytes; written receives the count. False when the write fails.
    virtual bool write(const void* buffer, std::uint32_t size, std::uint32_t& written) = 0;
};

// What replace did.
enum class ReplaceResult {
    // `to` holds what `from` held, and `from` is gone.
    Replaced,
    // `to` is read-only (on the host build: has no write permission at all) and was left
    // as it was, `from` in place: the user's choice, not worth a second try.
    ReadOnly,
    // Nothing was replaced and `from` is in place. `to` is as it was, unless Windows
    // stopped halfway and neither finishing the job nor moving the old file back worked:
    // `to` is then gone (it stays as `to`.old). Another handle on either
    // file (a virus scanner, the indexer, a sync client) makes this happen for a moment,
    // so a second try may succeed.
    Failed
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual std::unique_ptr<File> openForRead(const char* path, OpenError& error) = 0;
    virtual std::unique_ptr<File> createForWrite(const char* path) = 0;
    // Whether the existing file path may be opened for writing now; nothing is changed.
    virtual bool canWrite(const char* path) = 0;
    // The path of the file that path finally names, symbolic links followed, so that a
    // file replaced there keeps the link and replaces its target. The path as given when
    // it names no file or its final path can't be had.
    virtual std::string finalPath(const char* path) = 0;
    // Replaces the file `to` with the file `from`, which takes to's name, attributes and
    // security (on the host build: its permission bits); where `to` doesn't exist, moves
    // `from` there.
    virtual ReplaceResult replace(const char* from, const char* to) = 0;
    virtual bool remove(const char* path) = 0;
    // True when path names a file (not a folder) that exists.
    virtual bool isFile(const char* path) = 0;
    // Creates the folder path, whose parent must exist. False when it can't be created,
    // also when it is there already.
    virtual bool createFolder(const char* path) = 0;
    virtual void sleep(unsigned milliseconds) = 0;
    // The running program's full file name, whatever its length; empty when it can't be
    // had.
    virtual std::string programPath() = 0;
    // The folder where programs keep the user's own data on this machine
    // (C:\Users\<user>\AppData\Local); empty when there is none.
    virtual std::string userDataFolder() = 0;
    virtual int messageBox(const char* text, const char* caption, unsigned type) = 0;
};

// The platform the portable code uses: the build's own one unless a test sets another.
Platform& platform();
// Passing nullptr goes back to the build's own platform.
void setPlatform(Platform* p);

// The build's own platform (win32 or stdio).
Platform& nativePlatform();

}  // namespace cwbench
