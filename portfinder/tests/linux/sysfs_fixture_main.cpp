// sysfs-fixture ROOT DESCRIPTION...: lays out the described system under ROOT.
// sysfs-fixture --umockdev FILE ROOT DESCRIPTION...: writes it to FILE for umockdev-run,
// and lays out its proc/asound under ROOT.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "sysfs_fixture.h"

int main(int argc, char** argv) {
    const bool umockdev = argc > 1 && std::strcmp(argv[1], "--umockdev") == 0;
    const int first = umockdev ? 4 : 2;
    if (argc <= first) return 2;
    std::ostringstream description;
    for (int i = first; i < argc; ++i) description << std::ifstream(argv[i]).rdbuf() << "\n";
    try {
        if (!umockdev) {
            portiq::testing::BuildSysfsFixture(description.str(), argv[1]);
        } else if (!(std::ofstream(argv[2], std::ios::binary) << portiq::testing::UmockdevFixture(description.str(), argv[3]))) {
            throw std::runtime_error(std::string("can't write ") + argv[2]);
        }
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "sysfs-fixture: %s\n", e.what());
        return 1;
    }
    return 0;
}
