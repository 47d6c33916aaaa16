#include "common/Messages.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <stdexcept>

namespace zel {
namespace {

// One message at a time: a batch step may report from its helper thread while the engine reports from its own.
std::mutex& outputMutex() {
    static std::mutex mutex;
    return mutex;
}

void toConsole(std::string_view colour, std::string_view prefix, std::string_view text) {
    std::string line;
    line.reserve(colour.size() + prefix.size() + text.size() + 8);
    line.append(colour).append(prefix).append(text).append("\033[0m\n");
    std::fwrite(line.data(), 1, line.size(), stdout);
}

int toLog(const MessageTarget& to, std::string_view prefix, std::string_view text) {
    if (!to.doLog) return 0;
    if (to.log == nullptr || !to.log->is_open()) return -1;
    (*to.log) << prefix << text << '\n';
    to.log->flush();
    return 0;
}

int emit(const MessageTarget& to, std::string_view colour, std::string_view prefix, std::string_view text) {
    std::lock_guard lock(outputMutex());
    if (to.print) toConsole(colour, prefix, text);
    return toLog(to, prefix, text);
}

}  // namespace

int printErrorCode(const MessageTarget& to, std::string_view text, int code, bool codeToErrorStream) {
    std::string prefix = "[ERROR] ";
    prefix += code != 0 ? std::to_string(code) + " : " : std::string("   ");
    int result = emit(to, "\033[1;31m", prefix, text);
    if (codeToErrorStream) {
        std::lock_guard lock(outputMutex());
        std::cerr << code << ';';
        std::cerr.flush();
    }
    return result;
}

int printErrorCode(const MessageTarget& to, std::string_view text, int code) {
    return printErrorCode(to, text, code, false);
}

int printError(const MessageTarget& to, std::string_view text) { return emit(to, "\033[1;31m", "[ERROR]    ", text); }
int printWarning(const MessageTarget& to, std::string_view text) { return emit(to, "\033[1;33m", "[WARNING]  ", text); }
int printSuccess(const MessageTarget& to, std::string_view text) { return emit(to, "\033[1;32m", "[SUCCESS]  ", text); }

int printColor(const MessageTarget& to, std::string_view text, int colour) {
    std::lock_guard lock(outputMutex());
    if (to.print) toConsole("\033[1;" + std::to_string(colour) + "m", "", text);
    return toLog(to, "", text);
}

int printMsg(const MessageTarget& to, std::string_view text, int indent) {
    std::string line(indent > 0 ? static_cast<size_t>(indent) : 0, '\t');
    line.append(text);
    std::lock_guard lock(outputMutex());
    if (to.print) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    return toLog(to, "", line);
}

int printProgress(double fraction) {
    if (fraction < 0) return -1;
    constexpr int kCells = 60;
    static const std::string kBar(kCells, '|');
    int filled = static_cast<int>(fraction * kCells);
    if (filled > kCells) filled = kCells;
    std::lock_guard lock(outputMutex());
    std::printf("\r%3d%% [%.*s%*s]", static_cast<int>(fraction * 100), filled, kBar.c_str(), kCells - filled, "");
    std::fflush(stdout);
    return 0;
}

void raiseCode(int code) {
    {
        std::lock_guard lock(outputMutex());
        std::cerr << code << ';';
        std::cerr.flush();
    }
    throw std::runtime_error(std::to_string(code));
}

void failWith(const MessageTarget& to, std::string_view text, int code) {
    printErrorCode(to, text, code, false);
    raiseCode(code);
}

std::string dateTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[80];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d\t%X", &local);
    return buffer;
}

int codeFromRaised(const std::exception& error, int fallback) {
    std::string_view text = error.what();
    int code = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (ec != std::errc() || end != text.data() + text.size()) return fallback;
    return code;
}

}  // namespace zel
