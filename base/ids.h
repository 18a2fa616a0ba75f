// What every subsystem indexes by: feeder models, actions and motors, and
// their counts.
#ifndef TAVREL_BASE_IDS_H
#define TAVREL_BASE_IDS_H

// enFedNoMod is what model detection stores when no window matches; it
// indexes nothing.
enum EN_FeederModel : int { enFedKav = 0, enFedMor = 1, enFedTus = 2, enFedNoMod = 4 };

enum EN_FeederAct : int {
    enFedAct0 = 0,
    enFedAct1,
    enFedAct2,
    enFedAct3,
    enFedAct4,
    enFedAct5,
    enFedAct6,
    enFedAct7,
    enFedAct8,
    enFedAct9,
    enFedAct10
};

enum EN_FeederVoiMot : int { enFedVoiMot0 = 0, enFedVoiMot1, enFedVoiMot2, enFedVoiMot3 };

enum { kFedModelNum = 3, kFedActNum = 11, kVoiMotNum = 4 };

#endif
