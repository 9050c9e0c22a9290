// The walk's record indexes give exactly what reading every record in order gives:
// random records and device IDs built from a few pieces, so that keys occur often, at
// the start, twice, overlapping, or as the whole ID.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "devtree/ansi_text.h"
#include "devtree/record_index.h"

namespace portiq {
namespace {

// The walk's matching rules, record by record.
int PlainLastSoundMatch(const std::vector<CSbRecord>& records, const std::string& deviceId) {
    int last = -1;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (ContainsPastStart(deviceId, records[i].GetInstanceKey())) last = static_cast<int>(i);
    }
    return last;
}

std::vector<int> PlainDriverMatches(const std::vector<UsbDeviceRecord>& records, const std::string& driverKey) {
    std::vector<int> matches;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].strDriverKey == driverKey) matches.push_back(static_cast<int>(i));
    }
    return matches;
}

class RandomText {
public:
    explicit RandomText(unsigned seed) : random_(seed) {}
    // Up to maxPieces pieces, each a marker of the interface path or a short word.
    std::string Make(int maxPieces) {
        static const char* const kPieces[] = {"MI_00#", "#", "A", "B", "AB", "BA", "&0", "\\", "USB\\VID_08BB", "a"};
        std::string text;
        const int pieces = Pick(maxPieces + 1);
        for (int i = 0; i < pieces; ++i) text += kPieces[Pick(std::size(kPieces))];
        return text;
    }
    int Pick(std::size_t count) { return static_cast<int>(random_() % count); }

private:
    std::mt19937 random_;
};

TEST(SoundKeyIndex, FindsTheLastRecordWhoseKeyFirstOccursPastTheStartAsTheRecordLoopDoes) {
    // Cases worth naming: the key at the start and again later, an empty key, a key
    // equal to the whole ID, two records with one key.
    std::vector<CSbRecord> named(5);
    named[0].strInterface = "X#MI_00#AB#";   // key AB
    named[1].strInterface = "X#MI_00##";     // key empty
    named[2].strInterface = "X#MI_00#USB#";  // key USB
    named[3].strInterface = "X#MI_00#AB#Y";  // key AB again
    named[4].strInterface = "QAB";           // no MI_00#: the whole path is the key
    const SoundKeyIndex namedIndex(named);
    EXPECT_EQ(namedIndex.LastMatch("USB\\AB"), 3);
    EXPECT_EQ(namedIndex.LastMatch("USB\\USB"), -1);  // first occurrence at 0
    EXPECT_EQ(namedIndex.LastMatch("ABAB"), -1);
    EXPECT_EQ(namedIndex.LastMatch("QAB"), 3);        // AB past the start; QAB, the whole ID, at 0
    EXPECT_EQ(namedIndex.LastMatch("-QAB"), 4);
    EXPECT_EQ(namedIndex.LastMatch(""), -1);

    RandomText random(20240611);
    int matched = 0;
    int keptOutAtStart = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<CSbRecord> records(static_cast<std::size_t>(random.Pick(12)));
        for (CSbRecord& record : records) record.strInterface = random.Make(6);
        const SoundKeyIndex index(records);
        for (int probe = 0; probe < 20; ++probe) {
            const std::string deviceId = random.Make(9);
            const int expected = PlainLastSoundMatch(records, deviceId);
            ASSERT_EQ(index.LastMatch(deviceId), expected) << "device ID \"" << deviceId << "\", round " << round;
            matched += expected >= 0;
            for (const CSbRecord& record : records) {
                const std::string key = record.GetInstanceKey();
                keptOutAtStart += !key.empty() && deviceId.compare(0, key.size(), key) == 0 &&
                                  deviceId.find(key, 1) != std::string::npos;
            }
        }
    }
    // The pieces make both kinds of case common, so the comparison means something.
    EXPECT_GT(matched, 10000);
    EXPECT_GT(keptOutAtStart, 1000);
}

TEST(DriverKeyIndex, GivesEveryRecordWithAnEqualDriverKeyInOrder) {
    RandomText random(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<UsbDeviceRecord> records(static_cast<std::size_t>(random.Pick(10)));
        for (UsbDeviceRecord& record : records) record.strDriverKey = random.Make(2);
        const DriverKeyIndex index(records);
        for (int probe = 0; probe < 10; ++probe) {
            const std::string key = random.Make(2);
            ASSERT_EQ(index.Matches(key), PlainDriverMatches(records, key)) << "driver key \"" << key << "\"";
        }
    }
}

}  // namespace
}  // namespace portiq
