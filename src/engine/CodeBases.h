#pragma once
// The error-code base of the event-list reader as the engine uses it; the modules' bases stand in the module table.
namespace zel {
inline constexpr int kCodeBaseElist = -5600;
}  // namespace zel
