#pragma once
// CRC-32C (Castagnoli), the checksum of the saved-model variable files: each block of the index and each tensor of
// the data file carries it in masked form, so that a checksum stored inside checksummed data stays meaningful.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zel {

// Extends `crc` (0 to start) over `size` bytes.
uint32_t crc32c(const void* data, size_t size, uint32_t crc = 0);
inline uint32_t crc32c(std::string_view bytes, uint32_t crc = 0) { return crc32c(bytes.data(), bytes.size(), crc); }

inline constexpr uint32_t kCrcMaskDelta = 0xa282ead8u;

inline constexpr uint32_t maskCrc(uint32_t crc) { return ((crc >> 15) | (crc << 17)) + kCrcMaskDelta; }
inline constexpr uint32_t unmaskCrc(uint32_t masked) {
    const uint32_t rotated = masked - kCrcMaskDelta;
    return (rotated >> 17) | (rotated << 15);
}

}  // namespace zel
