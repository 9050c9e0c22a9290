// cwbench's platform on the host build: files through the C library and std::filesystem,
// message boxes on standard error. It keeps the Windows contract where the C library
// differs: a directory is not a file, a missing file is told apart from one that can't
// be read, and a replaced file keeps its permissions (a file without any write
// permission counts as read-only and is not replaced).
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

namespace cwbench {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class StdioFile final : public File {
public:
    explicit StdioFile(FilePtr f) : f_(std::move(f)) {}
    bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = static_cast<std::uint32_t>(std::fread(buffer, 1, size, f_.get()));
        return !std::ferror(f_.get());
    }
    bool write(const void* buffer, std::uint32_t size, std::uint32_t& written) override {
        written = static_cast<std::uint32_t>(std::fwrite(buffer, 1, size, f_.get()));
        return written == size && std::fflush(f_.get()) == 0;
    }

private:
    FilePtr f_;
};

namespace fs = std::filesystem;

bool isDirectory(const char* path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The most symbolic links followed in a row, as the kernel's own limit.
constexpr int kMaxLinks = 40;

class StdioPlatform final : public Platform {
public:
    std::unique_ptr<File> openForRead(const char* path, OpenError& error) override {
        if (isDirectory(path)) {
            error = OpenError::Other;
            return nullptr;
        }
        errno = 0;
        FilePtr f(std::fopen(path, "rb"));
        if (!f) {
            error = (errno == ENOENT || errno == ENOTDIR) ? OpenError::NotFound : OpenError::Other;
            return nullptr;
        }
        error = OpenError::None;
        return std::make_unique<StdioFile>(std::move(f));
    }
    std::unique_ptr<File> createForWrite(const char* path) override {
        if (isDirectory(path)) return nullptr;
        FilePtr f(std::fopen(path, "wb"));
        if (!f) return nullptr;
        return std::make_unique<StdioFile>(std::move(f));
    }
    bool canWrite(const char* path) override {
        if (isDirectory(path)) return false;
        FilePtr f(std::fopen(path, "r+b"));
        return f != nullptr;
    }
    std::string finalPath(const char* path) override {
        fs::path p = path;
        std::error_code ec;
        for (int links = 0; links < kMaxLinks && fs::is_symlink(p, ec); ++links) {
            fs::path target = fs::read_symlink(p, ec);
            if (ec) break;
            p = target.is_absolute() ? target : p.parent_path() / target;
        }
        return p.string();
    }
    ReplaceResult replace(const char* from, const char* to) override {
        std::error_code ec;
        fs::file_status old = fs::status(to, ec);
        if (fs::exists(old)) {
            if (!fs::is_regular_file(old)) return ReplaceResult::Failed;
            constexpr fs::perms anyWrite =
                fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
            if ((old.permissions() & anyWrite) == fs::perms::none) return ReplaceResult::ReadOnly;
            fs::permissions(from, old.permissions(), ec);
            if (ec) return ReplaceResult::Failed;
        } else if (old.type() != fs::file_type::not_found) {
            return ReplaceResult::Failed;  // can't tell what is there
        }
        return std::rename(from, to) == 0 ? ReplaceResult::Replaced : ReplaceResult::Failed;
    }
    bool remove(const char* path) override {
        if (isDirectory(path)) return false;
        return std::remove(path) == 0;
    }
    bool isFile(const char* path) override {
        std::error_code ec;
        return fs::is_regular_file(path, ec);
    }
    bool createFolder(const char* path) override {
        std::error_code ec;
        return fs::create_directory(path, ec);
    }
    void sleep(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    std::string programPath() override {
        std::error_code ec;
        return fs::read_symlink("/proc/self/exe", ec).string();
    }
    // The XDG data folder, the nearest thing a Linux user has.
    std::string userDataFolder() override {
        if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return data;
        if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/share";
        return {};
    }
    int messageBox(const char* text, const char* caption, unsigned) override {
        std::fprintf(stderr, "[%s] %s\n", caption, text);
        return kIdOk;
    }
};

}  // namespace

Platform& nativePlatform() {
    static StdioPlatform p;
    return p;
}

}  // namespace cwbench
