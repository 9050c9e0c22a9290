#include "platform/linux/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

namespace portiq::linuxsys {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};


FileError ErrorOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return FileError::kMissing;
        case EACCES:
        case EPERM: return FileError::kDenied;
        default: return FileError::kUnreadable;
    }
}

}  // namespace

FileBytes PosixFiles::Read(const std::string& path, std::size_t limit) {
    // The type first, from the name: only a regular file is ever opened, so the open
    // can't make a device node act. O_NONBLOCK and O_NOCTTY still hold for a name
    // changed in between (only a recorded tree's owner could do that).
    struct stat named {};
    if (stat(path.c_str(), &named) != 0) return {ErrorOf(errno), {}};
    if (!S_ISREG(named.st_mode)) return {FileError::kNotRegular, {}};
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) return {ErrorOf(errno), {}};
    FileBytes read;
    char buffer[4096];
    while (read.bytes.size() < limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit - read.bytes.size());
        const ssize_t got = ::read(file.get(), buffer, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {FileError::kUnreadable, {}};  // a device unplugged meanwhile answers ENODEV
        read.bytes.append(buffer, static_cast<std::size_t>(got));
        // A regular file reads short only at its end: no second call to learn that.
        if (static_cast<std::size_t>(got) < wanted) break;
    }
    return read;
}

std::optional<std::vector<std::string>> PosixFiles::List(const std::string& path, std::size_t limit) {
    const std::unique_ptr<DIR, DirectoryCloser> directory(opendir(path.c_str()));
    if (!directory) return std::nullopt;
    std::vector<std::string> names;
    while (names.size() < limit) {
        const dirent* entry = readdir(directory.get());
        if (!entry) break;
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

std::string PosixFiles::LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
    return std::string(target, static_cast<std::size_t>(length));
}

std::string PosixFiles::RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

std::optional<PathStatus> PosixFiles::Status(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::nullopt;
    return PathStatus{static_cast<std::uint32_t>(status.st_mode), status.st_uid, status.st_gid};
}

UserIds PosixFiles::User() {
    UserIds user;
    user.uid = geteuid();
    user.groups.push_back(getegid());
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count > 0 && getgroups(count, groups.data()) == count) user.groups.insert(user.groups.end(), groups.begin(), groups.end());
    return user;
}

std::string PosixFiles::GroupName(unsigned gid) {
    group entry {};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->gr_name) return found->gr_name;
    return std::to_string(gid);
}

bool PosixFiles::IsDirectory(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace portiq::linuxsys
