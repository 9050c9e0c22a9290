#include "devtree/device_records.h"

namespace portiq {

std::vector<CSbRecord> g_soundDevices;
std::vector<UsbDeviceRecord> g_usbDevices;
std::vector<UsbPortFailure> g_usbPortFailures;

std::string CSbRecord::GetInstanceKey() const {
    static const std::string kMarker = "MI_00#";
    const std::size_t marker = strInterface.find(kMarker);
    if (marker == std::string::npos || marker == 0) return strInterface;
    const std::size_t start = marker + kMarker.size();
    if (start >= strInterface.size()) return strInterface;
    const std::size_t hash = strInterface.find('#', start);
    if (hash == std::string::npos) return strInterface;
    return strInterface.substr(start, hash - start);
}

}  // namespace portiq
