// sysfs-fixture ROOT DESCRIPTION...: lays out the described system under ROOT.
#include <fstream>
#include <sstream>

#include "sysfs_fixture.h"

int main(int argc, char** argv) {
    std::ostringstream description;
    for (int i = 2; i < argc; ++i) description << std::ifstream(argv[i]).rdbuf() << "\n";
    if (argc > 2) portiq::testing::BuildSysfsFixture(description.str(), argv[1]);
    return argc > 2 ? 0 : 2;
}
