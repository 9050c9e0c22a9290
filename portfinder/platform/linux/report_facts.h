// What the JSON report says of a Linux system besides the walks' findings: which of the
// udev rules' links are in place, and which ALSA card each sound device is.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "devtree/device_records.h"
#include "platform/linux/linux_system.h"
#include "report/json_report.h"

namespace portiq::linuxsys {

// Of links (port "/dev/ttyUSB0" -> "tavrilink/nova-TN0A1B2C-cat", as the rules name them),
// those that exist under devRoot (the system's /dev) and lead to their port, each as
// "/dev/<link>". None where devRoot is empty.
std::map<std::string, std::string> LinksInPlace(SystemFiles& files, const std::string& devRoot,
                                                const std::map<std::string, std::string>& links);

// The card and capture device each sound record (texts in codePage) is, by its index.
std::map<int, AlsaCardFacts> AlsaCards(const LinuxSystem& system, const std::vector<CSbRecord>& sound,
                                       unsigned codePage);

}  // namespace portiq::linuxsys
