// cwbench's platform on Windows: each operation is the one Windows call it stands for.
#include "platform/platform.h"

#include <windows.h>

#include <cstring>

namespace cwbench {

static_assert(kMbIconExclamation == MB_ICONEXCLAMATION);
static_assert(kMbOk == MB_OK);
static_assert(kIdOk == IDOK);

namespace {

class Win32File final : public File {
public:
    explicit Win32File(HANDLE h) : h_(h) {}
    ~Win32File() override { CloseHandle(h_); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
        DWORD n = 0;
        BOOL ok = ReadFile(h_, buffer, size, &n, nullptr);
        got = n;
        return ok != FALSE;
    }
    bool write(const void* buffer, std::uint32_t size, std::uint32_t& written) override {
        DWORD n = 0;
        BOOL ok = WriteFile(h_, buffer, size, &n, nullptr);
        written = n;
        return ok != FALSE;
    }

private:
    HANDLE h_;
};

class Win32Platform final : public Platform {
public:
    std::unique_ptr<File> openForRead(const char* path, OpenError& error) override {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            error = (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
                        ? OpenError::NotFound
                        : OpenError::Other;
            return nullptr;
        }
        error = OpenError::None;
        return std::make_unique<Win32File>(h);
    }
    std::unique_ptr<File> createForWrite(const char* path) override {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32File>(h);
    }
    std::string finalPath(const char* path) override {
        // No access rights asked: enough to learn the name, even of a file that is
        // locked or can't be read.
        HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return path;
        char buffer[MAX_PATH + 8] = "";
        DWORD n = GetFinalPathNameByHandleA(h, buffer, sizeof buffer,
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        CloseHandle(h);
        // Vista's ANSI version counts the terminating zero, later ones don't.
        if (n == 0 || n >= sizeof buffer) return path;
        std::string name = buffer;
        // "\\?\C:\dir\file" and "\\?\UNC\server\share\file": the ANSI calls that
        // follow take the plain forms (Wine's ReplaceFileA even needs them).
        if (name.rfind("\\\\?\\UNC\\", 0) == 0)
            name = "\\\\" + name.substr(8);
        else if (name.rfind("\\\\?\\", 0) == 0)
            name = name.substr(4);
        // A name the ANSI code page can't hold comes back with '?' in it.
        if (name.find('?') != std::string::npos) return path;
        return name;
    }
    bool replace(const char* from, const char* to) override {
        // ReplaceFileA keeps the old file's attributes, security and short name. No merge
        // errors are ignored: a file whose security can't be kept isn't replaced.
        if (ReplaceFileA(to, from, nullptr, 0, nullptr, nullptr)) return true;
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
            // Nothing to replace yet.
            return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != FALSE;
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
            // Without a backup name this means the old file is gone already and the new
            // one is still under its own name: finish the move.
            return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
                   FALSE;
        default:
            return false;
        }
    }
    bool remove(const char* path) override { return DeleteFileA(path) != FALSE; }
    int messageBox(const char* text, const char* caption, unsigned type) override {
        return MessageBoxA(nullptr, text, caption, type);
    }
};

}  // namespace

Platform& nativePlatform() {
    // Never destroyed: the message player may still show a parser box on its own thread
    // while the program's static objects are being torn down at exit.
    static Win32Platform* p = new Win32Platform;
    return *p;
}

}  // namespace cwbench
