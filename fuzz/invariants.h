// What the library promises a host, checked against a model of what the host
// called. The fuzz target tells the model every call it makes and everything it
// receives; each check returns null when the promise holds, otherwise a short
// description of the breach.
#ifndef TAVREL_FUZZ_INVARIANTS_H
#define TAVREL_FUZZ_INVARIANTS_H

#include "host/tavrel.h"

namespace tvlfuzz {

// The host's view of the five tunable parameters, in TVLLogicParamSet's order.
struct HostParams {
    unsigned short u16Val[5];
};

class HostModel {
  public:
    // Back to a host that has called nothing yet.
    void Reset();

    // TVLInit returned iResult for this action, given a feeder callback or
    // none; stParams is what TVLLogicParamRe read right after it, u16Dur the
    // action's duration word in each model.
    void Initialised(int iResult, int iAct, int iModel, bool bFeederCallback,
                     const HostParams &stParams, const unsigned short (&u16Dur)[3]);
    // Model detection left iModel in force (0, 1 or 4); stParams is what
    // TVLLogicParamRe read right after it.
    void ModelDetected(int iModel, const HostParams &stParams);
    // The host changed the duration word of an action in a model.
    void DurationSet(int iAct, int iModel, unsigned short u16Dur);
    // The host loaded a bound table into a model: the parameters of that model
    // are the table's from now on.
    void BoundsLoaded(int iModel);

    // Parameters set, then read straight back.
    const char *ParamsSetAndRead(const HostParams &stSet, const HostParams &stRead);
    // A parameter read on its own.
    const char *ParamsRead(const HostParams &stRead);

    // What the callbacks receive.
    const char *Command(const ST_HostFedColC &stCmd);
    const char *Status(int iStatus);
    // A callback ran while iTaskDepth TVLTask calls were in progress.
    static const char *CallbackPlace(int iTaskDepth);
    // A status or feeder callback made a call back that ends the step.
    void StepInterrupted();
    // The outermost TVLTask returned iResult.
    const char *StepEnded(int iResult);

    // Whether a command (0..3) is carried out now, and the task state it sets.
    bool CommandCarriedOut(int iCommand) const;
    static int StateAfterCommand(int iCommand);

    bool Live() const {
        return m_bLive;
    }
    int Action() const {
        return m_iAct;
    }
    int ModelInForce() const {
        return m_iModel;
    }

  private:
    bool m_bLive = false; // the last initialisation succeeded
    int m_iAct = 0;
    int m_iModel = 0;
    bool m_bParamsKnown = false;
    HostParams m_stParams{};
    bool m_bRunKnown[3] = {};
    unsigned short m_u16Run[3] = {};
    unsigned short m_u16Dur[3] = {};
    // Within the step in progress, and of the step before.
    bool m_bSawStatus3 = false;
    bool m_bInterruptedAfter3 = false;
    bool m_bFeederCallback = false;
    bool m_bVerifCommanded = false;
    // A verification was commanded in an earlier step (the task returned 6
    // after a verification command, or without a feeder callback to show it)
    // and has not been reported ended yet.
    bool m_bVerifPending = false;
};

// TVLTask returns 0 (not initialised) or a task state 4..8.
const char *TaskResultFault(int iResult);

// Bytes 38-39 of the record the feeder callback receives are zero.
const char *CommandFillFault(const ST_HostFedColC &stCmd);

// A driven motor word lies within its bounds whenever they are consistent.
const char *MotorWordFault(unsigned short u16Word, unsigned short u16Init, unsigned short u16Min,
                           unsigned short u16Max);

} // namespace tvlfuzz

#endif
