#include "pid/network/Crc32c.h"

#include <array>

namespace zel {
namespace {

constexpr uint32_t kPolynomial = 0x82f63b78u;  // reflected Castagnoli polynomial

// Eight tables: the checksum advances eight bytes per step.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
    Tables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ kPolynomial : crc >> 1;
        tables[0][i] = crc;
    }
    for (size_t t = 1; t < 8; ++t)
        for (size_t i = 0; i < 256; ++i) tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xffu];
    return tables;
}

constexpr Tables kTables = makeTables();

}  // namespace

uint32_t crc32c(const void* data, size_t size, uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    while (size >= 8) {
        const uint32_t low = crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
        crc = kTables[7][low & 0xffu] ^ kTables[6][(low >> 8) & 0xffu] ^ kTables[5][(low >> 16) & 0xffu] ^
              kTables[4][low >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xffu];
    return ~crc;
}

}  // namespace zel
