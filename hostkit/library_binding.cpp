// The Windows shared kit's table of library entry points. The process's kit
// points it at the tavrel.dll it imports; an instance's kit is rebound to
// its private copy of that file by the kit that loaded it. The copy is the
// same image loaded at another base, so each entry point lies at the same
// offset from the base as in the process's library.
#include "instance.h"
#include "library.h"

// Built into the Windows shared kit only; the Linux checks (the layers,
// clang-tidy, cppcheck) read it as an empty file.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>

namespace {

using Address = std::uintptr_t;

template <typename Function> Address addressOf(Function *function) {
    return reinterpret_cast<Address>(function);
}

tvk::lib::Entries processEntries() {
    tvk::lib::Entries entries{};
#define TVK_ENTRY_OWN(name) entries.name = &::name;
    TVK_LIBRARY_ENTRIES(TVK_ENTRY_OWN)
#undef TVK_ENTRY_OWN
    return entries;
}

tvk::lib::Entries &bound() {
    static tvk::lib::Entries entries = processEntries();
    return entries;
}

} // namespace

namespace tvk::lib {

const Entries &entries() {
    return bound();
}

} // namespace tvk::lib

extern "C" int tvk_internal_library_bind(void *copy) {
    const tvk::lib::Entries own = processEntries();
    HMODULE process = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(addressOf(own.TVLInit)), &process) == 0) {
        return 0;
    }
    const Address from = reinterpret_cast<Address>(process);
    const Address to = reinterpret_cast<Address>(copy);
    tvk::lib::Entries moved{};
#define TVK_ENTRY_MOVED(name)                                                                      \
    moved.name = reinterpret_cast<decltype(moved.name)>(addressOf(own.name) - from + to);
    TVK_LIBRARY_ENTRIES(TVK_ENTRY_MOVED)
#undef TVK_ENTRY_MOVED
    // Another file than the process's library would put its exports elsewhere.
    const FARPROC task = GetProcAddress(static_cast<HMODULE>(copy), "TVLTask");
    if (task == nullptr || reinterpret_cast<Address>(task) != addressOf(moved.TVLTask)) {
        return 0;
    }
    bound() = moved;
    return 1;
}

#endif
