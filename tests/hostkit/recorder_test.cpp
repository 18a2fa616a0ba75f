// The recorder's file: the trace columns, one row per step, complete or absent.
#include "tavrel_hostkit.h"
#include "trace_columns.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readLines(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool exists(const std::string &path) {
    return std::ifstream(path).good();
}

TVK_StepReport seenStep() {
    TVK_StepReport step{};
    step.size = sizeof step;
    step.step = 4;
    step.task = 4;
    step.seen = 1;
    step.x = 100.25F;
    step.y = 75.5F;
    step.dx = 8.0F;
    step.area = 8;
    step.status_count = 1;
    step.status[0] = 1;
    step.host_command = -1;
    step.commanded = 1;
    step.command.enAct = 3;
    step.command.u16MotParam[0][0] = 40;
    step.command.u16MotParam[0][1] = 64;
    step.command.u16RunTim = 300;
    return step;
}

TEST(Recorder, WritesTheTraceColumnsAndOneRowPerStep) {
    const std::string path = testing::TempDir() + "tvk_trace.csv";
    TVK_Recorder *recorder = nullptr;
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 1, 3, &recorder), TVK_OK);
    EXPECT_FALSE(exists(path)); // appears only when complete
    TVK_StepReport step = seenStep();
    ASSERT_EQ(tvk_recorder_write(recorder, 12.3456789, &step, 1), TVK_OK);
    step = TVK_StepReport{};
    step.size = sizeof step;
    step.step = 5;
    step.task = 7;
    step.status_count = 2;
    step.status[0] = 2;
    step.status[1] = 3;
    step.host_command = TVL_CMD_VERIFY;
    ASSERT_EQ(tvk_recorder_write(recorder, 13.0, &step, 0), TVK_OK);
    ASSERT_EQ(tvk_recorder_close(recorder), TVK_OK);

    const std::vector<std::string> lines = readLines(path);
    ASSERT_EQ(lines.size(), 3U);
    std::string header;
    for (const std::string &column : tvk::traceColumns()) {
        header += (header.empty() ? "" : ",") + column;
    }
    EXPECT_EQ(lines[0], header);
    EXPECT_EQ(lines[1], "4,12.345679,1,3,100.25,75.50,1,8.00,0.00,8,1,4,,1,"
                        "3,40,64,0,0,0,0,0,0,0,0,0,0,0,0,0,0,300");
    EXPECT_EQ(lines[2], "5,13.000000,1,3,0,0,0,0,0,,2 3,7,2,0,,,,,,,,,,,,,,,,,,");
    EXPECT_FALSE(exists(path + ".part"));
    std::remove(path.c_str());
}

TEST(Recorder, AbandonedOrUnwritableLeavesNothing) {
    const std::string path = testing::TempDir() + "tvk_abandoned.csv";
    TVK_Recorder *recorder = nullptr;
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
    const TVK_StepReport step = seenStep();
    ASSERT_EQ(tvk_recorder_write(recorder, 0.0, &step, 0), TVK_OK);
    tvk_recorder_abandon(recorder);
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(exists(path + ".part"));

    const std::string missingDir = testing::TempDir() + "no_such_dir/trace.csv";
    EXPECT_EQ(tvk_recorder_open(missingDir.c_str(), 0, 0, &recorder), TVK_E_IO);
    EXPECT_EQ(tvk_recorder_open(path.c_str(), 0, 11, &recorder), TVK_E_ARG);
    EXPECT_EQ(tvk_recorder_open("", 0, 0, &recorder), TVK_E_ARG);
    EXPECT_EQ(tvk_recorder_open(path.c_str(), 0, 0, nullptr), TVK_E_ARG);
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
    EXPECT_EQ(tvk_recorder_write(recorder, 0.0, nullptr, 0), TVK_E_ARG);
    tvk_recorder_abandon(recorder);
}

} // namespace
