// Diagnostics capture: the library's text (and anything else on descriptor 1)
// to a callback line by line, to a file or nowhere, and back. GoogleTest's
// own capture stands in for the terminal, so what reaches the original
// standard output is seen too.
#include "hostkit/scratch_files.h"
#include "tavrel_hostkit.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

void collect(void *user, const char *line, int32_t length) {
    static_cast<std::vector<std::string> *>(user)->emplace_back(line,
                                                                static_cast<std::size_t>(length));
}

using tvktest::readFile;

const char *const kBanner =
    "##############################***Task Run***##########################################";

class Capture : public testing::Test {
  protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
    }
    // What reached the original standard output.
    std::string original() {
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    void TearDown() override {
        if (tvk_capture_active() != 0) {
            tvk_capture_stop();
        }
    }
};

TEST_F(Capture, CallbackGetsWholeLinesAsTheyComeAndTheRestAtStop) {
    std::vector<std::string> lines;
    ASSERT_EQ(tvk_capture_to_callback(collect, &lines), TVK_OK);
    EXPECT_EQ(tvk_capture_active(), 1);
    std::printf("alpha\nbe");
    TVLTask(); // uninitialised: polls nothing, prints its banner
    std::printf("ta");
    ASSERT_EQ(tvk_capture_pump(), TVK_OK);
    EXPECT_EQ(lines, (std::vector<std::string>{"alpha", std::string("be") + kBanner}));
    // More than any pipe would hold, in one go, then a line without its end.
    const std::string longLine(300000, 'x');
    std::printf("\n%s\n", longLine.c_str());
    std::printf("tail");
    ASSERT_EQ(tvk_capture_stop(), TVK_OK);
    EXPECT_EQ(tvk_capture_active(), 0);
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[2], "ta");
    EXPECT_EQ(lines[3], longLine);
    EXPECT_EQ(lines[4], "tail");
    std::printf("after\n");
    EXPECT_EQ(original(), "after\n");
}

TEST_F(Capture, FileTruncatesOrAppendsAndDiscardDropsEverything) {
    const std::string path = testing::TempDir() + "tvk_capture.txt";
    for (const int append : {0, 1}) {
        ASSERT_EQ(tvk_capture_to_file(path.c_str(), append), TVK_OK);
        TVLTask();
        ASSERT_EQ(tvk_capture_stop(), TVK_OK);
    }
    const std::string banner = std::string(kBanner) + "\n";
    EXPECT_EQ(readFile(path), banner + banner);
    ASSERT_EQ(tvk_capture_to_file(path.c_str(), 0), TVK_OK);
    ASSERT_EQ(tvk_capture_stop(), TVK_OK);
    EXPECT_EQ(readFile(path), "");
    std::remove(path.c_str());

    ASSERT_EQ(tvk_capture_discard(), TVK_OK);
    std::printf("gone\n");
    TVLTask();
    ASSERT_EQ(tvk_capture_stop(), TVK_OK);
    std::printf("kept\n");
    EXPECT_EQ(original(), "kept\n");
}

TEST_F(Capture, RefusesASecondCaptureAStopWithoutOneAndAnUnwritableFile) {
    EXPECT_EQ(tvk_capture_stop(), TVK_E_STATE);
    EXPECT_EQ(tvk_capture_to_file(nullptr, 0), TVK_E_ARG);
    EXPECT_EQ(tvk_capture_to_callback(nullptr, nullptr), TVK_E_ARG);
    ASSERT_EQ(tvk_capture_discard(), TVK_OK);
    std::vector<std::string> lines;
    EXPECT_EQ(tvk_capture_to_callback(collect, &lines), TVK_E_BUSY);
    EXPECT_EQ(tvk_capture_discard(), TVK_E_BUSY);
    EXPECT_EQ(tvk_capture_pump(), TVK_OK); // nothing to deliver without a callback
    EXPECT_EQ(tvk_capture_stop(), TVK_OK);
    std::printf("back\n");
    EXPECT_EQ(original(), "back\n");
}

#ifndef _WIN32
// A file the capture cannot write: refused at the start when it cannot be
// opened, at the stop (TVK_E_IO) when the text could not be written; the message names
// the path and the system's reason, and descriptor 1 is back either way.
TEST_F(Capture, FileErrorsNameThePathAndTheReason) {
    const std::string missing = testing::TempDir() + "no_such_dir/x.txt";
    const std::string directory = testing::TempDir();
    const struct {
        const char *what;
        std::string path;
        int start;
        const char *reason;
    } cases[] = {
        {"missing folder", missing, TVK_E_IO, "No such file or directory"},
        {"directory", directory, TVK_E_IO, "Is a directory"},
        {"full device", "/dev/full", TVK_OK, "No space left on device"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const int started = tvk_capture_to_file(c.path.c_str(), 0);
        EXPECT_EQ(started, c.start);
        std::printf("lost\n");
        if (started == TVK_OK) {
            EXPECT_EQ(tvk_capture_stop(), TVK_E_IO);
        }
        const std::string message = tvk_errmsg();
        EXPECT_NE(message.find("'" + c.path + "'"), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(tvk_capture_active(), 0);
    }
    std::printf("back\n");
    EXPECT_EQ(original(), "lost\nlost\nback\n");
}

// With descriptor 1 closed there is nothing to capture: the kit must not
// take descriptor 1 for its own file (the host's next open would land there).
TEST_F(Capture, AClosedStandardOutputIsRefusedAndLeftClosed) {
    std::fflush(stdout);
    const int kept = dup(1);
    ASSERT_GE(kept, 0);
    close(1);
    const std::string path = testing::TempDir() + "tvk_capture_closed.txt";
    const int result = tvk_capture_to_file(path.c_str(), 0);
    const bool stillClosed = fcntl(1, F_GETFD) == -1;
    if (result == TVK_OK) {
        tvk_capture_stop();
    }
    dup2(kept, 1);
    close(kept);
    std::remove(path.c_str());
    EXPECT_EQ(result, TVK_E_IO);
    EXPECT_TRUE(stillClosed);
    EXPECT_NE(std::string(tvk_errmsg()).find("descriptor 1"), std::string::npos) << tvk_errmsg();
    std::printf("back\n");
    EXPECT_EQ(original(), "back\n");
}
#endif

} // namespace
