#include "export/ExtendedClusterList.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "common/BoundedLine.h"
#include "common/NumberText.h"
#include "common/PendingFile.h"

namespace zel {
namespace {

constexpr size_t kMarksPerChunk = 1 << 16;
constexpr size_t kOutputChunk = 1 << 20;
constexpr int kCanNotOpen = -3016;
constexpr int kNoHeader = -3017;

void stripLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

int32_t classOfValue(double value) {
    return std::isfinite(value) ? static_cast<int32_t>(std::lround(value)) : -1;
}

}  // namespace

ExtendedClusterList::ExtendedClusterList(ExtendedClusterListSetup setup) : setup_(std::move(setup)) {
    marksName_ = scratchFileName(setup_.fullName, "marks");
    partName_ = scratchFileName(setup_.fullName, "part");
}

ExtendedClusterList::~ExtendedClusterList() { discard(); }

int ExtendedClusterList::append(const ClusterBatch& batch, const MessageTarget& to) {
    if (!setup_.clusterListExported) return 0;
    if (marks_ == nullptr && !marksFailed_) {
        marks_ = std::fopen(marksName_.c_str(), "w+b");
        marksFailed_ = marks_ == nullptr;
        pending_.reserve(kMarksPerChunk);
    }
    if (marksFailed_) {
        printErrorCode(to, "ExtClist can not be opened: " + setup_.fullName, kCanNotOpen);
        return kCanNotOpen;
    }
    const size_t width = batch.width();
    auto column = [width](int index) { return index >= 0 && static_cast<size_t>(index) < width ? index : -1; };
    const int classColumn = column(setup_.classColumn);
    const int filterColumn = column(setup_.filterColumn);
    const int edgeColumn = column(setup_.edgeColumn);
    for (size_t r = 0; r < batch.size(); ++r) {
        const auto row = batch.row(r);
        const bool passes = filterColumn < 0 || row[filterColumn] != 0.0;
        const bool onEdge = edgeColumn >= 0 && row[edgeColumn] != 0.0;
        Mark mark{};
        mark.pidClass = classColumn >= 0 ? classOfValue(row[classColumn]) : -1;
        mark.filterPass = passes ? 1 : 0;
        mark.keep = !(setup_.dropFiltered && !passes) && !(setup_.dropEdge && onEdge);
        pending_.push_back(mark);
        if (pending_.size() == kMarksPerChunk && flushMarks() != 0) break;
    }
    marked_ += batch.size();
    if (marksFailed_) {
        printErrorCode(to, "ExtClist can not be opened: " + setup_.fullName, kCanNotOpen);
        return kCanNotOpen;
    }
    return 0;
}

int ExtendedClusterList::flushMarks() {
    if (marks_ != nullptr && !pending_.empty() &&
        std::fwrite(pending_.data(), sizeof(Mark), pending_.size(), marks_) != pending_.size())
        marksFailed_ = true;
    pending_.clear();
    return marksFailed_ ? -1 : 0;
}

bool ExtendedClusterList::nextMark(Mark& mark) {
    if (pendingRead_ == pending_.size()) {
        pending_.resize(kMarksPerChunk);
        const size_t got = marks_ != nullptr ? std::fread(pending_.data(), sizeof(Mark), kMarksPerChunk, marks_) : 0;
        pending_.resize(got);
        pendingRead_ = 0;
        if (got == 0) return false;
    }
    mark = pending_[pendingRead_++];
    return true;
}

int ExtendedClusterList::write(const MessageTarget& to) {
    if (!setup_.clusterListExported) {
        printWarning(to, "CList is not exported, therefore extended Clist can not be created.");
        return 0;
    }
    std::ifstream in(setup_.clusterListName);
    if (!in.is_open()) {
        printErrorCode(to, "Clist can not be opened: " + setup_.clusterListName, kCanNotOpen);
        return kCanNotOpen;
    }
    std::string names;
    std::string units;
    BoundedLines lines(in, kMaxInputLineLength);
    const LineRead namesRead = lines.next(names);
    const LineRead unitsRead = namesRead == LineRead::Line ? lines.next(units) : namesRead;
    if (unitsRead == LineRead::TooLong) {
        printErrorCode(to, "Can not read header from clist: " + lines.tooLongText(setup_.clusterListName), kNoHeader);
        return kNoHeader;
    }
    stripLineEnd(names);
    stripLineEnd(units);
    if (unitsRead != LineRead::Line || names.empty()) {
        printErrorCode(to, "Can not read header from clist: " + setup_.clusterListName, kNoHeader);
        return kNoHeader;
    }

    if (flushMarks() != 0 || (marks_ != nullptr && std::fseek(marks_, 0, SEEK_SET) != 0)) marksFailed_ = true;
    OutputText out{kOutputChunk};
    if (marksFailed_ || !out.open(partName_, false)) {
        printErrorCode(to, "ExtClist can not be opened: " + setup_.fullName, kCanNotOpen);
        discard();
        return kCanNotOpen;
    }
    if (setup_.classColumn >= 0) {
        names += "\tPIDClass";
        units += "\t-";
    }
    if (setup_.filterColumn >= 0) {
        names += "\tFilterPass";
        units += "\t-";
    }
    out.write(names);
    out.put('\n');
    out.write(units);
    out.put('\n');
    if (!copyLines(lines, out)) {
        out.close();
        printErrorCode(to, "Can not read clist: " + lines.tooLongText(setup_.clusterListName), kNoHeader);
        discard();
        return kNoHeader;
    }
    const bool closed = out.close();
    std::error_code ec;
    if (closed) std::filesystem::rename(partName_, setup_.fullName, ec);
    if (!closed || ec) {
        printErrorCode(to, "ExtClist can not be opened: " + setup_.fullName, kCanNotOpen);
        discard();
        return kCanNotOpen;
    }
    discard();
    return 0;
}

// Cluster lines take the marks in order; lines that hold no cluster (comments) pass through unchanged. False when a
// line is too long to be read.
bool ExtendedClusterList::copyLines(BoundedLines& lines, OutputText& out) {
    std::string line;
    Mark mark{};
    LineRead read = LineRead::End;
    while ((read = lines.next(line)) == LineRead::Line) {
        stripLineEnd(line);
        if (line.empty()) continue;
        if (line.front() == '#') {
            out.write(line);
            out.put('\n');
        } else {
            if (!nextMark(mark)) break;
            if (!mark.keep) continue;
            out.write(line);
            appendValues(out, mark);
            out.put('\n');
        }
    }
    return read != LineRead::TooLong;
}

void ExtendedClusterList::appendValues(OutputText& out, const Mark& mark) const {
    if (setup_.classColumn >= 0) {
        out.put('\t');
        out.commit(writeInteger(out.claim(kNumberChars), mark.pidClass));
    }
    if (setup_.filterColumn >= 0) {
        out.put('\t');
        out.put(mark.filterPass != 0 ? '1' : '0');
    }
}

void ExtendedClusterList::discard() {
    if (marks_ != nullptr) {
        std::fclose(marks_);
        marks_ = nullptr;
    }
    pending_.clear();
    pendingRead_ = 0;
    std::error_code ec;
    std::filesystem::remove(marksName_, ec);
    std::filesystem::remove(partName_, ec);
}

}  // namespace zel
