#include "Reporter.h"

#include <cstdio>

namespace zel::clusterer {

bool Reporter::openLog(const std::string& path) {
    log_.open(path, std::ios::out | std::ios::trunc);
    if (!log_) return false;
    target_ = MessageTarget{&log_, false, true};
    printMsg(target_, "clusterer log\t" + dateTimeText());
    return true;
}

void Reporter::toErrorStream(std::string_view kind, std::string_view text) const {
    if (quiet_) return;
    std::fprintf(stderr, "clusterer: %.*s%.*s\n", static_cast<int>(kind.size()), kind.data(),
                 static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
}

void Reporter::error(std::string_view text) {
    ++errors_;
    toErrorStream("error: ", text);
    printError(target_, text);
}

void Reporter::warning(std::string_view text) {
    ++warnings_;
    toErrorStream("warning: ", text);
    printWarning(target_, text);
}

void Reporter::note(std::string_view text) {
    toErrorStream("", text);
    printMsg(target_, text);
}

void Reporter::debug(std::string_view text) {
    if (!debug_) return;
    toErrorStream("debug: ", text);
    printMsg(target_, text);
}

}  // namespace zel::clusterer
