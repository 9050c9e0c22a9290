// Recorded Linux systems for the tests, laid out from a compact description
// (sysfs_fixture.cpp describes it).
#pragma once

#include <string>

namespace portiq::testing {

// Lays out description's system under root (emptied first): root/sys, root/proc/asound.
void BuildSysfsFixture(const std::string& description, const std::string& root);

}  // namespace portiq::testing
