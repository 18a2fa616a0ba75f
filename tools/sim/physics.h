// tavrel-sim --physics: what the simulated feeder's physics does over a grid
// of amplitude words and frequencies, for a reader to hold against the facts
// of vibratory conveying.
#ifndef TAVREL_SIM_PHYSICS_H
#define TAVREL_SIM_PHYSICS_H

#include "tavrel_hostkit.h"

#include <cstdio>

namespace tvlsim {

// The feeder's constants, then one row per amplitude word and frequency:
// action 0's two coils in phase, the part at the platform's centre.
void printPhysics(FILE *out, int model, const TVK_SimFeeder *sim);

} // namespace tvlsim

#endif
