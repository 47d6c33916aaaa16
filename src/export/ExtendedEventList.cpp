#include "export/ExtendedEventList.h"

#include <unistd.h>

#include <filesystem>

#include "common/Text.h"

namespace zel {
namespace {

// "%g", or "%.3f" for the time column.
char* putNumber(char* out, double value, bool threeDecimals) {
    return threeDecimals ? writeFixed3(out, value) : writeGeneral6(out, value);
}

}  // namespace

ExtendedEventList::ExtendedEventList(std::string fullName, ExtendedListRules rules)
    : fullName_(std::move(fullName)), rules_(rules) {
    partName_ = fullName_ + ".part" + std::to_string(::getpid());
}

ExtendedEventList::~ExtendedEventList() { discard(); }

int ExtendedEventList::open(const std::vector<std::string>& names, const std::vector<std::string>& units,
                            const MessageTarget& to) {
    file_ = std::fopen(partName_.c_str(), "wb");
    if (file_ == nullptr) {
        printErrorCode(to, "ExtElist can not be opened: " + fullName_, -3001);
        return -3001;
    }
    auto writeLine = [this](const std::vector<std::string>& items) {
        for (size_t i = 0; i < items.size(); ++i) {
            std::fputs(items[i].c_str(), file_);
            std::fputc(i + 1 < items.size() ? '\t' : '\n', file_);
        }
        if (items.empty()) std::fputc('\n', file_);
    };
    writeLine(names);
    writeLine(units);
    buffer_.resize(1 << 20);
    return 0;
}

int ExtendedEventList::append(const ClusterBatch& batch) {
    if (file_ == nullptr) return -3001;
    const size_t width = batch.width();
    const size_t rowMax = width * 352 + 2;  // the widest number "%.3f" can write, and its separator
    char* const begin = buffer_.data();
    char* const end = begin + buffer_.size();
    char* out = begin;
    for (size_t r = 0; r < batch.size(); ++r) {
        auto row = batch.row(r);
        if (rules_.dropFiltered && rules_.filterColumn >= 0 && row[rules_.filterColumn] == 0.0) continue;
        if (rules_.dropEdge && rules_.edgeColumn >= 0 && row[rules_.edgeColumn] != 0.0) continue;
        if (static_cast<size_t>(end - out) < rowMax) {
            if (std::fwrite(begin, 1, static_cast<size_t>(out - begin), file_) != static_cast<size_t>(out - begin))
                failed_ = true;
            out = begin;
        }
        for (size_t c = 0; c < width; ++c) {
            out = putNumber(out, row[c], static_cast<int>(c) == rules_.timeColumn);
            *out++ = c + 1 < width ? '\t' : '\n';
        }
    }
    if (std::fwrite(begin, 1, static_cast<size_t>(out - begin), file_) != static_cast<size_t>(out - begin))
        failed_ = true;
    return failed_ ? -3001 : 0;
}

int ExtendedEventList::commit(const MessageTarget& to) {
    if (file_ == nullptr) return -3001;
    bool ok = std::fclose(file_) == 0 && !failed_;
    file_ = nullptr;
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
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    std::error_code ec;
    std::filesystem::remove(partName_, ec);
}

}  // namespace zel
