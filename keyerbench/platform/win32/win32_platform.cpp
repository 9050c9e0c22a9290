// cwbench's platform on Windows: each operation is the one Windows call it stands for.
#include "platform/path_text.h"
#include "platform/platform.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

namespace cwbench {

static_assert(kMbIconExclamation == MB_ICONEXCLAMATION && kMbIconInformation == MB_ICONINFORMATION);
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

// The UTF-8 path as the wide calls take it, in the long form where it needs one.
std::wstring widePath(const char* path) {
    const std::u16string wide = extendedLengthPath(utf16FromUtf8(path ? path : ""));
    return std::wstring(wide.begin(), wide.end());
}

std::string utf8Path(const wchar_t* text, std::size_t length) {
    return utf8FromUtf16(std::u16string(text, text + length));
}

class Win32Platform final : public Platform {
public:
    std::unique_ptr<File> openForRead(const char* path, OpenError& error) override {
        HANDLE h = CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
        HANDLE h = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32File>(h);
    }
    bool canWrite(const char* path) override {
        HANDLE h = CreateFileW(widePath(path).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    }
    std::string finalPath(const char* path) override {
        // No access rights asked: enough to learn the name, even of a file that is
        // locked or can't be read.
        HANDLE h = CreateFileW(widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return path;
        std::wstring buffer(MAX_PATH, L'\0');
        DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        // Too small: n is the size needed, the terminating zero included.
        if (n >= buffer.size()) {
            buffer.resize(n);
            n = GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        }
        CloseHandle(h);
        if (n == 0 || n >= buffer.size()) return path;
        // "\\?\C:\dir\file" and "\\?\UNC\server\share\file": widePath gives the long
        // form back where the path needs it.
        const std::u16string name = plainPath(std::u16string(buffer.begin(), buffer.begin() + n));
        return utf8FromUtf16(name);
    }
    ReplaceResult replace(const char* from, const char* to) override {
        const std::wstring source = widePath(from);
        const std::wstring target = widePath(to);
        // ReplaceFileW keeps the old file's attributes, security and short name. No merge
        // errors are ignored: a file whose security can't be kept isn't replaced. The old
        // file is moved to a backup name of ours, so that where Windows stops halfway it
        // is known where the old file went.
        const std::wstring backup = target + L".old";
        DeleteFileW(backup.c_str());  // one a disturbed save left behind
        if (ReplaceFileW(target.c_str(), source.c_str(), backup.c_str(), 0, nullptr, nullptr)) {
            DeleteFileW(backup.c_str());
            return ReplaceResult::Replaced;
        }
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
            // Nothing to replace yet.
            return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? ReplaceResult::Replaced
                                                                                        : ReplaceResult::Failed;
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            // Halfway: the old file is under the backup name and the new one still under
            // its own. Finish the move, then the old file goes. (With a backup name, 1176
            // leaves both files as they were: tried again like any other failure.)
            if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);  // the old file back
                return ReplaceResult::Failed;
            }
            DeleteFileW(backup.c_str());
            return ReplaceResult::Replaced;
        default: {
            const DWORD attributes = GetFileAttributesW(target.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)
                       ? ReplaceResult::ReadOnly
                       : ReplaceResult::Failed;
        }
        }
    }
    bool remove(const char* path) override { return DeleteFileW(widePath(path).c_str()) != FALSE; }
    bool isFile(const char* path) override {
        const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool createFolder(const char* path) override {
        return CreateDirectoryW(widePath(path).c_str(), nullptr) != FALSE;
    }
    void sleep(unsigned milliseconds) override { Sleep(milliseconds); }
    std::string programPath() override {
        // The name is cut to the buffer when it doesn't fit (without its zero on XP):
        // a result that fills the buffer asks for a larger one.
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
            if (n == 0) return {};
            if (n < buffer.size()) return utf8Path(buffer.data(), n);
            if (buffer.size() >= 32768) return {};
            buffer.resize(buffer.size() * 2);
        }
    }
    std::string userDataFolder() override {
        wchar_t buffer[MAX_PATH] = L"";
        if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return {};
        return utf8Path(buffer, wcslen(buffer));
    }
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
