// The thin layer between cwbench's portable code and the machine: the state file's
// file operations and the message box.
//
// Each operation stands for one Windows call with the same contract: openForRead is
// CreateFileA(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), createForWrite is
// CreateFileA(GENERIC_WRITE, no sharing, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL), read and
// write are one ReadFile/WriteFile, replace is MoveFileExA(MOVEFILE_REPLACE_EXISTING),
// remove is DeleteFileA, messageBox is MessageBoxA without an owner. Three
// implementations exist: platform/win32 calls Windows, platform/stdio serves the host
// build with the C library, platform/recording keeps files in memory, can be told to
// fail, and records every box, for tests.
//
// Files are closed when their object goes away.
#pragma once

#include <cstdint>
#include <memory>

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
    // Moves from over to, replacing to. False leaves both as they were.
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
