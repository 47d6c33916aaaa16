#pragma once
// A reader of the protocol-buffer wire format: a message is a run of fields, each a key (field number and wire
// type, as a varint) followed by a varint, eight or four little-endian bytes, or a length and that many bytes.
// Nested messages are length-delimited fields read with a reader of their own. Groups (wire types 3 and 4) are
// not used by the saved-model files and count as damage.
#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

enum class WireType : uint8_t { Varint = 0, Fixed64 = 1, Bytes = 2, Fixed32 = 5 };

struct WireField {
    uint32_t number = 0;
    WireType type = WireType::Varint;
    uint64_t value = 0;      // varint and fixed fields
    std::string_view bytes;  // length-delimited fields
};

// Reads a varint from the front of `bytes` and drops it; false when the bytes end inside it or it is too long.
bool takeVarint(std::string_view& bytes, uint64_t& value);
// Reads a little-endian fixed-width number from the front of `bytes` and drops it.
bool takeFixed32(std::string_view& bytes, uint32_t& value);
bool takeFixed64(std::string_view& bytes, uint64_t& value);

class WireReader {
public:
    explicit WireReader(std::string_view message) : rest_(message) {}

    // The next field; false at the end of the message or at damage (then failed() tells).
    bool next(WireField& field);
    bool failed() const { return failed_; }

private:
    std::string_view rest_;
    bool failed_ = false;
};

// The bytes of a whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& bytes);

}  // namespace zel
