// What the fuzz targets share: cutting an input into the parts a target reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzinput {

// The input cut at each separator byte, the separators dropped; at most maxParts parts,
// the last one holding the rest of the input, separators included.
inline std::vector<std::string> Split(const std::uint8_t* data, std::size_t size, char separator,
                                      std::size_t maxParts) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == separator && parts.size() < maxParts) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

}  // namespace fuzzinput
