// Lookups into the parameter store for the feeder's own sources: every index
// is checked here, once, and a bad one yields null.
#ifndef TAVREL_FEEDER_STORE_H
#define TAVREL_FEEDER_STORE_H

#include "feeder/feeder.h"

// The block of a model.
ST_VoiMotActMag *FedBlock(EN_FeederModel enModel);

// The drive words and duration of an action.
ST_VoiMotActParam *FedActParam(EN_FeederAct enAct, EN_FeederModel enModel);

// The four words of one motor of an action.
unsigned short *FedMotWords(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FeederModel enModel);

// The bound entry of an action, parameter and work type.
ST_VoiMotParamInf *FedBoundEntry(EN_FeederAct enAct, EN_FeederMotParam enParam,
                                 EN_FedMotWorkType enWork, EN_FeederModel enModel);

#endif
