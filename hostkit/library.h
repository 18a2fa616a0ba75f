// The kit's one door into the library's internals: the record layouts and
// the functions the kit calls. Only this header includes base/, feeder/ or
// logic/ headers; every other kit file includes it (or nothing of ours).
#ifndef TAVREL_HOSTKIT_LIBRARY_H
#define TAVREL_HOSTKIT_LIBRARY_H

#include "base/monotonic_clock.h"
#include "base/range.h"
#include "feeder/feeder.h"
#include "logic/clock.h"
#include "logic/logic.h"
#include "tavrel.h"

// The library's functions the kit calls, each reached as tvk::lib::name.
#define TVK_LIBRARY_ENTRIES(X)                                                                     \
    X(TVLInit)                                                                                     \
    X(TVLTask)                                                                                     \
    X(TVLLogicStaCol)                                                                              \
    X(TVLLogicParamSet)                                                                            \
    X(FeederInit)                                                                                  \
    X(FedParamRe)                                                                                  \
    X(FedDuartTimRe)                                                                               \
    X(FedKavParamInit)                                                                             \
    X(FedKavParamSetInit)                                                                          \
    X(LogicActMovThrParamInit)                                                                     \
    X(LogicPosDim_ValToSta)                                                                        \
    X(LogicValAnaHandle_ArrPos)

namespace tvk::lib {

#if defined(_WIN32) && !defined(TVK_STATIC)
// The shared kit on Windows calls its library through a table: the loader
// gives every module that imports tavrel.dll the process's one, so an
// instance's kit reaches its private copy of the library only this way.
struct Entries {
#define TVK_ENTRY_MEMBER(name) decltype(&::name) name;
    TVK_LIBRARY_ENTRIES(TVK_ENTRY_MEMBER)
#undef TVK_ENTRY_MEMBER
};

// The table in use: the process's library's, or the copy's once the kit
// that loaded this one has bound it (before any other call).
const Entries &entries();

// Each name is an object, not a function: a call that names it unqualified
// then never reaches the process's import by argument-dependent lookup.
#define TVK_ENTRY_CALL(name)                                                                       \
    struct name##Entry {                                                                           \
        template <typename... Args> auto operator()(Args... args) const {                          \
            return entries().name(args...);                                                        \
        }                                                                                          \
    };                                                                                             \
    inline constexpr name##Entry name{};
TVK_LIBRARY_ENTRIES(TVK_ENTRY_CALL)
#undef TVK_ENTRY_CALL
#else
#define TVK_ENTRY_USE(name) using ::name;
TVK_LIBRARY_ENTRIES(TVK_ENTRY_USE)
#undef TVK_ENTRY_USE
#endif

} // namespace tvk::lib

#endif
