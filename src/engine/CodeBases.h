#pragma once
// Error-code bases handed to the modules; each module derives its own codes from its base.
namespace zel {
inline constexpr int kCodeBasePID = -4900;
inline constexpr int kCodeBaseFilter = -5000;
inline constexpr int kCodeBaseModule1 = -5100;
inline constexpr int kCodeBaseModule2 = -5200;
inline constexpr int kCodeBaseModule3 = -5300;
inline constexpr int kCodeBaseModule4 = -5400;
inline constexpr int kCodeBaseModule5 = -5500;
inline constexpr int kCodeBaseElist = -5600;
}  // namespace zel
