#pragma once
// Error numbers of particle identification, decision trees and networks alike: every reported code is the
// module's error-code base minus one of these.
namespace zel::pid_error {

inline constexpr int kBuildFailed = 101;
inline constexpr int kNoChoice = 104;  // also the invalid number of the first check
inline constexpr int kInitFailed = 105;
inline constexpr int kNormsNotOpened = 107;
inline constexpr int kNormsNotRead = 108;
inline constexpr int kNotInitialised = 111;
inline constexpr int kBatchFailed = 113;
inline constexpr int kModelNotLoaded = 115;
inline constexpr int kRunFailed = 116;
inline constexpr int kCountMismatch = 117;
inline constexpr int kNoClasses = 118;
inline constexpr int kZeroNorm = 122;
inline constexpr int kMissingColumn = 123;
inline constexpr int kInvalidNumber = 124;

}  // namespace zel::pid_error
