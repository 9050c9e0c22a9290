// Tests on recorded Linux systems: each laid out in a scratch folder (removed after the
// test), read through a test's files and run as portiq runs on one.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/linux_machine.h"
#include "sysfs_fixture.h"
#include "test_support.h"

namespace portiq::testing {

class RecordedSystemTest : public PortIqTest {
protected:
    void TearDown() override {
        for (const std::string& dir : scratch_) std::filesystem::remove_all(dir);
        PortIqTest::TearDown();
    }

    // Lays out description (it may use the descriptor sets of golden/linux); its root.
    std::string Lay(const std::string& description) {
        scratch_.push_back(std::filesystem::absolute(MakeScratchDirectory()).string());
        const std::string root = scratch_.back() + "/root";
        BuildSysfsFixture(ReadFileBytes(GoldenPath("linux/descriptors.txt")) + "\n" + description, root);
        return root;
    }
    std::string LayFixture(const std::string& name) { return Lay(ReadFileBytes(GoldenPath("linux/" + name + ".sys"))); }

    // PortIQ's run on the system read from root through files; the report.
    std::string Run(linuxsys::SystemFiles& files, const std::string& root) {
        linuxsys::SystemRoots roots;
        roots.sysfs = root + "/sys";
        roots.procAsound = root + "/proc/asound";
        roots.dev = root + "/dev";
        roots.udevData = root + "/run/udev/data";
        system = linuxsys::ReadLinuxSystem(files, roots);
        built = std::make_unique<synthetic::SyntheticMachine>();
        linuxsys::BuildMachine(system, *built);
        ResetRunState();
        built->Install();
        CEnumDevicesApp().InitInstance();
        return built->system.messageBoxes.at(0).text;
    }

    linuxsys::LinuxSystem system;
    std::unique_ptr<synthetic::SyntheticMachine> built;

private:
    std::vector<std::string> scratch_;
};

}  // namespace portiq::testing
