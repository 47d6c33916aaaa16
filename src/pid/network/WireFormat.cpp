#include "pid/network/WireFormat.h"

#include <fstream>
#include <iterator>

namespace zel {

bool takeVarint(std::string_view& bytes, uint64_t& value) {
    value = 0;
    for (size_t i = 0; i < bytes.size() && i < 10; ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        value |= uint64_t{byte & 0x7fu} << (7 * i);
        if ((byte & 0x80u) == 0) {
            bytes.remove_prefix(i + 1);
            return true;
        }
    }
    return false;
}

namespace {

template <typename Unsigned>
bool takeFixed(std::string_view& bytes, Unsigned& value) {
    if (bytes.size() < sizeof(Unsigned)) return false;
    value = 0;
    for (size_t i = 0; i < sizeof(Unsigned); ++i)
        value |= static_cast<Unsigned>(static_cast<Unsigned>(static_cast<uint8_t>(bytes[i])) << (8 * i));
    bytes.remove_prefix(sizeof(Unsigned));
    return true;
}

}  // namespace

bool takeFixed32(std::string_view& bytes, uint32_t& value) { return takeFixed(bytes, value); }
bool takeFixed64(std::string_view& bytes, uint64_t& value) { return takeFixed(bytes, value); }

bool WireReader::next(WireField& field) {
    if (rest_.empty() || failed_) return false;
    uint64_t key = 0;
    bool ok = takeVarint(rest_, key);
    field.number = static_cast<uint32_t>(key >> 3);
    field.value = 0;
    field.bytes = {};
    switch (key & 7u) {
        case 0:
            field.type = WireType::Varint;
            ok = ok && takeVarint(rest_, field.value);
            break;
        case 1:
            field.type = WireType::Fixed64;
            ok = ok && takeFixed64(rest_, field.value);
            break;
        case 2: {
            field.type = WireType::Bytes;
            uint64_t length = 0;
            ok = ok && takeVarint(rest_, length) && length <= rest_.size();
            if (ok) {
                field.bytes = rest_.substr(0, static_cast<size_t>(length));
                rest_.remove_prefix(static_cast<size_t>(length));
            }
            break;
        }
        case 5: {
            field.type = WireType::Fixed32;
            uint32_t value = 0;
            ok = ok && takeFixed32(rest_, value);
            field.value = value;
            break;
        }
        default:
            ok = false;
    }
    if (!ok || field.number == 0) {
        failed_ = true;
        return false;
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace zel
