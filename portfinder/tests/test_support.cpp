#include "test_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#if defined(_WIN32)
#include <direct.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace portiq::testing {

std::string ScenarioPath(const std::string& name) { return std::string(PORTIQ_SCENARIO_DIR) + "/" + name; }

std::string GoldenPath(const std::string& name) { return std::string(PORTIQ_GOLDEN_DIR) + "/" + name; }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string MakeScratchDirectory() {
    static int counter = 0;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("scratch_") + (info ? info->name() : "test") + "_" + std::to_string(++counter);
#if defined(_WIN32)
    _mkdir(name.c_str());
#else
    name += "_" + std::to_string(getpid());
    mkdir(name.c_str(), 0755);
#endif
    std::remove((name + "/PortIq.lst").c_str());
    return name;
}

void PortIqTest::LoadText(const std::string& text) {
    std::istringstream in(text);
    std::string error;
    ASSERT_TRUE(synthetic::LoadScenario(in, machine, error)) << error;
    Install();
}

void PortIqTest::LoadFile(const std::string& name) {
    std::string error;
    ASSERT_TRUE(synthetic::LoadScenarioFile(ScenarioPath(name), machine, error)) << error;
    Install();
}

}  // namespace portiq::testing
