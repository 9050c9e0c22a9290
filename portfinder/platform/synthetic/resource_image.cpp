#include "platform/synthetic/resource_image.h"

namespace portiq::synthetic {
namespace {

std::uint32_t Read32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
unsigned Read16(const unsigned char* p) { return p[0] | p[1] << 8; }

// A type or name field: 0xFFFF and a 16-bit id, or a NUL-terminated UTF-16 string.
// Returns the field's size, or 0 when it runs past end; id is -1 for a string.
std::size_t ReadId(const unsigned char* p, const unsigned char* end, long& id) {
    if (end - p < 4) return 0;
    if (Read16(p) == 0xFFFF) {
        id = static_cast<long>(Read16(p + 2));
        return 4;
    }
    id = -1;
    for (const unsigned char* q = p; end - q >= 2; q += 2) {
        if (Read16(q) == 0) return static_cast<std::size_t>(q + 2 - p);
    }
    return 0;
}

std::size_t AlignUp4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

}  // namespace

bool ResourceImage::Load(const unsigned char* data, std::size_t size) {
    std::size_t offset = 0;
    while (offset + 8 <= size) {
        const std::uint32_t dataSize = Read32(data + offset);
        const std::uint32_t headerSize = Read32(data + offset + 4);
        if (headerSize < 8 || headerSize > size - offset || dataSize > size - offset - headerSize) return false;
        const unsigned char* header = data + offset;
        const unsigned char* headerEnd = header + headerSize;
        long type = 0;
        long name = 0;
        const std::size_t typeSize = ReadId(header + 8, headerEnd, type);
        if (typeSize == 0) return false;
        const std::size_t nameSize = ReadId(header + 8 + typeSize, headerEnd, name);
        if (nameSize == 0) return false;
        // DataVersion (4), MemoryFlags (2), LanguageId (2), Version (4), Characteristics (4).
        const std::size_t fixed = AlignUp4(8 + typeSize + nameSize);
        if (fixed + 16 > headerSize) return false;
        const unsigned language = Read16(header + fixed + 6);
        if (type >= 0 && name >= 0 && dataSize > 0) {
            const unsigned char* body = headerEnd;
            resources_[{static_cast<unsigned>(type), static_cast<unsigned>(name), language}].assign(body,
                                                                                                    body + dataSize);
        }
        offset += AlignUp4(headerSize + dataSize);
    }
    return offset >= size;
}

const std::vector<unsigned char>* ResourceImage::Find(unsigned type, unsigned name, unsigned language) const {
    const auto found = resources_.find({type, name, language});
    return found == resources_.end() ? nullptr : &found->second;
}

}  // namespace portiq::synthetic
