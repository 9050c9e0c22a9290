#include "test_support.h"

#include "settings/settings.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace cwbench::test {

std::vector<unsigned char> readHexFile(const std::string& path) {
    std::ifstream in(path);
    std::vector<unsigned char> bytes;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') continue;
        std::istringstream fields(line);
        std::string pair;
        while (fields >> pair) bytes.push_back(static_cast<unsigned char>(std::stoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void freshSettings() {
    setUserConfigName("");
    Platform& current = platform();
    RecordingPlatform scratch;
    setPlatform(&scratch);
    loadConfigFile();
    setPlatform(&current);
}

std::string freshDirectory(const std::string& name) {
    std::string dir = std::string(KB_TEST_WORK_DIR) + "/" + name;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    return dir;
}

}  // namespace cwbench::test

namespace cwbench::test {

InFreshDirectory::InFreshDirectory(const std::string& name) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(freshDirectory(name));
}

InFreshDirectory::~InFreshDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

}  // namespace cwbench::test
