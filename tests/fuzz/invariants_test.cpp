// The fuzz target's checks must report what they exist to catch; otherwise a
// clean fuzz run proves nothing.
#include "fuzz/invariants.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using tvlfuzz::CallbackFault;
using tvlfuzz::CommandFault;
using tvlfuzz::StatusFault;
using tvlfuzz::TaskResultFault;

TEST(InvariantsTest, TaskResultsOutsideZeroAndFourToEightAreReported) {
    for (const int iOk : {0, 4, 5, 6, 7, 8}) {
        EXPECT_EQ(TaskResultFault(iOk), nullptr) << iOk;
    }
    for (const int iBad : {-1, 1, 2, 3, 9, 0x7fffffff}) {
        EXPECT_NE(TaskResultFault(iBad), nullptr) << iBad;
    }
}

TEST(InvariantsTest, StatusesOtherThanOneTwoThreeSixAreReported) {
    for (const int iOk : {1, 2, 3, 6}) {
        EXPECT_EQ(StatusFault(iOk), nullptr) << iOk;
    }
    for (const int iBad : {-1, 0, 4, 5, 7, 8}) {
        EXPECT_NE(StatusFault(iBad), nullptr) << iBad;
    }
}

ST_HostFedColC Command(int iAct) {
    ST_HostFedColC stCmd{};
    stCmd.enAct = iAct;
    stCmd.u16MotParam[3][3] = 0xffff; // the words next to the fill are no concern
    stCmd.u16RunTim = 0xffff;
    return stCmd;
}

TEST(InvariantsTest, CommandActionsOutsideZeroToTenAreReported) {
    for (const int iOk : {0, 10}) {
        EXPECT_EQ(CommandFault(Command(iOk)), nullptr) << iOk;
    }
    for (const int iBad : {-1, 11, INT_MIN}) {
        EXPECT_NE(CommandFault(Command(iBad)), nullptr) << iBad;
    }
}

TEST(InvariantsTest, CommandWithEitherFillByteSetIsReported) {
    for (const int iByte : {38, 39}) {
        ST_HostFedColC stCmd = Command(0);
        reinterpret_cast<unsigned char *>(&stCmd)[iByte] = 1;
        EXPECT_NE(CommandFault(stCmd), nullptr) << "byte " << iByte;
    }
}

TEST(InvariantsTest, CallbackOutsideTaskIsReported) {
    EXPECT_NE(CallbackFault(0), nullptr);
    EXPECT_EQ(CallbackFault(1), nullptr);
    EXPECT_EQ(CallbackFault(2), nullptr);
}

} // namespace
