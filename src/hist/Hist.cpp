#include "hist/Hist.h"

#include "common/Paths.h"
#include "common/PendingFile.h"

#include "hist/HistFiles.h"

namespace zel {

void Hist::Reset() {
    title_.clear();
    name_.clear();
    axisTitles_.clear();
    fileOutPath_.clear();
    fileOutName_.clear();
    fileOutEndData_.clear();
    fileOutEndInfo_.clear();
    doPlot_ = true;
    doSparseExport_ = true;
    inputDirectory_.clear();
    inputName_.clear();
    inputEndData_.clear();
    inputEndInfo_.clear();
    binsGiven_ = false;
    ownLog_ = OwnLog{};
}

void Hist::Setup(int errorCodeBase, const MessageTarget& messages) {
    errorBase_ = errorCodeBase;
    messages_ = messages;
    Reset();
}

void Hist::ResetTo(const Kind& kind) {
    Hist::Reset();
    title_ = kind.title;
    name_ = kind.name;
    fileOutName_ = kind.title;
    fileOutPath_ = currentDirPrefix();
    fileOutEndData_ = ".hist";
    fileOutEndInfo_ = ".hist_info";
    axisTitles_ = kind.axisTitles;
    statOnOutput_ = false;
    binsDefined_ = false;
}

bool Hist::TooManyBins(uint64_t bins) const {
    if (bins <= kMaxBins) return false;
    printError(messages_, "Histogram " + title_ + " would have " + std::to_string(bins) + " bins; at most " +
                              std::to_string(kMaxBins) + " are allowed. It is not made.");
    return true;
}

ConfigFile Hist::InfoFileHead() const {
    ConfigFile info(fileOutPath_, fileOutName_ + fileOutEndInfo_);
    info.setMessageTarget(MessageTarget{nullptr, false, false});
    // The limits and statistics agree with the data file, which writes every number exactly.
    info.setExactNumbers(true);
    info.addSection("HistPar");
    info.addParameter("HistPar", "Title", title_);
    info.addParameter("HistPar", "Name", name_);
    info.addParameter("HistPar", "AxisTitles", axisTitles_);
    return info;
}

int Hist::WriteFiles(std::string_view dataText, const ConfigFile& info, int dataError, int infoError) const {
    const std::string dataPath = fileOutPath_ + fileOutName_ + fileOutEndData_;
    const std::string infoPath = fileOutPath_ + fileOutName_ + fileOutEndInfo_;
    PendingFile data(dataPath);
    if (!data.write(dataText)) return ReportCode("Can not open data file for export data: " + dataPath, dataError);
    PendingFile infoFile(infoPath);
    if (!infoFile.write(info.text())) return ReportCode("Can not open info file for export data: " + infoPath, infoError);
    if (!data.commit()) return ReportCode("Can not open data file for export data: " + dataPath, dataError);
    if (!infoFile.commit()) return ReportCode("Can not open info file for export data: " + infoPath, infoError);
    return 0;
}

void Hist::SetOwnLog(bool own, std::string directory, std::string fileName) {
    ownLog_.configure(own, std::move(directory), std::move(fileName));
}

int Hist::OpenOwnLog() {
    if (!ownLog_.open(messages_)) return ReportCode("Can not open log file: " + ownLog_.path(), 100);
    return 0;
}

int Hist::ReportCode(const std::string& text, int number) const {
    return printModuleError(messages_, text, errorBase_, number);
}

void Hist::Fail(const std::string& text, int number) const { failWith(messages_, text, errorBase_ - number); }

void Hist::RequireEdges(const std::string& title, const std::string& axis, size_t count, int number) const {
    if (count >= 2) return;
    Fail("Hist1D " + title + " constructor received empty or insufficient vector with " + axis + "bin low edges (size:" +
             std::to_string(count) + ")",
         number);
}

void Hist::SetInput(std::string directory, std::string name, std::string endData, std::string endInfo) {
    inputDirectory_ = std::move(directory);
    inputName_ = std::move(name);
    inputEndData_ = std::move(endData);
    inputEndInfo_ = std::move(endInfo);
}

int Hist::LoadOwnConfig() {
    if (config_->isLoaded() || config_->inputFileName().empty()) return 0;
    return config_->load();
}

void Hist::BuildFromConfig(std::shared_ptr<ConfigFile> config, const BuildCodes& codes) {
    config_ = std::move(config);
    if (!config_ || LoadConfig() != 0) Fail("Load of configuration failed in constructor.", codes.config);
    if (Init() != 0) Fail("Initialization failed in constructor with config file.", codes.init);
}

void Hist::BuildFromFiles(std::string directory, std::string name, std::string dataEnding, std::string infoEnding,
                          const BuildCodes& codes) {
    binsGiven_ = true;
    config_ = std::make_shared<ConfigFile>(directory, name + infoEnding);
    config_->setMessageTarget(messages_);
    SetInput(std::move(directory), std::move(name), std::move(dataEnding), std::move(infoEnding));
    if (LoadConfig() != 0) Fail("Load of configuration failed in constructor with creation of config.", codes.config);
    if (Init() != 0) Fail("Initialization failed in constructor with config file creation.", codes.init);
    if (LoadData() != 0) Fail("Load of histogram data failed in constructor with data load.", codes.data);
}

int Hist::ReadDataText(std::string& text, size_t numbersPerLine, size_t& usableLines, const DataReadCodes& codes) const {
    if (!config_ || !config_->isLoaded()) return ReportCode("Info file has not been read", codes.infoNotRead);
    const std::string path = inputDirectory_ + inputName_ + inputEndData_;
    switch (readTextFile(path, text)) {
        case FileRead::CannotOpen:
            return ReportCode("Can not open input data file " + path + " in load hist function.", codes.cannotOpen);
        case FileRead::CannotRead:
            return ReportCode("Can not open count lines of input data file in load hist function.", codes.cannotCount);
        case FileRead::Ok:
            break;
    }
    usableLines = 0;
    forEachLine(text, [&](std::string_view line) {
        double numbers[3];
        if (scanLineNumbers(line, numbers, numbersPerLine) == numbersPerLine) ++usableLines;
    });
    return 0;
}

}  // namespace zel
