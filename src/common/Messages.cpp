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

// The messages held back for this thread, or nullptr.
thread_local HeldMessages* tHeld = nullptr;

// 0, or -1 when logging is asked for but the log stream is absent or closed.
int logState(const MessageTarget& to) {
    if (!to.doLog) return 0;
    return to.log != nullptr && to.log->is_open() ? 0 : -1;
}

// Writes `console` (a whole line) to the console when printing is on and `line` to the log when logging is on, or
// holds both back.
int deliver(const MessageTarget& to, std::string_view console, std::string_view line) {
    const int result = logState(to);
    std::ofstream* log = to.doLog && result == 0 ? to.log : nullptr;
    if (tHeld != nullptr) {
        tHeld->hold(to.print ? console : std::string_view(), log, line);
        return result;
    }
    std::lock_guard lock(outputMutex());
    if (to.print) std::fwrite(console.data(), 1, console.size(), stdout);
    if (log != nullptr) {
        (*log) << line << '\n';
        log->flush();
    }
    return result;
}

int emit(const MessageTarget& to, std::string_view colour, std::string_view prefix, std::string_view text) {
    std::string console;
    std::string line;
    line.reserve(prefix.size() + text.size());
    line.append(prefix).append(text);
    if (to.print) {
        console.reserve(colour.size() + line.size() + 8);
        console.append(colour).append(line).append("\033[0m\n");
    }
    return deliver(to, console, line);
}

}  // namespace

HeldMessages::Scope::Scope(HeldMessages& held) : previous_(tHeld) { tHeld = &held; }
HeldMessages::Scope::~Scope() { tHeld = previous_; }

void HeldMessages::hold(std::string_view console, std::ofstream* log, std::string_view line) {
    entries_.push_back({std::string(console), log, log != nullptr ? std::string(line) : std::string()});
}

void HeldMessages::release() {
    std::lock_guard lock(outputMutex());
    for (const Entry& entry : entries_) {
        std::fwrite(entry.console.data(), 1, entry.console.size(), stdout);
        if (entry.log != nullptr) {
            (*entry.log) << entry.line << '\n';
            entry.log->flush();
        }
    }
    entries_.clear();
}

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
    return emit(to, "\033[1;" + std::to_string(colour) + "m", "", text);
}

int printModuleError(const MessageTarget& to, std::string_view text, int base, int number, bool codeToErrorStream) {
    const int code = base - number;
    printErrorCode(to, text, code, codeToErrorStream);
    return code;
}

int printMsg(const MessageTarget& to, std::string_view text, int indent) {
    std::string line(indent > 0 ? static_cast<size_t>(indent) : 0, '\t');
    line.append(text);
    return deliver(to, to.print ? line + '\n' : std::string(), line);
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
