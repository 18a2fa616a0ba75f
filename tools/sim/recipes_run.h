// tavrel-sim with a recipe store: sessions through tvr_tune (warm start,
// drift, fall-back, commissioning) on simulated feeders and simulated time.
#ifndef TAVREL_SIM_RECIPES_RUN_H
#define TAVREL_SIM_RECIPES_RUN_H

#include "options.h"

#include <cstdio>

namespace tvlsim {

// One session per model and action through the store; true when all tuned.
bool runRecipeSessions(const Options &options, FILE *out);
// The fleet twice: the first tuning of each feeder (cold, or commissioned),
// then its re-tune from the recipe (under --drift's load when given); true
// when every session of both passes tuned.
bool runRecipeFleet(const Options &options, FILE *out);

} // namespace tvlsim

#endif
