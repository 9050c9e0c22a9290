#include "config.h"

#include <cstdlib>

namespace keyersim {

std::string environmentValue(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace keyersim
