// Look-ups over the records the sound list and the USB walk hand to the device-tree
// walk. The walk asks, for every node, which records belong to it; reading every record
// for every node made a tree of 40,000 codec nodes with as many sound records take
// half a minute. These indexes answer the same questions at a cost that doesn't grow
// with the number of records.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "devtree/device_records.h"

namespace portiq {

// The sound devices by instance key (CSbRecord::GetInstanceKey).
class SoundKeyIndex {
public:
    SoundKeyIndex() = default;
    explicit SoundKeyIndex(const std::vector<CSbRecord>& records);

    // The index of the last record whose instance key occurs in deviceId with its first
    // occurrence at a position greater than 0; -1 when no record's key does. This is the
    // answer of testing every record in order and keeping the last match.
    //
    // Cost: one hash probe per position of the ID and distinct key length shorter than
    // the ID, whatever the number of records. Device IDs are shorter than 960 bytes, and
    // real instance keys come in one or two lengths.
    int LastMatch(const std::string& deviceId) const;

private:
    struct Key {
        std::string text;
        int lastRecord;  // the highest record index with this key
    };
    struct KeyLength {
        std::size_t length;
        std::uint64_t power;  // kHashBase to the power length, for the rolling hash
    };

    // The key of the given length that starts at start, or -1.
    int FindKey(const std::string& deviceId, const std::vector<std::uint64_t>& prefixHashes, std::size_t start,
                const KeyLength& length) const;

    std::vector<Key> keys_;         // distinct non-empty keys
    std::vector<KeyLength> lengths_;  // their distinct lengths, ascending
    std::unordered_map<std::uint64_t, std::vector<int>> byHash_;  // rolling hash of a key -> keys_
};

// The USB devices by driver key.
class DriverKeyIndex {
public:
    DriverKeyIndex() = default;
    explicit DriverKeyIndex(const std::vector<UsbDeviceRecord>& records);

    // The indexes of the records whose driver key equals driverKey exactly
    // (case-sensitive, empty equals empty), in record order.
    const std::vector<int>& Matches(const std::string& driverKey) const;

private:
    std::unordered_map<std::string, std::vector<int>> byKey_;
};

}  // namespace portiq
