#include "devtree/record_index.h"

#include <algorithm>

namespace portiq {
namespace {

// Polynomial rolling hash modulo 2^64. It only picks candidates: every candidate is
// compared byte for byte, so a collision costs a comparison, never a wrong answer.
constexpr std::uint64_t kHashBase = 0x100000001B3ull;

std::uint64_t Step(std::uint64_t hash, char byte) {
    return hash * kHashBase + static_cast<unsigned char>(byte) + 1;  // +1: leading NULs count
}

std::uint64_t HashOf(const std::string& text) {
    std::uint64_t hash = 0;
    for (const char c : text) hash = Step(hash, c);
    return hash;
}

std::uint64_t Power(std::size_t exponent) {
    std::uint64_t power = 1;
    while (exponent-- > 0) power *= kHashBase;
    return power;
}

}  // namespace

SoundKeyIndex::SoundKeyIndex(const std::vector<CSbRecord>& records) {
    std::unordered_map<std::string, int> byText;
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::string key = records[i].GetInstanceKey();
        if (key.empty()) continue;  // an empty key "occurs" at position 0: it never matches
        const auto [found, added] = byText.emplace(key, static_cast<int>(keys_.size()));
        if (added) {
            keys_.push_back(Key{std::move(key), static_cast<int>(i)});
        } else {
            keys_[found->second].lastRecord = static_cast<int>(i);
        }
    }
    std::vector<std::size_t> lengths;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        byHash_[HashOf(keys_[k].text)].push_back(static_cast<int>(k));
        lengths.push_back(keys_[k].text.size());
    }
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    for (const std::size_t length : lengths) lengths_.push_back(KeyLength{length, Power(length)});
}

int SoundKeyIndex::FindKey(const std::string& deviceId, const std::vector<std::uint64_t>& prefixHashes,
                           std::size_t start, const KeyLength& length) const {
    const std::uint64_t hash = prefixHashes[start + length.length] - prefixHashes[start] * length.power;
    const auto found = byHash_.find(hash);
    if (found == byHash_.end()) return -1;
    for (const int k : found->second) {
        const std::string& text = keys_[k].text;
        if (text.size() == length.length && deviceId.compare(start, text.size(), text) == 0) return k;
    }
    return -1;
}

int SoundKeyIndex::LastMatch(const std::string& deviceId) const {
    const std::size_t size = deviceId.size();
    if (keys_.empty() || size < 2) return -1;
    std::vector<std::uint64_t> prefixHashes(size + 1, 0);  // [i]: hash of the first i bytes
    for (std::size_t i = 0; i < size; ++i) prefixHashes[i + 1] = Step(prefixHashes[i], deviceId[i]);

    int last = -1;
    for (const KeyLength& length : lengths_) {
        if (length.length >= size) break;  // a key must fit after position 0
        // The key that begins the ID occurs first at position 0, wherever else it occurs:
        // it never matches.
        const int atStart = FindKey(deviceId, prefixHashes, 0, length);
        for (std::size_t start = 1; start + length.length <= size; ++start) {
            const int k = FindKey(deviceId, prefixHashes, start, length);
            if (k >= 0 && k != atStart) last = std::max(last, keys_[k].lastRecord);
        }
    }
    return last;
}

DriverKeyIndex::DriverKeyIndex(const std::vector<UsbDeviceRecord>& records) {
    for (std::size_t i = 0; i < records.size(); ++i) byKey_[records[i].strDriverKey].push_back(static_cast<int>(i));
}

const std::vector<int>& DriverKeyIndex::Matches(const std::string& driverKey) const {
    static const std::vector<int> kNone;
    const auto found = byKey_.find(driverKey);
    return found == byKey_.end() ? kNone : found->second;
}

}  // namespace portiq
