// The thin layer between cwbench's portable code and the machine: the state file's
// file operations and the message box.
//
// Each operation stands for one Windows call with the same contract: openForRead is
// CreateFileA(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), createForWrite is
// CreateFileA(GENERIC_WRITE, no sharing, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL), read and
// write are one ReadFile/WriteFile, finalPath is GetFinalPathNameByHandleA, replace is
// ReplaceFileA (MoveFileExA where there is nothing to replace), remove is DeleteFileA,
// messageBox is MessageBoxA without an owner. Opening and creating follow symbolic links
// to their targets; replace and remove act on the name they are given. Three
// implementations exist: platform/win32 calls Windows, platform/stdio serves the host
// build with the C library and std::filesystem, platform/recording keeps files in
// memory, can be told to fail, and records every box, for tests.
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

class Platform {
public:
    virtual ~Platform() = default;
    virtual std::unique_ptr<File> openForRead(const char* path, OpenError& error) = 0;
    virtual std::unique_ptr<File> createForWrite(const char* path) = 0;
    // The path of the file that path finally names, symbolic links followed, so that a
    // file replaced there keeps the link and replaces its target. The path as given when
    // it names no file or its final path can't be had (or, on Windows, can't be written
    // in the ANSI code page).
    virtual std::string finalPath(const char* path) = 0;
    // Replaces the file `to` with the file `from`, which takes to's name, attributes and
    // security (on the host build: its permission bits); where `to` doesn't exist, moves
    // `from` there. A read-only `to` (on the host build: one without any write
    // permission) is not replaced. False when nothing was replaced: `from` is left in
    // place and `to` as it was, unless Windows failed halfway and `to` is gone.
    virtual bool replace(const char* from, const char* to) = 0;
    virtual bool remove(const char* path) = 0;
    virtual int messageBox(const char* text, const char* caption, unsigned type) = 0;
};

// The platform the portable code uses: the build's own one unless a test sets another.
Platform& platform();
// Passing nullptr goes back to the build's own platform.
void setPlatform(Platform* p);

// The build's own platform (win32 or stdio).
Platform& nativePlatform();

}  // namespace cwbench
