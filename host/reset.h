// Every static record and every callback pointer of the library back to its
// state at load. For the tests and the fuzz target; not part of the exported
// surface, and not installed.
#ifndef TAVREL_HOST_RESET_H
#define TAVREL_HOST_RESET_H

void TvlResetAll();

#endif
