#include "pid/network/SortedTable.h"

#include "pid/network/Crc32c.h"
#include "pid/network/SavedModelFormat.h"
#include "pid/network/WireFormat.h"

namespace zel {
namespace {

namespace table = savedmodel::table;

struct BlockHandle {
    uint64_t offset = 0;
    uint64_t size = 0;
};

bool takeHandle(std::string_view& bytes, BlockHandle& handle) {
    return takeVarint(bytes, handle.offset) && takeVarint(bytes, handle.size);
}

NetworkStatus damaged(const std::string& path, const std::string& what) {
    return NetworkStatus::failure(NetworkStatus::DataLoss, "Corrupt variables index " + path + ": " + what);
}

// The contents of the block at `handle`, checked against its trailer.
NetworkStatus readBlock(std::string_view file, const BlockHandle& handle, const std::string& path,
                        std::string_view& contents) {
    if (handle.offset > file.size() || handle.size + table::kBlockTrailerSize > file.size() - handle.offset)
        return damaged(path, "a block lies beyond the end of the file (truncated?)");
    const std::string_view block = file.substr(handle.offset, handle.size + table::kBlockTrailerSize);
    const auto compression = static_cast<uint8_t>(block[handle.size]);
    std::string_view trailer = block.substr(handle.size + 1);
    uint32_t stored = 0;
    takeFixed32(trailer, stored);
    if (crc32c(block.substr(0, handle.size + 1)) != unmaskCrc(stored))
        return damaged(path, "checksum mismatch of the block at offset " + std::to_string(handle.offset));
    if (compression != table::kNoCompression)
        return NetworkStatus::failure(NetworkStatus::Unimplemented,
                                      "Variables index " + path + " uses block compression " +
                                          std::to_string(compression) + "; only uncompressed blocks can be read");
    contents = block.substr(0, handle.size);
    return {};
}

// Appends the entries of one block: each shares a prefix with the key before it; the restart array at the end
// (its count last) marks entries that share nothing.
NetworkStatus readEntries(std::string_view block, const std::string& path, TableEntries& entries) {
    if (block.size() < 4) return damaged(path, "a block is too short");
    std::string_view countBytes = block.substr(block.size() - 4);
    uint32_t restarts = 0;
    takeFixed32(countBytes, restarts);
    if (restarts == 0 || (block.size() - 4) / 4 < restarts) return damaged(path, "bad restart array");
    std::string_view rest = block.substr(0, block.size() - 4 - 4 * static_cast<size_t>(restarts));
    std::string key;
    while (!rest.empty()) {
        uint64_t shared = 0, unshared = 0, valueSize = 0;
        if (!takeVarint(rest, shared) || !takeVarint(rest, unshared) || !takeVarint(rest, valueSize) ||
            shared > key.size() || unshared > rest.size() || valueSize > rest.size() - unshared)
            return damaged(path, "bad entry in a block");
        key.resize(static_cast<size_t>(shared));
        key.append(rest.substr(0, static_cast<size_t>(unshared)));
        rest.remove_prefix(static_cast<size_t>(unshared));
        entries.emplace_back(key, std::string(rest.substr(0, static_cast<size_t>(valueSize))));
        rest.remove_prefix(static_cast<size_t>(valueSize));
    }
    return {};
}

}  // namespace

NetworkStatus readSortedTable(std::string_view file, const std::string& path, TableEntries& entries) {
    entries.clear();
    if (file.size() < table::kFooterSize) return damaged(path, "shorter than its footer (truncated?)");
    std::string_view footer = file.substr(file.size() - table::kFooterSize);
    std::string_view magicBytes = footer.substr(table::kHandlesSize);
    uint64_t magic = 0;
    takeFixed64(magicBytes, magic);
    if (magic != table::kMagic) return damaged(path, "wrong magic number (truncated or not a table)");
    BlockHandle metaIndex, index;
    if (!takeHandle(footer, metaIndex) || !takeHandle(footer, index)) return damaged(path, "bad footer");

    std::string_view indexBlock;
    if (NetworkStatus status = readBlock(file, index, path, indexBlock); !status.ok()) return status;
    TableEntries dataBlocks;
    if (NetworkStatus status = readEntries(indexBlock, path, dataBlocks); !status.ok()) return status;
    for (const auto& [separator, handleBytes] : dataBlocks) {
        std::string_view handleView = handleBytes;
        BlockHandle handle;
        if (!takeHandle(handleView, handle)) return damaged(path, "bad block handle in the index block");
        std::string_view block;
        if (NetworkStatus status = readBlock(file, handle, path, block); !status.ok()) return status;
        if (NetworkStatus status = readEntries(block, path, entries); !status.ok()) return status;
    }
    return {};
}

}  // namespace zel
