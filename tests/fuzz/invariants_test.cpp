// The fuzz target's model of the host must report what it exists to catch;
// otherwise a clean fuzz run proves nothing.
#include "fuzz/invariants.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using tvlfuzz::HostModel;
using tvlfuzz::HostParams;

constexpr unsigned short kDur[3] = {5000, 6000, 7000};
const HostParams kDefaults = {{40, 80, 70, 90, 300}};

// A model after a successful initialisation of action 3, model 0.
HostModel Live(bool bFeederCallback = true) {
    HostModel model;
    model.Initialised(1, 3, 0, bFeederCallback, kDefaults, kDur);
    return model;
}

ST_HostFedColC Command(int iAct, unsigned short u16Run) {
    ST_HostFedColC stCmd{};
    stCmd.enAct = iAct;
    stCmd.u16MotParam[3][3] = 0xffff; // the words next to the fill are no concern
    stCmd.u16RunTim = u16Run;
    return stCmd;
}

TEST(HostModelTest, CommandsCarryTheInitialisedActionAndARunTimeOfItsModel) {
    HostModel failed = Live();
    failed.Initialised(0, 3, 0, true, HostParams{}, kDur);
    ST_HostFedColC stFill = Command(3, 300);
    reinterpret_cast<unsigned char *>(&stFill)[39] = 1;
    const struct {
        const char *name;
        HostModel model;
        ST_HostFedColC cmd;
        bool fault;
    } rows[] = {
        {"tuning run time", Live(), Command(3, 300), false},
        {"verification duration", Live(), Command(3, 5000), false},
        {"before any initialisation", HostModel{}, Command(3, 300), true},
        {"after a failed initialisation", failed, Command(3, 300), true},
        {"another action", Live(), Command(4, 300), true},
        {"another model's duration", Live(), Command(3, 6000), true},
        {"fill bytes set", Live(), stFill, true},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.model.Command(row.cmd) != nullptr, row.fault);
    }
}

TEST(HostModelTest, StatusesFollowTheSteps) {
    // Status 3 belongs to a step that returns 7, unless the host called back.
    HostModel model = Live();
    EXPECT_EQ(model.Status(3), nullptr);
    EXPECT_NE(model.StepEnded(TVL_TASK_END), nullptr);
    EXPECT_EQ(model.Status(3), nullptr);
    EXPECT_EQ(model.StepEnded(TVL_TASK_WAIT), nullptr);
    EXPECT_EQ(model.Status(3), nullptr);
    model.StepInterrupted();
    EXPECT_EQ(model.StepEnded(TVL_TASK_VERIF_START), nullptr);

    // Status 6 comes in a step after the verification command, once.
    model = Live();
    EXPECT_EQ(model.Command(Command(3, 5000)), nullptr);
    EXPECT_NE(model.Status(6), nullptr) << "in the same step";
    model = Live();
    EXPECT_EQ(model.Command(Command(3, 5000)), nullptr);
    EXPECT_EQ(model.StepEnded(TVL_TASK_VERIF_ING), nullptr);
    EXPECT_EQ(model.StepEnded(TVL_TASK_VERIF_ING), nullptr); // no model in force: idle
    EXPECT_EQ(model.Status(6), nullptr);
    EXPECT_EQ(model.StepEnded(TVL_TASK_WAIT), nullptr);
    EXPECT_NE(model.Status(6), nullptr) << "twice";
    // Without a feeder callback the step's result stands for the command.
    model = Live(false);
    EXPECT_EQ(model.StepEnded(TVL_TASK_VERIF_ING), nullptr);
    EXPECT_EQ(model.Status(6), nullptr);

    for (const int iBad : {0, 4, 5, 7, -1}) {
        EXPECT_NE(Live().Status(iBad), nullptr) << iBad;
    }
    EXPECT_NE(HostModel{}.Status(2), nullptr) << "before any initialisation";
}

TEST(HostModelTest, ParametersReadBackAsSetOrZeroWithoutInitialisation) {
    const HostParams stSet = {{1, 2, 3, 4, 5}};
    const HostParams stOther = {{1, 2, 3, 4, 6}};
    HostModel model = Live();
    EXPECT_EQ(model.ParamsSetAndRead(stSet, stSet), nullptr);
    EXPECT_NE(model.ParamsRead(stOther), nullptr);
    EXPECT_NE(model.ParamsSetAndRead(stSet, stOther), nullptr);
    // The new run time is the one tuning commands must carry.
    EXPECT_EQ(model.Command(Command(3, 5)), nullptr);
    EXPECT_NE(model.Command(Command(3, 300)), nullptr);
    HostModel dead;
    EXPECT_EQ(dead.ParamsSetAndRead(stSet, HostParams{}), nullptr);
    EXPECT_NE(dead.ParamsSetAndRead(stSet, stSet), nullptr);
}

TEST(HostModelTest, CarriedOutCommandsAndTheStateTheySet) {
    EXPECT_FALSE(HostModel{}.CommandCarriedOut(TVL_CMD_VERIFY));
    EXPECT_TRUE(Live().CommandCarriedOut(TVL_CMD_VERIFY));
    EXPECT_FALSE(Live().CommandCarriedOut(4));
    EXPECT_EQ(HostModel::StateAfterCommand(TVL_CMD_END), TVL_TASK_END);
    EXPECT_EQ(HostModel::StateAfterCommand(TVL_CMD_RESTART), TVL_TASK_ADJ);
    EXPECT_EQ(HostModel::StateAfterCommand(TVL_CMD_VERIFY), TVL_TASK_VERIF_START);
    EXPECT_EQ(HostModel::StateAfterCommand(TVL_CMD_SUCCESS), TVL_TASK_END);
}

TEST(InvariantsTest, PlainPromises) {
    for (const int iOk : {0, 4, 8}) {
        EXPECT_EQ(tvlfuzz::TaskResultFault(iOk), nullptr) << iOk;
    }
    for (const int iBad : {-1, 1, 3, 9, INT_MAX}) {
        EXPECT_NE(tvlfuzz::TaskResultFault(iBad), nullptr) << iBad;
    }
    EXPECT_NE(HostModel::CallbackPlace(0), nullptr);
    EXPECT_EQ(HostModel::CallbackPlace(1), nullptr);
    // word, initial, minimum, maximum
    EXPECT_EQ(tvlfuzz::MotorWordFault(10, 40, 10, 90), nullptr);
    EXPECT_EQ(tvlfuzz::MotorWordFault(90, 40, 10, 90), nullptr);
    EXPECT_NE(tvlfuzz::MotorWordFault(0, 40, 10, 90), nullptr);
    EXPECT_NE(tvlfuzz::MotorWordFault(91, 40, 10, 90), nullptr);
    EXPECT_EQ(tvlfuzz::MotorWordFault(0, 95, 10, 90), nullptr) << "inconsistent bounds";
}

} // namespace
