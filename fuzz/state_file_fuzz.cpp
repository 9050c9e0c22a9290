// cwbench's state file loader, through the recording platform. Input: the file's bytes,
// however many. Whatever loads must save as the record's exact image and load back the
// same; the same file read by a read that fails half-way must leave a defined record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/recording/recording_platform.h"
#include "settings/settings.h"

using namespace cwbench;

namespace {

constexpr char kStateFile[] = "C:\\cwbench\\cwbench.cfg";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RecordingPlatform& recording = *new RecordingPlatform;
    setPlatform(&recording);
    setConfigName(kStateFile);
    recording.files.clear();
    recording.clearBoxes();
    recording.failReadAfter = -1;

    std::memset(&mxf, 0, sizeof mxf);
    recording.files[kStateFile].assign(data, data + size);
    if (loadConfigFile() != 1) std::abort();

    // A short file fills the record's head and leaves the rest as it was (zero here).
    const unsigned char* record = reinterpret_cast<const unsigned char*>(&mxf);
    const std::size_t head = size < kStateFileSize ? size : kStateFileSize;
    if (std::memcmp(record, data, head) != 0) std::abort();
    for (std::size_t i = head; i < kStateFileSize; ++i) {
        if (record[i] != 0) std::abort();
    }

    // Saved, the record is the file's whole image, and loads back unchanged.
    const MXF loaded = mxf;
    if (saveState() != 1) std::abort();
    const std::vector<unsigned char>& saved = recording.files[kStateFile];
    if (saved.size() != kStateFileSize || std::memcmp(saved.data(), &loaded, kStateFileSize) != 0) std::abort();
    std::memset(&mxf, 0, sizeof mxf);
    if (loadConfigFile() != 1 || std::memcmp(&mxf, &loaded, sizeof mxf) != 0) std::abort();

    // A read that fails part-way: "Read file failed.", and the bytes read are kept.
    if (head > 0) {
        recording.files[kStateFile].assign(data, data + size);
        recording.failReadAfter = static_cast<int>(head / 2);
        if (loadConfigFile() != 0 || recording.boxes().empty()) std::abort();
        if (std::memcmp(record, data, head / 2) != 0) std::abort();
    }

    setPlatform(nullptr);
    return 0;
}
