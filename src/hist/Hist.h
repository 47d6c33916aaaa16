#pragma once
// Common base of the histogram classes: names, titles, axis titles, plotting and export options, output and input
// file locations, and where the histogram's messages go. Every code a histogram reports is its error-code base
// minus a fixed number, so an owner can shift the codes into a range of its own.
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "common/OwnLog.h"

namespace zel {

class Hist {
public:
    Hist() = default;
    virtual ~Hist() = default;
    Hist(const Hist&) = default;
    Hist& operator=(const Hist&) = default;
    Hist(Hist&&) noexcept = default;
    Hist& operator=(Hist&&) noexcept = default;

    // Clears every name, title and location and restores the option defaults. Where messages go (console and log
    // switches, log stream) and the error-code base describe the owner's setup, not the histogram, and stay.
    virtual void Reset();
    virtual int Init() { return 0; }
    virtual int LoadConfig() { return 0; }
    virtual int LoadData() { return 0; }
    virtual int Export() { return 0; }
    virtual void Print() {}

    const std::string& GetTitle() const { return title_; }
    const std::string& GetName() const { return name_; }
    const std::vector<std::string>& GetAxisTitles() const { return axisTitles_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetAxisTitles(std::vector<std::string> titles) { axisTitles_ = std::move(titles); }

    // The configuration the histogram was built from, or none.
    const ConfigFile* GetConfig() const { return config_.get(); }

    // Output files: FileOut_Path + FileOut_Name + FileOut_EndData (data) and + FileOut_EndInfo (information).
    const std::string& GetFileOutPath() const { return fileOutPath_; }
    const std::string& GetFileOutName() const { return fileOutName_; }
    const std::string& GetFileOutEndData() const { return fileOutEndData_; }
    const std::string& GetFileOutEndInfo() const { return fileOutEndInfo_; }
    void SetFileOutPath(std::string path) { fileOutPath_ = std::move(path); }
    void SetFileOutName(std::string name) { fileOutName_ = std::move(name); }
    void SetFileOutEndData(std::string ending) { fileOutEndData_ = std::move(ending); }
    void SetFileOutEndInfo(std::string ending) { fileOutEndInfo_ = std::move(ending); }

    bool GetDoPlot() const { return doPlot_; }
    bool GetDoSparseExport() const { return doSparseExport_; }
    void SetDoPlot(bool on) { doPlot_ = on; }
    void SetDoSparseExport(bool on) { doSparseExport_ = on; }

    // Input files of a histogram built from files.
    const std::string& GetInputDirectory() const { return inputDirectory_; }
    const std::string& GetInputName() const { return inputName_; }
    const std::string& GetInputEndData() const { return inputEndData_; }
    const std::string& GetInputEndInfo() const { return inputEndInfo_; }
    // True for a histogram whose bins come from its files rather than from its parameters.
    bool GetBinsGiven() const { return binsGiven_; }

    // Messages: console and log switches and the log stream (owned elsewhere unless the histogram opens its own).
    const MessageTarget& GetMessageTarget() const { return messages_; }
    void SetMessageTarget(const MessageTarget& to) { messages_ = to; }
    void SetPrint(bool print) { messages_.print = print; }
    void SetDoLog(bool doLog) { messages_.doLog = doLog; }
    void SetLogStream(std::ofstream* log) { messages_.log = log; }
    // With the own-log flag, Init opens log directory + log file name and writes the messages there.
    void SetOwnLog(bool own, std::string directory, std::string fileName);
    bool GetOwnLog() const { return ownLog_.isOn(); }

    int GetErrorCodeBase() const { return errorBase_; }
    void SetErrorCodeBase(int base) { errorBase_ = base; }

    // The most bins a histogram may have (half a GiB of contents): larger ones are refused, not allocated.
    static constexpr uint64_t kMaxBins = uint64_t{1} << 26;

    bool IsBinsDefined() const { return binsDefined_; }
    bool GetStatOnOutput() const { return statOnOutput_; }

protected:
    // The defaults a histogram of one kind starts from.
    struct Kind {
        const char* title;  // also the output file name
        const char* name;
        std::vector<std::string> axisTitles;
    };
    // The construction step shared by every constructor: where messages go, the code base, and Reset.
    void Setup(int errorCodeBase, const MessageTarget& messages);
    // Reset of the parts every kind shares, to the defaults of `kind`.
    void ResetTo(const Kind& kind);
    // True, after an error message, when `bins` is more than kMaxBins.
    bool TooManyBins(uint64_t bins) const;
    // The information file's head: the "HistPar" section with title, name and axis titles.
    ConfigFile InfoFileHead() const;
    // Writes the data and information files of the export, each under its name only when both were written: 0, or
    // the reported code base - dataError (- infoError) of the file that failed.
    int WriteFiles(std::string_view dataText, const ConfigFile& info, int dataError, int infoError) const;

    // Opens the own log when asked for; 0, or the code of "Can not open log file: " (base - 100).
    int OpenOwnLog();
    // Reports `text` with code base - number and returns that code.
    int ReportCode(const std::string& text, int number) const;
    // Reports `text` with code base - number and raises it (constructor failures).
    [[noreturn]] void Fail(const std::string& text, int number) const;
    // Raises error `number` unless an edge list of `count` entries (for the axis named `axis`: "", "X " or "Y ")
    // can lay out at least one bin; the text names both kinds of histogram "Hist1D".
    void RequireEdges(const std::string& title, const std::string& axis, size_t count, int number) const;
    void SetInput(std::string directory, std::string name, std::string endData, std::string endInfo);
    // The construction steps shared by the 1D and 2D histograms: from a configuration, and from a pair of files
    // (information file, then data). Each failure reports its message with the given error number and raises it.
    struct BuildCodes {
        int config;
        int init;
        int data;
    };
    void BuildFromConfig(std::shared_ptr<ConfigFile> config, const BuildCodes& codes);
    // Reads the data file of the input location into `text` after the information file was loaded, and counts the
    // lines that hold at least `numbersPerLine` (at most 3) numbers. 0, or the reported code of the failed step.
    struct DataReadCodes {
        int infoNotRead;
        int cannotOpen;
        int cannotCount;
    };
    int ReadDataText(std::string& text, size_t numbersPerLine, size_t& usableLines, const DataReadCodes& codes) const;
    void BuildFromFiles(std::string directory, std::string name, std::string dataEnding, std::string infoEnding,
                        const BuildCodes& codes);
    // Loads the configuration unless it is already loaded or was assembled in memory (it names no input file).
    // 0, or the sum of the reader's codes.
    int LoadOwnConfig();

    std::string title_;
    std::string name_;
    std::vector<std::string> axisTitles_;
    std::shared_ptr<ConfigFile> config_;
    std::string fileOutPath_;
    std::string fileOutName_;
    std::string fileOutEndData_;
    std::string fileOutEndInfo_;
    bool doPlot_ = true;
    bool doSparseExport_ = true;
    std::string inputDirectory_;
    std::string inputName_;
    std::string inputEndData_;
    std::string inputEndInfo_;
    bool binsGiven_ = false;
    OwnLog ownLog_;  // shared by copies of the histogram
    MessageTarget messages_{nullptr, true, true};
    int errorBase_ = 0;
    bool statOnOutput_ = false;  // statistics are computed before an export
    bool binsDefined_ = false;
};

}  // namespace zel
