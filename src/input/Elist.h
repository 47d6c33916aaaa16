#pragma once
// Event-list reader. An event list is a text file: a line of variable names, a line of their units, then
// one cluster per line as one number per variable. Reading hands out batches of rows in the file's column order,
// with times in ns, positions in pixels and angles in degrees, event IDs and times kept monotonic across runs that
// were concatenated into one file.
#include "cluster/ClusterBatch.h"
#include "cluster/VariableNames.h"
#include "common/Messages.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class Elist {
public:
    static constexpr size_t kDefaultBatchSize = 1000000;
    // Data lines longer than this are not supported.
    static constexpr size_t kMaxDataLineLength = 1023;
    // Nor header lines longer than this (the read buffer holds one with its line end).
    static constexpr size_t kMaxHeaderLineLength = (size_t{2} << 20) - 1;

    // Codes are the base handed to the reader minus these offsets.
    static constexpr int kCodeCanNotOpen = 100;        // "Can not open elist: "
    static constexpr int kCodeUnknownMode = 101;       // init or write in an unknown or unsuitable mode
    static constexpr int kCodeNotOpened = 102;         // "Elist is not opened: " (reading or writing without a file)
    static constexpr int kCodeNoNames = 103;           // "Incorrect elist or different data format: "
    static constexpr int kCodeScanNotOpened = 104;     // "Scan can not be done. Elist is not opened: "
    static constexpr int kCodeShortUnits = 105;        // units line with fewer units than names
    static constexpr int kCodeMissingVariables = 106;  // checkVariables failed
    static constexpr int kCodeLineTooLong = 107;       // data line longer than kMaxDataLineLength
    static constexpr int kCodeNotANumber = 108;        // a data token that is no number
    static constexpr int kCodeTooManyValues = 109;     // more values than names on a data line
    static constexpr int kCodeTooFewValues = 110;      // fewer values than names on a terminated data line
    static constexpr int kCodeBadTimeOrEvent = 111;    // T or EventID not finite
    static constexpr int kCodeNotScanned = 112;        // reading without a successful scan
    static constexpr int kCodeReadFailed = 114;        // the file refused a read

    // mode: 'r' read; anything else leaves the mode unknown, and init refuses it.
    Elist(std::string path, std::string name, char mode, MessageTarget to, int codeBase);
    ~Elist();
    Elist(const Elist&) = delete;
    Elist& operator=(const Elist&) = delete;

    // Opens the file for the mode and, for the readable modes, scans the header. 0 or a negative code.
    int init();
    // Reads the names and units lines, maps names to roles and sets the unit flags. 0 or a negative code.
    int scan();
    // Verifies that X, Y, T and EventID are present. 0 or base - kCodeMissingVariables.
    int checkVariables() const;
    // Replaces the rows of `batch` by the next batch of the file (width = number of names). 0 or a negative code;
    // after a failure every further call returns the same code and hasMoreData() is false.
    int readBatch(ClusterBatch& batch);

    bool hasMoreData() const { return moreData_; }
    void setBatchSize(size_t rows) { batchSize_ = rows > 0 ? rows : 1; }
    size_t batchSize() const { return batchSize_; }
    void setRelativeTime(bool on) { relativeTime_ = on; }
    // Rows handed out get at least this many columns; those beyond the file's own are zero. The engine sets it
    // to its variable count, so that the columns it appends need no widening of every batch.
    void setRowWidth(size_t columns) { rowWidth_ = columns; }
    // Master switch and the three unit conversions of reading; all on by default.
    void setConversions(bool any, bool time, bool coordinates, bool angle);

    const std::vector<std::string>& names() const { return names_; }
    // Units of the rows handed out: after a conversion the unit of the converted column is "ns", "px" or "deg".
    const std::vector<std::string>& units() const { return units_; }
    // Units as the file writes them.
    const std::vector<std::string>& fileUnits() const { return fileUnits_; }
    // Column of a role in the rows handed out, -1 when the file has no such column.
    int column(Var role) const { return columns_[static_cast<size_t>(role)]; }

    // Event-ID and time continuity, carried from one reader to the next when several event lists form one run.
    struct Continuity {
        double eventOffset = 0.0;
        double lastRawEvent = 0.0;
        double lastEvent = 0.0;
        double timeOffset = 0.0;
        double lastTime = 0.0;
        bool anyRow = false;
    };
    Continuity continuity() const {
        return {eventOffset_, lastRawEvent_, lastEvent_, timeOffset_, lastTime_, anyRow_};
    }
    void continueFrom(const Continuity& c) {
        eventOffset_ = c.eventOffset;
        lastRawEvent_ = c.lastRawEvent;
        lastEvent_ = c.lastEvent;
        timeOffset_ = c.timeOffset;
        lastTime_ = c.lastTime;
        anyRow_ = c.anyRow;
    }
    bool isTimeInNs() const { return timeInNs_; }
    bool isCoordinatesInMm() const { return coordinatesInMm_; }
    bool isLegacyLayout() const { return legacyLayout_; }
    bool hasUnknownNames() const { return unknownNames_; }
    char separator() const { return separator_; }

    // Lines taken from the file so far (header included), rows handed out in the last batch and in total.
    size_t linesRead() const { return linesRead_; }
    size_t rowsInBatch() const { return rowsInBatch_; }
    size_t rowsRead() const { return rowsRead_; }

    // Closes the file; 0.
    int close();
    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& name() const { return name_; }
    char mode() const { return mode_; }

private:
    enum class LineStatus { Line, End, TooLong, Failed };
    LineStatus nextLine(std::string_view& line, bool& terminated);
    void rewind();
    int scanHeader();
    void mapRoles();
    void buildSeparatorTable();

    // Finds the next data line ('#' and empty lines are skipped); false at the end of the file or on a failure.
    // The pending line then holds it, or the reading failure found on the way.
    bool fetchDataLine();
    int parseLine(std::string_view line, bool terminated, std::span<double> row, bool& skip);
    int applyRowRules(std::span<double> row);
    void updateUnits();
    // Reports a failure of a data line (name and line number appended) and keeps its code for later calls.
    int failAtLine(std::string_view text, int offset);
    int failWithCode(std::string_view text, int offset);

    std::string path_;
    std::string name_;
    char mode_ = '\0';
    MessageTarget to_;
    int codeBase_ = 0;

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;

    // Read buffer: the unread part of the file's bytes lies in [bufferBegin_, bufferEnd_).
    std::unique_ptr<char[]> buffer_;
    size_t bufferSize_ = 0;  // bytes the buffer holds besides its closing '\0'
    size_t bufferBegin_ = 0;
    size_t bufferEnd_ = 0;
    bool fileEnded_ = false;
    bool readFailed_ = false;

    std::vector<std::string> names_;
    std::vector<std::string> units_;
    std::vector<std::string> fileUnits_;
    std::array<int, kVarSlotCount> columns_{};
    char separator_ = '\t';
    std::array<bool, 256> isSeparator_{};
    bool scanned_ = false;
    int scanCount_ = 0;
    bool legacyLayout_ = false;
    bool unknownNames_ = false;

    bool timeInNs_ = true;
    bool coordinatesInMm_ = false;
    bool convert_ = true;
    bool convertTime_ = true;
    bool convertCoordinates_ = true;
    bool convertAngle_ = true;

    bool relativeTime_ = false;
    bool firstTimeSet_ = false;
    double firstTime_ = 0.0;

    size_t batchSize_ = kDefaultBatchSize;
    bool moreData_ = true;
    bool lookAhead_ = false;  // the pending line is at hand
    LineStatus pendingStatus_ = LineStatus::End;
    std::string_view pendingLine_;
    bool pendingTerminated_ = true;
    size_t pendingLineNumber_ = 0;
    int failure_ = 0;

    size_t linesRead_ = 0;
    size_t rowsInBatch_ = 0;
    size_t rowsRead_ = 0;

    size_t rowWidth_ = 0;
    double eventOffset_ = 0.0;
    double lastRawEvent_ = 0.0;
    double lastEvent_ = 0.0;
    bool anyRow_ = false;
    double timeOffset_ = 0.0;
    double lastTime_ = 0.0;

};

}  // namespace zel
