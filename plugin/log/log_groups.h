// Log groups: the 64-bit masks a log call names its groups with, and the process-wide
// table of their three-letter names.
//
// Bit i of a mask stands for the group at index i of the table. Indices 0-7 are named at
// start ("DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"), the other 56 print as
// "???" until registered. A static initialiser of this library registers "LOC" (index 8,
// mask 256) before anything else can. The table is static data and needs no log system;
// lookups read it without a lock and registrations are serialised among themselves.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vclient {

using LogGroups = std::uint64_t;

inline constexpr LogGroups kLogGroupDbg = 1;
inline constexpr LogGroups kLogGroupGen = 2;
inline constexpr LogGroups kLogGroupXtr = 4;
inline constexpr LogGroups kLogGroupPrf = 8;
inline constexpr LogGroups kLogGroupMem = 16;
inline constexpr LogGroups kLogGroupDsk = 32;
inline constexpr LogGroups kLogGroupNet = 64;
inline constexpr LogGroups kLogGroupTst = 128;

inline constexpr std::size_t kLogGroupCount = 64;

// Looks up the first three characters of `name` among the named groups and returns that
// group's mask; an unknown name takes the next free index. Returns 0 (and stores nothing)
// when `name` is null or empty, or when all 64 indices are already named.
[[nodiscard]] LogGroups RegisterLogGroup(const char* name);
// The same, storing the mask at `maskOut` (the shape of the LogApi entry); a null
// `maskOut` still registers the name.
void RegisterLogGroup(LogGroups* maskOut, const char* name);

// Writes the names of the groups in `groups`, from bit 0 to bit 63, joined by ";"
// (a mask of 0 gives an empty text). Writing stops when fewer than two bytes remain; the
// result is always terminated when `size` is not 0. Returns the number of characters
// written.
std::size_t FormatLogGroups(char* buffer, std::size_t size, LogGroups groups);

}  // namespace vclient
