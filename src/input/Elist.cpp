#include "input/Elist.h"

#include "common/BoundedLine.h"
#include "common/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace zel {
namespace {

constexpr std::string_view kHeaderSeparators = "\t :;|\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr size_t kReadBufferSize = Elist::kMaxHeaderLineLength + 1;

constexpr std::string_view kLineTooLongText = "Data line longer than 1023 characters is not supported.";
static_assert(Elist::kMaxDataLineLength == 1023);

constexpr double kSecondsToNs = 1e9;
constexpr double kMmToPixels = 18.181818181818183;  // one pixel is 0.055 mm
constexpr double kRadiansToDegrees = 57.29577951308232;

std::vector<std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    for (std::string_view piece : splitAny(line, kHeaderSeparators)) words.emplace_back(piece);
    return words;
}

// Reads a plain decimal ("-12.345") at the start of [p, last) whose digits fit in 53 bits: the integer of all digits
// divided by a power of ten is then exactly the correctly rounded value, the same double as std::from_chars gives,
// several times faster. Returns the end of the number, nullptr for anything else (exponents, "nan", long numbers).
// The character at the end of a line is its line end or the buffer's closing zero, so the digit loops stop there.
const char* parsePlainDecimal(const char* p, double& value) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    constexpr int kMaxDigits = 19;  // no overflow of the 64-bit integer
    const bool negative = *p == '-';
    if (negative || *p == '+') ++p;
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = 0;
    for (; static_cast<unsigned>(*p - '0') < 10; ++p, ++count) {
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    }
    if (*p == '.') {
        for (++p; static_cast<unsigned>(*p - '0') < 10; ++p, ++count, ++decimals) {
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        }
    }
    if (count == 0 || count > kMaxDigits || digits > kExactLimit || decimals > 22) return nullptr;
    value = static_cast<double>(digits);
    if (decimals > 0) value /= kPowersOfTen[decimals];
    if (negative) value = -value;
    return p;
}

// A data token as a double: a leading '+' is accepted, "nan" and "inf" read as such, nothing may be left over.
bool parseToken(const char* first, const char* last, double& value) {
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+') ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last;
}

}  // namespace

Elist::Elist(std::string path, std::string name, char mode, MessageTarget to, int codeBase)
    : path_(std::move(path)), name_(std::move(name)), mode_(mode), to_(to), codeBase_(codeBase) {
    columns_.fill(-1);
    if (mode_ != 'r') {
        printError(to_, "Incorrect mode in initialization. Mode set to unknown.");
        mode_ = '\0';
    }
    buildSeparatorTable();
}

Elist::~Elist() { close(); }

void Elist::setConversions(bool any, bool time, bool coordinates, bool angle) {
    convert_ = any;
    convertTime_ = time;
    convertCoordinates_ = coordinates;
    convertAngle_ = angle;
    updateUnits();
}

int Elist::failWithCode(std::string_view text, int offset) {
    return printModuleError(to_, text, codeBase_, offset);
}

int Elist::failAtLine(std::string_view text, int offset) {
    std::string message(text);
    message += " Elist: " + path_ + name_ + ", line " + std::to_string(pendingLineNumber_) + ".";
    failure_ = failWithCode(message, offset);
    moreData_ = false;
    return failure_;
}

int Elist::init() {
    if (mode_ == '\0') return failWithCode("Elist can not be opened in unknown mode: " + name_, kCodeUnknownMode);
    std::string full = path_ + name_;
    std::error_code ec;
    if (!std::filesystem::is_directory(full, ec)) file_.reset(std::fopen(full.c_str(), "rb"));
    if (!file_) return failWithCode("Can not open elist: " + name_, kCodeCanNotOpen);
    return scan();
}

int Elist::close() {
    if (file_) std::fclose(file_.release());
    return 0;
}

void Elist::buildSeparatorTable() {
    isSeparator_.fill(false);
    for (char c : {separator_, ' ', '\t', '\r', '\n'}) isSeparator_[static_cast<unsigned char>(c)] = true;
}

// Hands out the next line of the file without its line end (and without a carriage return before it).
Elist::LineStatus Elist::nextLine(std::string_view& line, bool& terminated) {
    for (;;) {
        const char* begin = buffer_.get() + bufferBegin_;
        size_t available = bufferEnd_ - bufferBegin_;
        const void* lineEnd = available > 0 ? std::memchr(begin, '\n', available) : nullptr;
        if (lineEnd != nullptr || (fileEnded_ && available > 0)) {
            size_t length =
                lineEnd != nullptr ? static_cast<size_t>(static_cast<const char*>(lineEnd) - begin) : available;
            terminated = lineEnd != nullptr;
            bufferBegin_ += length + (terminated ? 1 : 0);
            if (length > 0 && begin[length - 1] == '\r') --length;
            line = std::string_view(begin, length);
            ++linesRead_;
            return LineStatus::Line;
        }
        if (fileEnded_) return LineStatus::End;
        if (readFailed_) return LineStatus::Failed;
        if (bufferBegin_ > 0) {
            std::memmove(buffer_.get(), begin, available);
            bufferBegin_ = 0;
            bufferEnd_ = available;
        }
        if (bufferEnd_ == bufferSize_) {
            if (bufferSize_ == kReadBufferSize) {
                ++linesRead_;
                return LineStatus::TooLong;
            }
            const size_t larger = std::min(kReadBufferSize, bufferSize_ * 2);
            auto grown = std::make_unique_for_overwrite<char[]>(larger + 1);
            std::memcpy(grown.get(), buffer_.get(), bufferEnd_);
            buffer_ = std::move(grown);
            bufferSize_ = larger;
        }
        size_t got = std::fread(buffer_.get() + bufferEnd_, 1, bufferSize_ - bufferEnd_, file_.get());
        bufferEnd_ += got;
        buffer_[bufferEnd_] = '\0';
        if (got == 0) {
            if (std::ferror(file_.get()) != 0) {
                readFailed_ = true;
                return LineStatus::Failed;
            }
            fileEnded_ = true;
        }
    }
}

void Elist::rewind() {
    std::fseek(file_.get(), 0, SEEK_SET);
    std::clearerr(file_.get());
    bufferBegin_ = bufferEnd_ = 0;
    buffer_[0] = '\0';
    fileEnded_ = readFailed_ = false;
    linesRead_ = rowsInBatch_ = rowsRead_ = 0;
    moreData_ = true;
    lookAhead_ = false;
    failure_ = 0;
    firstTimeSet_ = false;
    firstTime_ = 0.0;
    eventOffset_ = lastRawEvent_ = lastEvent_ = 0.0;
    timeOffset_ = lastTime_ = 0.0;
    anyRow_ = false;
}

int Elist::scan() {
    if (!file_) {
        int code = failWithCode("Scan can not be done. Elist is not opened: " + name_ + ".", kCodeScanNotOpened);
        printError(to_, "Scan failed.");
        return code;
    }
    if (scanCount_ > 0) printWarning(to_, "Rescanning of elist: " + path_ + name_);
    ++scanCount_;
    // Not zeroed, and no larger than the file; it grows, up to kReadBufferSize, only for a line that does not fit.
    if (!buffer_) {
        bufferSize_ = readBufferSizeFor(file_.get(), kReadBufferSize);
        buffer_ = std::make_unique_for_overwrite<char[]>(bufferSize_ + 1);
    }
    rewind();
    scanned_ = false;
    int result = scanHeader();
    if (result != 0) {
        printError(to_, "Scan failed.");
        moreData_ = false;
        return result;
    }
    scanned_ = true;
    return 0;
}

int Elist::scanHeader() {
    names_.clear();
    fileUnits_.clear();
    legacyLayout_ = unknownNames_ = false;
    columns_.fill(-1);

    std::string_view line;
    bool terminated = true;
    auto headerTooLong = [this]() {
        return failWithCode("Line " + std::to_string(linesRead_) + " of elist " + path_ + name_ + " is longer than " +
                                std::to_string(kMaxHeaderLineLength) + " characters.",
                            kCodeLineTooLong);
    };
    LineStatus status = nextLine(line, terminated);
    if (status == LineStatus::TooLong) return headerTooLong();
    if (status == LineStatus::Line && startsWith(line, kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
    if (status == LineStatus::Line) names_ = splitWords(line);
    if (status == LineStatus::Failed) return failWithCode("Elist can not be read: " + name_, kCodeReadFailed);
    if (names_.empty()) return failWithCode("Incorrect elist or different data format: " + name_, kCodeNoNames);

    // Data lines are split at the first of the header's own separators (blank when it has none), and always at
    // blanks, tabs and line ends.
    size_t at = line.find_first_of("\t;:|");
    separator_ = at == std::string_view::npos ? ' ' : line[at];
    buildSeparatorTable();

    status = nextLine(line, terminated);
    if (status == LineStatus::TooLong) return headerTooLong();
    if (status == LineStatus::Failed) return failWithCode("Elist can not be read: " + name_, kCodeReadFailed);
    if (status == LineStatus::Line) fileUnits_ = splitWords(line);
    if (fileUnits_.size() < names_.size()) {
        return failWithCode("Units line of elist has " + std::to_string(fileUnits_.size()) + " units for " +
                                std::to_string(names_.size()) + " variable names: " + name_,
                            kCodeShortUnits);
    }
    fileUnits_.resize(names_.size());

    mapRoles();
    int time = column(Var::T);
    timeInNs_ = time < 0 || fileUnits_[static_cast<size_t>(time)] == "ns";
    int x = column(Var::X);
    coordinatesInMm_ = x >= 0 && fileUnits_[static_cast<size_t>(x)] == "mm";
    updateUnits();
    return 0;
}

// Translates the older names when the file uses them, then binds names to roles; the last occurrence wins.
void Elist::mapRoles() {
    for (const auto& name : names_) {
        for (const auto& legacy : kLegacyNames) legacyLayout_ = legacyLayout_ || name == legacy.first;
    }
    if (legacyLayout_) {
        for (auto& name : names_) {
            for (const auto& legacy : kLegacyNames) {
                if (name == legacy.first) name = std::string(legacy.second);
            }
        }
    }
    for (size_t i = 0; i < names_.size(); ++i) {
        Var slot{};
        if (findVariable(names_[i], slot)) {
            columns_[static_cast<size_t>(slot)] = static_cast<int>(i);
        } else {
            unknownNames_ = true;
            printWarning(to_, "Unknown variable names found in elist: " + names_[i]);
        }
    }
}

void Elist::updateUnits() {
    units_ = fileUnits_;
    if (!convert_) return;
    auto setUnit = [this](Var role, const char* unit) {
        if (column(role) >= 0) units_[static_cast<size_t>(column(role))] = unit;
    };
    if (convertTime_ && !timeInNs_) setUnit(Var::T, "ns");
    if (convertCoordinates_ && coordinatesInMm_) {
        setUnit(Var::X, "px");
        setUnit(Var::Y, "px");
    }
    if (convertAngle_ && legacyLayout_) setUnit(Var::AngleAzim, "deg");
}

int Elist::checkVariables() const {
    std::string missing;
    if (column(Var::X) < 0) missing += " Missing X coordinates.";
    if (column(Var::Y) < 0) missing += " Missing Y coordinates.";
    if (column(Var::T) < 0) missing += " Missing time T.";
    if (column(Var::EventID) < 0) missing += " Missing event ID.";
    if (missing.empty()) return 0;
    int code = codeBase_ - kCodeMissingVariables;
    printErrorCode(to_, "Check failed. Not all needed variables are present in elist to be loaded." + missing, code);
    return code;
}

bool Elist::fetchDataLine() {
    for (;;) {
        pendingStatus_ = nextLine(pendingLine_, pendingTerminated_);
        pendingLineNumber_ = linesRead_;
        if (pendingStatus_ == LineStatus::End) {
            lookAhead_ = false;
            moreData_ = false;
            return false;
        }
        if (pendingStatus_ == LineStatus::Line && (pendingLine_.empty() || pendingLine_[0] == '#')) continue;
        lookAhead_ = true;
        return true;
    }
}

int Elist::readBatch(ClusterBatch& batch) {
    batch.reset(std::max(names_.size(), rowWidth_));
    rowsInBatch_ = 0;
    if (failure_ != 0) return failure_;
    if (!file_) {
        moreData_ = false;
        return failWithCode("Elist is not opened: " + name_, kCodeNotOpened);
    }
    if (!scanned_) {
        moreData_ = false;
        return failWithCode("Elist header has not been scanned: " + name_, kCodeNotScanned);
    }
    while (moreData_ && rowsInBatch_ < batchSize_) {
        if (!lookAhead_ && !fetchDataLine()) break;
        lookAhead_ = false;
        if (pendingStatus_ == LineStatus::TooLong) {
            return failAtLine(kLineTooLongText, kCodeLineTooLong);
        }
        if (pendingStatus_ == LineStatus::Failed) return failAtLine("Elist can not be read further.", kCodeReadFailed);
        // The line fills the file's own columns (a row with fewer values is dropped); the columns the engine
        // appends after them stay zero here.
        std::span<double> row = batch.appendRow(names_.size()).first(names_.size());
        bool skip = false;
        int result = parseLine(pendingLine_, pendingTerminated_, row, skip);
        if (result == 0 && !skip) result = applyRowRules(row);
        if (result != 0 || skip) batch.dropLastRow();
        if (result != 0) return result;
        if (skip) continue;
        ++rowsInBatch_;
        ++rowsRead_;
    }
    // A full batch looks one data line ahead, so that the end of the file is known before the next call.
    if (moreData_ && !lookAhead_) fetchDataLine();
    return 0;
}

int Elist::parseLine(std::string_view line, bool terminated, std::span<double> row, bool& skip) {
    if (line.size() > kMaxDataLineLength) {
        return failAtLine(kLineTooLongText, kCodeLineTooLong);
    }
    const char* p = line.data();
    const char* end = p + line.size();
    size_t count = 0;
    const size_t width = row.size();
    for (;;) {
        while (p != end && isSeparator_[static_cast<unsigned char>(*p)]) ++p;
        if (p == end) break;
        if (count == width) {
            return failAtLine("Data line has more values than the " + std::to_string(width) + " variable names.",
                              kCodeTooManyValues);
        }
        const char* first = p;
        const char* stop = parsePlainDecimal(first, row[count]);
        if (stop != nullptr && (stop == end || isSeparator_[static_cast<unsigned char>(*stop)])) {
            p = stop;
            ++count;
            continue;
        }
        while (p != end && !isSeparator_[static_cast<unsigned char>(*p)]) ++p;
        if (!parseToken(first, p, row[count])) {
            // A line cut off at the end of the file may end in half a number.
            if (!terminated && p == end) {
                skip = true;
                break;
            }
            return failAtLine("Value \"" + std::string(first, p) + "\" is not a number.", kCodeNotANumber);
        }
        ++count;
    }
    if (count == 0 && !skip) {
        skip = true;  // only separators on the line
        return 0;
    }
    if (count < width && terminated) {
        return failAtLine(
            "Data line has " + std::to_string(count) + " values for " + std::to_string(width) + " variable names.",
            kCodeTooFewValues);
    }
    if (count < width || skip) {
        skip = true;
        printWarning(to_, "Incomplete last line of elist is skipped. Elist: " + path_ + name_ + ", line " +
                              std::to_string(pendingLineNumber_) + ".");
    }
    return 0;
}

int Elist::applyRowRules(std::span<double> row) {
    const int time = column(Var::T);
    const int event = column(Var::EventID);
    if ((time >= 0 && !std::isfinite(row[static_cast<size_t>(time)])) ||
        (event >= 0 && !std::isfinite(row[static_cast<size_t>(event)]))) {
        return failAtLine("Time T and event ID must be finite numbers.", kCodeBadTimeOrEvent);
    }
    if (convert_) {
        if (convertTime_ && !timeInNs_ && time >= 0) row[static_cast<size_t>(time)] *= kSecondsToNs;
        if (convertCoordinates_ && coordinatesInMm_) {
            for (int c : {column(Var::X), column(Var::Y)}) {
                if (c >= 0) row[static_cast<size_t>(c)] *= kMmToPixels;
            }
        }
        const int angle = column(Var::AngleAzim);
        if (convertAngle_ && legacyLayout_ && angle >= 0) row[static_cast<size_t>(angle)] *= kRadiansToDegrees;
    }

    if (event >= 0) {
        double& id = row[static_cast<size_t>(event)];
        // A run appended to the file numbers its events from 0 again: continue after the last ID.
        if (anyRow_ && id == 0.0 && lastRawEvent_ > 0.0) eventOffset_ = lastEvent_ + 1.0;
        lastRawEvent_ = id;
        id += eventOffset_;
        lastEvent_ = id;
    }
    if (time >= 0) {
        double& t = row[static_cast<size_t>(time)];
        if (relativeTime_) {
            if (!firstTimeSet_) {
                firstTime_ = t;
                firstTimeSet_ = true;
            }
            t -= firstTime_;
        }
        // Time never runs backwards across concatenated runs, also between the clusters of one event: the engine
        // closes time samples on the way and can not reopen one.
        double shifted = t + timeOffset_;
        if (anyRow_ && shifted < lastTime_) {
            timeOffset_ = lastTime_;
            shifted = t + timeOffset_;
        }
        t = shifted;
        lastTime_ = t;
    }
    anyRow_ = true;
    return 0;
}

}  // namespace zel
