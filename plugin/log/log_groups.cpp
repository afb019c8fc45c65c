#include "log/log_groups.h"

#include <array>
#include <atomic>
#include <mutex>
#include <new>

namespace vclient {

namespace {

// A group name packed into one word, first character in the low byte, so that readers
// which take no lock can never see half of a name being stored.
using PackedName = std::uint32_t;

constexpr PackedName Pack(char a, char b, char c) {
    return static_cast<PackedName>(static_cast<unsigned char>(a)) |
           static_cast<PackedName>(static_cast<unsigned char>(b)) << 8 |
           static_cast<PackedName>(static_cast<unsigned char>(c)) << 16;
}

constexpr char CharAt(PackedName name, std::size_t index) {
    return static_cast<char>((name >> (8 * index)) & 0xFF);
}

constexpr std::array<PackedName, kLogGroupCount> InitialNames() {
    std::array<PackedName, kLogGroupCount> names{};
    for (PackedName& name : names) name = Pack('?', '?', '?');
    names[0] = Pack('D', 'B', 'G');
    names[1] = Pack('G', 'E', 'N');
    names[2] = Pack('X', 'T', 'R');
    names[3] = Pack('P', 'R', 'F');
    names[4] = Pack('M', 'E', 'M');
    names[5] = Pack('D', 'S', 'K');
    names[6] = Pack('N', 'E', 'T');
    names[7] = Pack('T', 'S', 'T');
    return names;
}

// The process-wide table; constant-initialised so that static initialisers of any
// translation unit may register groups.
constinit std::array<PackedName, kLogGroupCount> gNames = InitialNames();
constinit std::atomic<std::size_t> gLastNamed{7};

// One registration at a time. Made on first use, in static storage, and never destroyed:
// the Windows build's standard library cannot make a mutex at compile time, and a
// registration from another static initialiser must find it ready.
std::mutex& RegistrationLock() {
    alignas(std::mutex) static unsigned char storage[sizeof(std::mutex)];
    static std::mutex* const lock = ::new (storage) std::mutex;
    return *lock;
}

PackedName LoadName(std::size_t index) {
    return std::atomic_ref<PackedName>(gNames[index]).load(std::memory_order_acquire);
}

// The first three characters of `name`, shorter names padded with terminators.
PackedName PackPrefix(const char* name) {
    char letters[3] = {'\0', '\0', '\0'};
    for (std::size_t i = 0; i < 3 && name[i] != '\0'; ++i) letters[i] = name[i];
    return Pack(letters[0], letters[1], letters[2]);
}

// "LOC" takes index 8 before the plug-in is in use. It lives in this translation unit,
// which every user of the log reaches (line formatting names groups), so the static
// initialiser is linked in even when the library is linked statically.
[[maybe_unused]] const LogGroups kLogGroupLoc = RegisterLogGroup("LOC");

}  // namespace

LogGroups RegisterLogGroup(const char* name) {
    if (name == nullptr || name[0] == '\0') return 0;
    const PackedName wanted = PackPrefix(name);
    // One registration at a time: two threads registering the same new name must agree
    // on one index, and the last index must not be passed twice.
    std::lock_guard<std::mutex> guard(RegistrationLock());
    const std::size_t last = gLastNamed.load(std::memory_order_acquire);
    for (std::size_t index = 0; index <= last; ++index) {
        if (LoadName(index) == wanted) return LogGroups{1} << index;
    }
    if (last + 1 >= kLogGroupCount) return 0;
    std::atomic_ref<PackedName>(gNames[last + 1]).store(wanted, std::memory_order_release);
    gLastNamed.store(last + 1, std::memory_order_release);
    return LogGroups{1} << (last + 1);
}

void RegisterLogGroup(LogGroups* maskOut, const char* name) {
    const LogGroups mask = RegisterLogGroup(name);
    if (maskOut != nullptr) *maskOut = mask;
}

std::size_t FormatLogGroups(char* buffer, std::size_t size, LogGroups groups) {
    if (buffer == nullptr || size == 0) return 0;
    std::size_t length = 0;
    const auto append = [&](char c) {
        if (size - length < 2) return false;
        buffer[length++] = c;
        return true;
    };
    bool first = true;
    for (std::size_t index = 0; index < kLogGroupCount; ++index) {
        if ((groups & (LogGroups{1} << index)) == 0) continue;
        if (!first && !append(';')) break;
        first = false;
        const PackedName name = LoadName(index);
        bool room = true;
        for (std::size_t i = 0; i < 3 && room && CharAt(name, i) != '\0'; ++i) room = append(CharAt(name, i));
        if (!room) break;
    }
    buffer[length] = '\0';
    return length;
}

}  // namespace vclient
