#include "fuzz/invariants.h"

#include <cstring>

namespace tvlfuzz {

namespace {

bool ModelIndex(int iModel) {
    return 0 <= iModel && iModel <= 2;
}

bool SameParams(const HostParams &stA, const HostParams &stB) {
    return std::memcmp(stA.u16Val, stB.u16Val, sizeof stA.u16Val) == 0;
}

constexpr int kRunPos = 4; // the run time's place among the parameters

} // namespace

void HostModel::Reset() {
    *this = HostModel{};
}

void HostModel::Initialised(int iResult, int iAct, int iModel, bool bFeederCallback,
                            const HostParams &stParams, const unsigned short (&u16Dur)[3]) {
    // A step may be in progress: its own marks stay.
    const HostModel stStep = *this;
    Reset();
    m_bSawStatus3 = stStep.m_bSawStatus3;
    m_bInterruptedAfter3 = stStep.m_bInterruptedAfter3;
    m_bVerifCommanded = stStep.m_bVerifCommanded;
    if (iResult != 1) {
        return;
    }
    m_bLive = true;
    m_bFeederCallback = bFeederCallback;
    m_iAct = iAct;
    m_iModel = iModel;
    m_bParamsKnown = true;
    m_stParams = stParams;
    if (ModelIndex(iModel)) {
        m_bRunKnown[iModel] = true;
        m_u16Run[iModel] = stParams.u16Val[kRunPos];
    }
    std::memcpy(m_u16Dur, u16Dur, sizeof m_u16Dur);
}

void HostModel::ModelDetected(int iModel, const HostParams &stParams) {
    m_iModel = iModel;
    m_bParamsKnown = false;
    if (m_bLive && ModelIndex(iModel) && !m_bRunKnown[iModel]) {
        m_bRunKnown[iModel] = true;
        m_u16Run[iModel] = stParams.u16Val[kRunPos];
    }
}

void HostModel::DurationSet(int iAct, int iModel, unsigned short u16Dur) {
    if (iAct == m_iAct && ModelIndex(iModel)) {
        m_u16Dur[iModel] = u16Dur;
    }
}

void HostModel::BoundsLoaded(int iModel) {
    if (iModel == m_iModel) {
        m_bParamsKnown = false;
    }
}

const char *HostModel::ParamsSetAndRead(const HostParams &stSet, const HostParams &stRead) {
    if (!m_bLive || !ModelIndex(m_iModel)) {
        return SameParams(stRead, HostParams{})
                   ? nullptr
                   : "parameters stored or read without a successful initialisation and a model";
    }
    m_bParamsKnown = true;
    m_stParams = stSet;
    m_bRunKnown[m_iModel] = true;
    m_u16Run[m_iModel] = stSet.u16Val[kRunPos];
    return SameParams(stRead, stSet) ? nullptr : "parameters read back other than set";
}

const char *HostModel::ParamsRead(const HostParams &stRead) {
    if (!m_bLive || !ModelIndex(m_iModel)) {
        return SameParams(stRead, HostParams{})
                   ? nullptr
                   : "parameters read without a successful initialisation and a model";
    }
    if (m_bRunKnown[m_iModel] && stRead.u16Val[kRunPos] != m_u16Run[m_iModel]) {
        return "run time read back other than set";
    }
    if (m_bParamsKnown && !SameParams(stRead, m_stParams)) {
        return "parameters read back other than set";
    }
    m_bParamsKnown = true;
    m_stParams = stRead;
    return nullptr;
}

const char *HostModel::Command(const ST_HostFedColC &stCmd) {
    if (const char *pszFault = CommandFillFault(stCmd)) {
        return pszFault;
    }
    if (!m_bLive) {
        return "feeder command while no initialisation has succeeded";
    }
    if (stCmd.enAct != m_iAct) {
        return "feeder command for an action other than the initialised one";
    }
    if (!ModelIndex(m_iModel)) {
        return "feeder command while no model is in force";
    }
    const bool bVerif = stCmd.u16RunTim == m_u16Dur[m_iModel];
    if (m_bRunKnown[m_iModel] && !bVerif && stCmd.u16RunTim != m_u16Run[m_iModel]) {
        return "feeder command with neither the model's run time nor the action's duration";
    }
    if (bVerif) {
        // The end of this verification comes in a later step.
        m_bVerifCommanded = true;
        m_bVerifPending = false;
    }
    return nullptr;
}

const char *HostModel::Status(int iStatus) {
    if (iStatus != 1 && iStatus != 2 && iStatus != 3 && iStatus != 6) {
        return "status other than 1, 2, 3 or 6";
    }
    if (!m_bLive) {
        return "status while no initialisation has succeeded";
    }
    if (iStatus == 3) {
        m_bSawStatus3 = true;
    }
    if (iStatus == 6) {
        if (!m_bVerifPending) {
            return "status 6 without a verification command in an earlier step";
        }
        m_bVerifPending = false;
    }
    return nullptr;
}

const char *HostModel::CallbackPlace(int iTaskDepth) {
    return iTaskDepth > 0 ? nullptr : "host callback outside TVLTask";
}

void HostModel::StepInterrupted() {
    m_bInterruptedAfter3 = m_bInterruptedAfter3 || m_bSawStatus3;
}

const char *HostModel::StepEnded(int iResult) {
    const char *pszFault = TaskResultFault(iResult);
    if (pszFault == nullptr && m_bSawStatus3 && !m_bInterruptedAfter3 && iResult != TVL_TASK_WAIT) {
        pszFault = "status 3 on a step that does not return 7";
    }
    if (iResult == TVL_TASK_VERIF_ING && (m_bVerifCommanded || !m_bFeederCallback)) {
        m_bVerifPending = true;
    }
    m_bVerifCommanded = false;
    m_bSawStatus3 = false;
    m_bInterruptedAfter3 = false;
    return pszFault;
}

bool HostModel::CommandCarriedOut(int iCommand) const {
    return m_bLive && 0 <= iCommand && iCommand <= 3;
}

int HostModel::StateAfterCommand(int iCommand) {
    switch (iCommand) {
    case TVL_CMD_RESTART:
        return TVL_TASK_ADJ;
    case TVL_CMD_VERIFY:
        return TVL_TASK_VERIF_START;
    default:
        return TVL_TASK_END;
    }
}

const char *TaskResultFault(int iResult) {
    if (iResult == TVL_TASK_NONE || (TVL_TASK_ADJ <= iResult && iResult <= TVL_TASK_END)) {
        return nullptr;
    }
    return "TVLTask returned a value other than 0 or 4..8";
}

const char *CommandFillFault(const ST_HostFedColC &stCmd) {
    // Read the raw bytes: the promise is about the record the host receives.
    unsigned char u8Bytes[sizeof stCmd];
    std::memcpy(u8Bytes, &stCmd, sizeof stCmd);
    if (u8Bytes[38] != 0 || u8Bytes[39] != 0) {
        return "feeder command with non-zero bytes 38-39";
    }
    return nullptr;
}

const char *MotorWordFault(unsigned short u16Word, unsigned short u16Init, unsigned short u16Min,
                           unsigned short u16Max) {
    const bool bConsistent = u16Min <= u16Init && u16Init <= u16Max;
    if (bConsistent && (u16Word < u16Min || u16Word > u16Max)) {
        return "driven motor word outside its bounds";
    }
    return nullptr;
}

} // namespace tvlfuzz
