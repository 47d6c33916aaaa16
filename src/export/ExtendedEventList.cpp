#include "export/ExtendedEventList.h"

#include <filesystem>

#include "common/NumberText.h"
#include "common/PendingFile.h"
#include "common/Text.h"

namespace zel {
namespace {

// "%g", or "%.3f" for the time column.
char* putNumber(char* out, double value, bool threeDecimals) {
    return threeDecimals ? writeFixed(out, value, 3) : writeGeneral6(out, value);
}

}  // namespace

ExtendedEventList::ExtendedEventList(std::string fullName, ExtendedListRules rules)
    : fullName_(std::move(fullName)), rules_(rules) {
    partName_ = scratchFileName(fullName_, "part");
}

ExtendedEventList::~ExtendedEventList() { discard(); }

int ExtendedEventList::open(const std::vector<std::string>& names, const std::vector<std::string>& units,
                            const MessageTarget& to) {
    if (!text_.open(partName_, false)) {
        printErrorCode(to, "ExtElist can not be opened: " + fullName_, -3001);
        return -3001;
    }
    auto writeLine = [this](const std::vector<std::string>& items) {
        for (size_t i = 0; i < items.size(); ++i) {
            text_.write(items[i]);
            text_.put(i + 1 < items.size() ? '\t' : '\n');
        }
        if (items.empty()) text_.put('\n');
    };
    writeLine(names);
    writeLine(units);
    return 0;
}

int ExtendedEventList::append(const ClusterBatch& batch) {
    if (!text_.isOpen()) return -3001;
    const size_t width = batch.width();
    const size_t rowMax = width * (kFixedChars + 1) + 1;  // the widest number "%.3f" can write, and its separator
    for (size_t r = 0; r < batch.size(); ++r) {
        auto row = batch.row(r);
        if (rules_.dropFiltered && rules_.filterColumn >= 0 && row[rules_.filterColumn] == 0.0) continue;
        if (rules_.dropEdge && rules_.edgeColumn >= 0 && row[rules_.edgeColumn] != 0.0) continue;
        char* out = text_.claim(rowMax);
        for (size_t c = 0; c < width; ++c) {
            out = putNumber(out, row[c], static_cast<int>(c) == rules_.timeColumn);
            *out++ = c + 1 < width ? '\t' : '\n';
        }
        text_.commit(out);
    }
    return text_.failed() ? -3001 : 0;
}

int ExtendedEventList::commit(const MessageTarget& to) {
    if (!text_.isOpen()) return -3001;
    const bool ok = text_.close();
    std::error_code ec;
    if (ok) std::filesystem::rename(partName_, fullName_, ec);
    if (!ok || ec) {
        std::filesystem::remove(partName_, ec);
        printErrorCode(to, "ExtElist can not be opened: " + fullName_, -3001);
        return -3001;
    }
    return 0;
}

void ExtendedEventList::discard() {
    text_.close();
    std::error_code ec;
    std::filesystem::remove(partName_, ec);
}

}  // namespace zel
