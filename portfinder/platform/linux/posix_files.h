// The live file system under SystemFiles' contract, through the POSIX calls.
#pragma once

#include "platform/linux/linux_system.h"

namespace portiq::linuxsys {

class PosixFiles : public SystemFiles {
public:
    FileBytes Read(const std::string& path, std::size_t limit) override;
    std::optional<std::vector<std::string>> List(const std::string& path, std::size_t limit) override;
    std::string LinkTarget(const std::string& path) override;
    std::string RealPath(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    std::optional<PathStatus> Status(const std::string& path) override;
    UserIds User() override;
    std::string GroupName(unsigned gid) override;
};

}  // namespace portiq::linuxsys
