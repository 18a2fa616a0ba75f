// Model detection gives the motors of a model selected for the first time since
// the last initialisation their initial values; a model already seeded keeps
// the words its corrections reached.
#include "host/tavrel.h"
#include "tests/support.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

using tvltest::Printed;
using Words = std::array<unsigned short, kVoiMotNum * kFedMotParamNum>;

Words MotorWords(EN_FeederAct enAct, EN_FeederModel enModel) {
    Words words{};
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            words[mot * kFedMotParamNum + param] =
                FedVibrAdjRe(enAct, static_cast<EN_FeederVoiMot>(mot),
                             static_cast<EN_FeederMotParam>(param), enModel);
        }
    }
    return words;
}

// The words a fresh initialisation gives the action in that model.
Words FreshWords(EN_FeederAct enAct, EN_FeederModel enModel) {
    tvltest::ResetLibrary();
    Printed([&] { TVLInit(nullptr, nullptr, nullptr, enModel, enAct); });
    return MotorWords(enAct, enModel);
}

int Init(int model, int action) {
    int iResult = 0;
    Printed([&] { iResult = TVLInit(nullptr, nullptr, nullptr, model, action); });
    return iResult;
}

std::string Detect(float fX, float fY) {
    return Printed([&] { Logic_VisFedModCof_Cb(fX, fY); });
}

// One frequency step up on every main motor, as a correction would.
void Correct(EN_FeederAct enAct, EN_FeederModel enModel) {
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        FedVibrAdj(enAct, static_cast<EN_FeederVoiMot>(mot), enFedMotWorkMain, enFedMotFre,
                   enParamAdjUp, 1, enModel);
    }
}

constexpr float kKavX = 150;
constexpr float kKavY = 150;
constexpr float kMorX = 320;
constexpr float kMorY = 220;

TEST(DetectionSeed, FirstSelectionSinceInitialisationSeedsAndLaterOnesKeep) {
    enum class Expect { kFresh, kKept };
    const struct {
        const char *name;
        int model;
        EN_FeederAct act;
        void (*before)(); // after the initialisation, before the last detection
        float x, y;
        EN_FeederModel detected;
        Expect words;
    } rows[] = {
        {"model 0 never seeded", 1, enFedAct0, [] {}, kKavX, kKavY, enFedKav, Expect::kFresh},
        {"model 1 never seeded", 0, enFedAct9, [] {}, kMorX, kMorY, enFedMor, Expect::kFresh},
        {"the initialised model keeps its corrections", 0, enFedAct0,
         [] { Correct(enFedAct0, enFedKav); }, kKavX, kKavY, enFedKav, Expect::kKept},
        {"a model seeded by an earlier detection keeps its corrections", 0, enFedAct5,
         [] {
             Detect(kMorX, kMorY);
             Correct(enFedAct5, enFedMor);
             Detect(kKavX, kKavY);
         },
         kMorX, kMorY, enFedMor, Expect::kKept},
        {"a model seeded before the last initialisation is seeded again", 1, enFedAct3,
         [] {
             Detect(kKavX, kKavY);
             Init(1, 3);
         },
         kKavX, kKavY, enFedKav, Expect::kFresh},
        {"a model seeded by a parameter change keeps its words", 0, enFedAct2,
         [] {
             Detect(kMorX, kMorY);
             TVLLogicParamSet(30, 90, 40, 90, 400);
             Detect(kKavX, kKavY);
         },
         kMorX, kMorY, enFedMor, Expect::kKept},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Words fresh = FreshWords(row.act, row.detected);
        tvltest::ResetLibrary();
        ASSERT_EQ(Init(row.model, row.act), 1);
        row.before();
        const Words before = MotorWords(row.act, row.detected);
        const std::string out = Detect(row.x, row.y);
        EXPECT_EQ(g_stLogic.enFedModel, row.detected);
        const Words after = MotorWords(row.act, row.detected);
        EXPECT_EQ(after, row.words == Expect::kFresh ? fresh : before);
        // Seeding prints nothing beyond the detection's own three lines.
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << out;
    }
}

// The reproduction: after detection the commands drive the detected model with
// its initial values, not with cleared words.
TEST(DetectionSeed, CommandsAfterDetectionCarryTheInitialWords) {
    static ST_HostFedColC s_stCmd{};
    tvltest::ResetLibrary();
    const PFN_TVLFedCol pfnFed = [](ST_HostFedColC stCmd) {
        s_stCmd = stCmd;
        return 0;
    };
    Printed([&] { ASSERT_EQ(TVLInit(nullptr, pfnFed, nullptr, 1, 0), 1); });
    Detect(kKavX, kKavY);
    Printed([] {
        TVLLogicStaCol(2);
        TVLTask();
    });
    // Action 0 drives motors 2 and 3 (main); model 0 starts them at 40 / 70.
    EXPECT_EQ(s_stCmd.u16MotParam[2][enFedMotAmp], 40);
    EXPECT_EQ(s_stCmd.u16MotParam[3][enFedMotAmp], 40);
    EXPECT_EQ(s_stCmd.u16MotParam[2][enFedMotFre], 70);
    EXPECT_EQ(s_stCmd.u16MotParam[3][enFedMotFre], 70);
}

TEST(DetectionSeed, NoModelChangesOnlyTheModel) {
    tvltest::ResetLibrary();
    ASSERT_EQ(Init(1, 4), 1);
    unsigned char u8Before[sizeof g_stFedParam];
    memcpy(u8Before, g_stFedParam, sizeof g_stFedParam);
    EXPECT_EQ(Detect(250, 150), "=======Fed X = 250.000000====== \n"
                                "=======Fed Y = 150.000000====== \n"
                                "=======Fed No Mod====== \n");
    EXPECT_EQ(g_stLogic.enFedModel, enFedNoMod);
    EXPECT_EQ(memcmp(u8Before, g_stFedParam, sizeof g_stFedParam), 0);
}

} // namespace
