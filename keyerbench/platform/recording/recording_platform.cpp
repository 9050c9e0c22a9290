#include "platform/recording/recording_platform.h"

#include <algorithm>
#include <cstring>

namespace cwbench {

namespace {

class MemoryReader final : public File {
public:
    MemoryReader(std::vector<unsigned char> data, int failAfter)
        : data_(std::move(data)), failAfter_(failAfter) {}
    bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
        std::size_t left = data_.size() - pos_;
        std::size_t n = std::min<std::size_t>(size, left);
        bool ok = true;
        if (failAfter_ >= 0 && n > static_cast<std::size_t>(failAfter_)) {
            n = static_cast<std::size_t>(failAfter_);
            ok = false;
        }
        if (n > 0) std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        got = static_cast<std::uint32_t>(n);
        return ok;
    }
    bool write(const void*, std::uint32_t, std::uint32_t& written) override {
        written = 0;
        return false;
    }

private:
    std::vector<unsigned char> data_;
    std::size_t pos_ = 0;
    int failAfter_;
};

class MemoryWriter final : public File {
public:
    MemoryWriter(std::vector<unsigned char>& target, int failAfter)
        : target_(target), failAfter_(failAfter) {}
    bool read(void*, std::uint32_t, std::uint32_t& got) override {
        got = 0;
        return false;
    }
    bool write(const void* buffer, std::uint32_t size, std::uint32_t& written) override {
        std::size_t n = size;
        bool ok = true;
        if (failAfter_ >= 0) {
            std::size_t room = static_cast<std::size_t>(failAfter_) -
                               std::min<std::size_t>(target_.size(), failAfter_);
            if (n > room) {
                n = room;
                ok = false;
            }
        }
        const auto* p = static_cast<const unsigned char*>(buffer);
        target_.insert(target_.end(), p, p + n);
        written = static_cast<std::uint32_t>(n);
        return ok;
    }

private:
    std::vector<unsigned char>& target_;
    int failAfter_;
};

}  // namespace

std::vector<RecordingPlatform::Box> RecordingPlatform::boxes() const {
    std::lock_guard<std::mutex> g(boxLock_);
    return boxes_;
}

void RecordingPlatform::clearBoxes() {
    std::lock_guard<std::mutex> g(boxLock_);
    boxes_.clear();
}

std::string RecordingPlatform::follow(const std::string& path) const {
    std::string p = path;
    for (std::size_t hops = 0; hops <= links.size() && links.count(p); ++hops) p = links.at(p);
    return p;
}

bool RecordingPlatform::inReadOnlyFolder(const std::string& path) const {
    const std::size_t end = path.find_last_of("\\/");
    return end != std::string::npos && readOnlyFolders.count(path.substr(0, end)) > 0;
}

std::string RecordingPlatform::finalPath(const char* path) { return follow(path); }

std::unique_ptr<File> RecordingPlatform::openForRead(const char* given, OpenError& error) {
    const std::string path = follow(given);
    if (locked.count(path)) {
        error = OpenError::Other;
        return nullptr;
    }
    auto it = files.find(path);
    if (it == files.end()) {
        error = OpenError::NotFound;
        return nullptr;
    }
    error = OpenError::None;
    int failAfter = failReadAfter;
    failReadAfter = -1;
    return std::make_unique<MemoryReader>(it->second, failAfter);
}

std::unique_ptr<File> RecordingPlatform::createForWrite(const char* given) {
    const std::string path = follow(given);
    if (locked.count(path) || uncreatable.count(path) || inReadOnlyFolder(path)) return nullptr;
    auto& content = files[path];
    content.clear();
    return std::make_unique<MemoryWriter>(content, failWriteAfter);
}

bool RecordingPlatform::canWrite(const char* given) {
    const std::string path = follow(given);
    return files.count(path) && !locked.count(path) && !uncreatable.count(path) && !inReadOnlyFolder(path);
}

ReplaceResult RecordingPlatform::replace(const char* from, const char* to) {
    ++replaces;
    if (failReplaces > 0) {
        --failReplaces;
        if (replaceStopsHalfway) files.erase(to);
        return ReplaceResult::Failed;
    }
    if (locked.count(to) || locked.count(from) || inReadOnlyFolder(to)) return ReplaceResult::Failed;
    auto it = files.find(from);
    if (it == files.end()) return ReplaceResult::Failed;
    files[to] = it->second;
    files.erase(from);
    links.erase(to);  // a link in the way is replaced, not followed
    return ReplaceResult::Replaced;
}

bool RecordingPlatform::remove(const char* path) {
    if (locked.count(path) || inReadOnlyFolder(path)) return false;
    return links.erase(path) > 0 || files.erase(path) > 0;
}

bool RecordingPlatform::isFile(const char* path) { return files.count(follow(path)) > 0; }

bool RecordingPlatform::createFolder(const char* path) { return folders.insert(path).second; }

int RecordingPlatform::messageBox(const char* text, const char* caption, unsigned type) {
    std::lock_guard<std::mutex> g(boxLock_);
    boxes_.push_back(Box{text, caption, type});
    return kIdOk;
}

}  // namespace cwbench
