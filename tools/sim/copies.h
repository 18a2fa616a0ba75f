// The copies of the kit tavrel-sim runs its sessions on: the process's own
// for one job, else one instance per thread of the simulator's own build of
// the kit (the kit, the library and the library's clock seam in one module).
#ifndef TAVREL_SIM_COPIES_H
#define TAVREL_SIM_COPIES_H

#include "session.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tvlsim {

class KitCopies {
  public:
    // jobs above 1 opens that many instances (fewer, said on standard
    // error, when the loader holds fewer); quiet: each discards its
    // library's text. Throws tvltools::UsageError when none can be opened.
    KitCopies(int jobs, bool quiet);
    ~KitCopies();
    KitCopies(const KitCopies &) = delete;
    KitCopies &operator=(const KitCopies &) = delete;

    // Runs run(copy, i) for every i below count, on one thread per copy, and
    // gives each result to done(i, result) on the calling thread in the
    // order of i, as soon as it and those before it are in. A result of i
    // does not depend on the copy that ran it. Stops early on a stop signal;
    // the first exception of a run is thrown here.
    void runInOrder(std::size_t count,
                    const std::function<SessionResult(const tvltools::KitCopy &, std::size_t)> &run,
                    const std::function<void(std::size_t, const SessionResult &)> &done) const;

  private:
    std::vector<TVK_Instance *> instances_;
    std::vector<tvltools::KitCopy> copies_;
};

// The simulator's build of the kit: beside the installed program, else the
// build tree's.
std::string simKitPath();

} // namespace tvlsim

#endif
