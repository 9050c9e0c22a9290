// Shared helpers of PortIQ's tests: a fresh run on a synthetic machine, scenario files
// and scratch directories.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/enum_devices_app.h"
#include "platform/synthetic/scenario.h"
#include "platform/synthetic/synthetic_platform.h"

namespace portiq::testing {

// Path of a bundled scenario file.
std::string ScenarioPath(const std::string& name);

// Path of a file of the expected results.
std::string GoldenPath(const std::string& name);

std::string ReadFileBytes(const std::string& path);

// A new empty directory for files a test writes.
std::string MakeScratchDirectory();

// Every test starts from the globals of a new process, with its own machine installed.
class PortIqTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
    void TearDown() override { ResetRunState(); }

    // Loads scenario text (or a bundled file) into the machine and installs it.
    void LoadText(const std::string& text);
    void LoadFile(const std::string& name);
    void Install() { machine.Install(); }

    synthetic::SyntheticMachine machine;
};

}  // namespace portiq::testing
