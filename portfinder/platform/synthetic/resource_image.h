// A compiled resource image (the .res file windres makes from a program's .rc), read
// the way the Windows loader finds resources: by type, integer name and language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace portiq::synthetic {

class ResourceImage {
public:
    // Reads every resource with an integer type and name. Stops at the first malformed
    // header, keeping what came before; returns false in that case.
    bool Load(const unsigned char* data, std::size_t size);

    // The resource's bytes, or nullptr when the image has none of that type, name and
    // language.
    const std::vector<unsigned char>* Find(unsigned type, unsigned name, unsigned language) const;

private:
    std::map<std::tuple<unsigned, unsigned, unsigned>, std::vector<unsigned char>> resources_;
};

}  // namespace portiq::synthetic
