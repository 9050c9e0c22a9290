// sysfs-fixture ROOT DESCRIPTION...: lays out the described system under ROOT.
#include <fstream>
#include <iterator>

#include "sysfs_fixture.h"

int main(int argc, char** argv) {
    std::string description;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i]);
        description.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        description += "\n";
    }
    if (argc < 3) return 2;
    portiq::testing::BuildSysfsFixture(description, argv[1]);
    return 0;
}
