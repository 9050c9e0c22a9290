// cwbench's platform on Windows: each operation is the one Windows call it stands for.
#include "platform/platform.h"

#include <windows.h>

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
    bool replace(const char* from, const char* to) override {
        return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
               FALSE;
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
