#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// Little-endian numbers in file bytes, by shifts, right on any host.
namespace gridport {

inline std::uint16_t LoadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// count little-endian 16-bit words into out[0], out[1], ...
template <typename Value>
inline void LoadU16s(const std::uint8_t* p, std::size_t count, Value* out) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = LoadU16(p + 2 * i);
    }
}

// The largest of count little-endian 16-bit words; 0 for none. Many running maxima side by side, which the compiler
// keeps in vector registers: with one, every step would wait for the one before.
inline std::uint16_t LargestU16(const std::uint8_t* p, std::size_t count) {
    constexpr std::size_t kLanes = 64;
    std::uint16_t lanes[kLanes] = {};
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (std::size_t k = 0; k < kLanes; ++k) {
            const std::uint16_t value = LoadU16(p + 2 * (i + k));
            lanes[k] = lanes[k] < value ? value : lanes[k];
        }
    }
    std::uint16_t largest = 0;
    for (; i < count; ++i) {
        const std::uint16_t value = LoadU16(p + 2 * i);
        largest = largest < value ? value : largest;
    }
    for (const std::uint16_t lane : lanes) {
        largest = largest < lane ? lane : largest;
    }
    return largest;
}

inline void StoreU16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreU32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

inline void StoreF32(std::uint8_t* p, float value) {
    StoreU32(p, std::bit_cast<std::uint32_t>(value));
}

}  // namespace gridport
