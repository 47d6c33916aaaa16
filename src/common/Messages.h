#pragma once
// The one messages facility: every text the system shows goes through these operations, to the console
// (with ANSI colours) when printing is on and to the log stream (without colours) when logging is on.
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Where a message goes: the log stream (may be absent) and the two switches.
struct MessageTarget {
    std::ofstream* log = nullptr;
    bool print = true;
    bool doLog = true;
};

// Each returns 0, or -1 when logging was asked for but the log stream is absent or closed.
int printErrorCode(const MessageTarget& to, std::string_view text, int code, bool codeToErrorStream);
int printErrorCode(const MessageTarget& to, std::string_view text, int code);
int printError(const MessageTarget& to, std::string_view text);
int printWarning(const MessageTarget& to, std::string_view text);
int printSuccess(const MessageTarget& to, std::string_view text);
int printColor(const MessageTarget& to, std::string_view text, int colour);
int printMsg(const MessageTarget& to, std::string_view text, int indent = 0);

// Reports an error of a module whose codes derive from `base`: the code is base - number, also written to the error
// stream when asked. Returns the code.
int printModuleError(const MessageTarget& to, std::string_view text, int base, int number,
                     bool codeToErrorStream = false);

// Messages held back and written later, in the order they came: jobs on several threads report through it in a
// fixed order. While a Scope lives, the messages of its thread are held in the HeldMessages it names; release()
// writes them (on any thread) and empties the list.
class HeldMessages {
public:
    class Scope {
    public:
        explicit Scope(HeldMessages& held);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        HeldMessages* previous_;
    };

    void hold(std::string_view console, std::ofstream* log, std::string_view line);
    void release();

private:
    struct Entry {
        std::string console;  // the whole console line, or empty
        std::ofstream* log;   // where the line goes, or nullptr
        std::string line;
    };
    std::vector<Entry> entries_;
};

// Draws the 60-cell progress bar on the console; -1 for a negative fraction.
int printProgress(double fraction);

// Writes the code and ";" to the error stream and throws std::runtime_error with the code's decimal text.
[[noreturn]] void raiseCode(int code);

// Reports an error with its code (also to the error stream) and raises it.
[[noreturn]] void failWith(const MessageTarget& to, std::string_view text, int code);

// Local date and time as "%Y-%m-%d\t%X".
std::string dateTimeText();

// Turns the message of a raised runtime error back into its code; fallback when it is no number.
int codeFromRaised(const std::exception& error, int fallback);

}  // namespace zel
