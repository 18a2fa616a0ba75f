// The kit compiles in the library's record layouts; the library it loads
// may have been built otherwise. These checks ask the loaded library itself,
// through its exported functions, once per process, and refuse with
// TVK_E_LAYOUT (message set) when its records differ from the kit's.
#ifndef TAVREL_HOSTKIT_LAYOUT_H
#define TAVREL_HOSTKIT_LAYOUT_H

namespace tvk {

// The records the library fills in the kit's own memory (its factory logic
// record, a feeder parameter block, a threshold passed by value). Leaves
// the library's state alone, so geometry may ask any time.
int checkRecordLayouts(const char *function);

// checkRecordLayouts, and the library's parameter store read back through
// its own readers against the kit's offsets. Re-initialises the store
// (FeederInit), so only right before TVLInit, which does the same.
int checkLibraryLayouts(const char *function);

} // namespace tvk

#endif
