// Recorded Linux systems for the tests, laid out from a compact description
// (sysfs_fixture.cpp describes it).
#pragma once

#include <string>

namespace portiq::testing {

// Lays out description's system under root (emptied first): root/sys, root/proc/asound.
void BuildSysfsFixture(const std::string& description, const std::string& root);

// The same system laid out under root, and returned as umockdev-run's device description
// (root's proc/asound is to be copied into the testbed). Throws std::runtime_error for
// what umockdev can't hold.
std::string UmockdevFixture(const std::string& description, const std::string& root);

}  // namespace portiq::testing
