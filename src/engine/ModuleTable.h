#pragma once
// The modules of the engine in processing order, one row each: what enables a module, how it is made, its
// error-code base, what the engine says when it fails, and where it reports and exports. The engine walks this
// table for creation, initialisation, the batch step, sample closing, the export and the settings report; a new
// module is one row here.
#include <span>
#include <string_view>

#include "engine/Module.h"
#include "engine/Settings.h"

namespace zel {

// A message of the engine with its code; an empty text says nothing.
struct EngineMessage {
    std::string_view text;
    int code = 0;
};

struct ModuleEntry {
    std::string_view name;
    bool Settings::*enabled;  // nullptr: always part of the run
    ModulePtr (*make)();
    int codeBase;
    EngineMessage initFailure;
    bool goesOn;              // a failed initialisation switches the module off and the run goes on without it
    bool RunState::*active;   // raised while the module is part of the run; may be nullptr
    EngineMessage batchFailure;
    EngineMessage exportFailure;
    std::string_view reportTitle;  // the module's section of the settings report; empty for none
    int reportRank;                // sections are printed in rising rank
    int exportRank;                // modules export in rising rank
};

// The table, in processing order.
std::span<const ModuleEntry> moduleTable();

}  // namespace zel
