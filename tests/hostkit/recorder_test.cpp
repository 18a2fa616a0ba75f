// The recorder's file: the trace columns, one row per step, complete or
// absent, through the output rule; values that read back exactly; handles
// that cannot reach another recorder.
#include "hostkit/scratch_files.h"
#include "tavrel_hostkit.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

using tvktest::readFile;

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

bool exists(const std::string &path) {
    return std::ifstream(path).good();
}

std::string freshFolder(const std::string &name) {
    return tvktest::freshFolder("recorder_" + name);
}

std::vector<std::string> folderEntries(const std::string &folder) {
    std::vector<std::string> entries;
    for (const auto &entry : fs::directory_iterator(folder)) {
        entries.push_back(entry.path().filename().string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
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
    const std::string path = freshFolder("rows") + "/trace.csv";
    TVK_Recorder *recorder = nullptr;
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 1, 3, &recorder), TVK_OK);
    EXPECT_FALSE(exists(path)); // appears only when complete
    TVK_StepReport step = seenStep();
    ASSERT_EQ(tvk_recorder_write(recorder, 12.25, &step, 1), TVK_OK);
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

    const std::vector<std::string> lines = split(readFile(path), '\n');
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], "step,time_s,model,action,x,y,valid,dx,dy,area,status,task,command,reset,"
                        "act,m0_amp,m0_fre,m0_pha,m0_mode,m1_amp,m1_fre,m1_pha,m1_mode,m2_amp,"
                        "m2_fre,m2_pha,m2_mode,m3_amp,m3_fre,m3_pha,m3_mode,run_ms");
    EXPECT_EQ(lines[1], "4,12.25,1,3,100.25,75.5,1,8,0,8,1,4,,1,"
                        "3,40,64,0,0,0,0,0,0,0,0,0,0,0,0,0,0,300");
    EXPECT_EQ(lines[2], "5,13,1,3,0,0,0,0,0,,2 3,7,2,0,,,,,,,,,,,,,,,,,,");
    EXPECT_EQ(folderEntries(fs::path(path).parent_path().string()),
              std::vector<std::string>{"trace.csv"});
}

// ------------------------------------------------------------------ outputs

#ifndef _WIN32
// FIFOs, device nodes and modes are POSIX's.

// Opens, writes one row and closes: the first result that was not TVK_OK.
int recordOneRow(const std::string &path) {
    TVK_Recorder *recorder = nullptr;
    int result = tvk_recorder_open(path.c_str(), 0, 0, &recorder);
    if (result != TVK_OK) {
        return result;
    }
    const TVK_StepReport step = seenStep();
    result = tvk_recorder_write(recorder, 1.0, &step, 0);
    const int closed = tvk_recorder_close(recorder);
    return result != TVK_OK ? result : closed;
}

// What a case puts at the recorder's path before it opens.
struct OutputCase {
    const char *what;
    const char *name; // the recorder's path in the case's folder
    std::function<bool(const std::string &folder, const std::string &path)> place;
    int result; // of open, write and close together
    std::function<void(const std::string &folder, const std::string &path)> check;
};

// Reads a FIFO on a thread until every writer closed it.
class FifoReader {
  public:
    explicit FifoReader(const std::string &path)
        : readFd_(open(path.c_str(), O_RDONLY | O_NONBLOCK)) {
        fcntl(readFd_, F_SETFL, fcntl(readFd_, F_GETFL) & ~O_NONBLOCK);
    }
    FifoReader(const FifoReader &) = delete;
    FifoReader &operator=(const FifoReader &) = delete;
    ~FifoReader() {
        close(readFd_);
    }
    // What a writer that has already closed left in the FIFO.
    std::string drain() {
        fcntl(readFd_, F_SETFL, fcntl(readFd_, F_GETFL) | O_NONBLOCK);
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = read(readFd_, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

  private:
    int readFd_;
};

mode_t modeOf(const std::string &path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode;
}

TEST(RecorderOutputs, EachKindOfPathIsWrittenTheWayItWorks) {
    std::unique_ptr<FifoReader> fifo;
    const OutputCase cases[] = {
        {"a device (the full one) is written in place and its error reported", "t.csv",
         [](const std::string &, const std::string &path) {
             return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
         },
         TVK_E_IO,
         [](const std::string &, const std::string &path) {
             EXPECT_TRUE(S_ISCHR(modeOf(path))) << "the device was replaced";
             EXPECT_NE(std::strstr(tvk_errmsg(), "No space left on device"), nullptr)
                 << tvk_errmsg();
         }},
        {"a FIFO is written in place", "t.csv",
         [&fifo](const std::string &, const std::string &path) {
             if (mkfifo(path.c_str(), 0600) != 0) {
                 return false;
             }
             fifo = std::make_unique<FifoReader>(path);
             return true;
         },
         TVK_OK,
         [&fifo](const std::string &, const std::string &path) {
             EXPECT_TRUE(S_ISFIFO(modeOf(path))) << "the FIFO was replaced";
             EXPECT_EQ(fifo->drain().compare(0, 12, "step,time_s,"), 0);
         }},
        {"a file keeps its mode", "t.csv",
         [](const std::string &, const std::string &path) {
             std::ofstream(path) << "old";
             return chmod(path.c_str(), 0640) == 0;
         },
         TVK_OK,
         [](const std::string &, const std::string &path) {
             EXPECT_EQ(modeOf(path) & 07777, 0640U);
             EXPECT_EQ(readFile(path).compare(0, 12, "step,time_s,"), 0);
         }},
        {"a link planted at a predictable side name is not followed", "t.csv",
         [](const std::string &folder, const std::string &path) {
             std::ofstream(folder + "/victim") << "keep me";
             fs::create_symlink("victim", path + ".part");
             return true;
         },
         TVK_OK,
         [](const std::string &folder, const std::string &path) {
             EXPECT_EQ(readFile(folder + "/victim"), "keep me");
             EXPECT_EQ(readFile(path).compare(0, 12, "step,time_s,"), 0);
         }},
        {"a link is followed to its file and stays", "t.csv",
         [](const std::string &folder, const std::string &path) {
             std::ofstream(folder + "/target") << "old";
             fs::create_symlink("target", path);
             return true;
         },
         TVK_OK,
         [](const std::string &folder, const std::string &path) {
             EXPECT_TRUE(fs::is_symlink(path));
             EXPECT_EQ(readFile(folder + "/target").compare(0, 12, "step,time_s,"), 0);
         }},
        {"a folder that does not exist is named with the system's reason", "none/t.csv",
         [](const std::string &, const std::string &) { return true; }, TVK_E_IO,
         [](const std::string &folder, const std::string &) {
             EXPECT_EQ(std::string(tvk_errmsg()), "tvk_recorder_open: path '" + folder +
                                                      "/none/t.csv': No such file or directory");
         }},
    };
    int index = 0;
    for (const OutputCase &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = freshFolder("outputs" + std::to_string(index++));
        const std::string path = folder + "/" + c.name;
        if (!c.place(folder, path)) {
            std::printf("skipped: %s (%s)\n", c.what, std::strerror(errno));
            continue;
        }
        // What the folder holds afterwards: what was there, and the trace.
        std::vector<std::string> expected = folderEntries(folder);
        const std::string written = fs::path(c.name).filename().string();
        if (!fs::path(c.name).has_parent_path() &&
            std::find(expected.begin(), expected.end(), written) == expected.end()) {
            expected.push_back(written);
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(recordOneRow(path), c.result);
        c.check(folder, path);
        EXPECT_EQ(folderEntries(folder), expected) << "files left behind or missing";
        fifo.reset();
    }
}

// A write blocked on a full FIFO holds its recorder: a call from another
// thread is refused meanwhile, and the recorder serves again afterwards.
TEST(RecorderOutputs, ACallWhileAnotherThreadWritesIsRefused) {
    const std::string path = freshFolder("threads") + "/fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int readFd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    TVK_Recorder *recorder = nullptr;
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::thread writer([&] {
        const TVK_StepReport step = seenStep();
        for (double time = 0.0; !stop; time += 1.0) {
            tvk_recorder_write(recorder, time, &step, 0);
        }
        finished = true;
    });
    // A refused time writes nothing, so this thread never blocks itself.
    const TVK_StepReport step = seenStep();
    int result = TVK_E_ARG;
    for (int attempt = 0; attempt < 1000000 && result != TVK_E_THREAD; ++attempt) {
        result = tvk_recorder_write(recorder, std::nan(""), &step, 0);
    }
    EXPECT_EQ(result, TVK_E_THREAD);
    stop = true;
    char buffer[4096];
    while (!finished) {
        read(readFd, buffer, sizeof buffer);
    }
    writer.join();
    EXPECT_EQ(tvk_recorder_close(recorder), TVK_OK);
    close(readFd);
}

#endif

TEST(RecorderOutputs, AbandonedOrRefusedLeavesNothing) {
    const std::string folder = freshFolder("abandoned");
    const std::string path = folder + "/t.csv";
    TVK_Recorder *recorder = nullptr;
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
    const TVK_StepReport step = seenStep();
    ASSERT_EQ(tvk_recorder_write(recorder, 0.0, &step, 0), TVK_OK);
    tvk_recorder_abandon(recorder);
    EXPECT_TRUE(folderEntries(folder).empty());

    EXPECT_EQ(tvk_recorder_open(path.c_str(), 0, 11, &recorder), TVK_E_ARG);
    EXPECT_EQ(tvk_recorder_open("", 0, 0, &recorder), TVK_E_ARG);
    EXPECT_EQ(tvk_recorder_open(path.c_str(), 0, 0, nullptr), TVK_E_ARG);
    ASSERT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
    EXPECT_EQ(tvk_recorder_write(recorder, 0.0, nullptr, 0), TVK_E_ARG);
    tvk_recorder_abandon(recorder);
    EXPECT_TRUE(folderEntries(folder).empty());
}

TEST(RecorderOutputs, AStaleHandleReachesNoOtherRecorder) {
    const std::string folder = freshFolder("stale");
    TVK_Recorder *closed = nullptr;
    ASSERT_EQ(tvk_recorder_open((folder + "/a.csv").c_str(), 0, 0, &closed), TVK_OK);
    ASSERT_EQ(tvk_recorder_close(closed), TVK_OK);
    TVK_Recorder *live = nullptr;
    ASSERT_EQ(tvk_recorder_open((folder + "/b.csv").c_str(), 0, 0, &live), TVK_OK);

    const TVK_StepReport step = seenStep();
    tvk_recorder_abandon(closed); // nothing to do
    EXPECT_EQ(tvk_recorder_write(closed, 1.0, &step, 0), TVK_E_HANDLE);
    EXPECT_EQ(tvk_recorder_close(closed), TVK_E_HANDLE);
    EXPECT_EQ(tvk_recorder_write(live, 1.0, &step, 0), TVK_OK);
    EXPECT_EQ(tvk_recorder_close(live), TVK_OK);
    EXPECT_EQ(split(readFile(folder + "/b.csv"), '\n').size(), 2U);
}

// ------------------------------------------------------------------- values

// Field `column` of the one row the recorder wrote for a step at x.
std::string writtenField(double time, float x, std::size_t column) {
    const std::string path = freshFolder("values") + "/t.csv";
    TVK_Recorder *recorder = nullptr;
    EXPECT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
    TVK_StepReport step = seenStep();
    step.x = x;
    EXPECT_EQ(tvk_recorder_write(recorder, time, &step, 0), TVK_OK);
    EXPECT_EQ(tvk_recorder_close(recorder), TVK_OK);
    const std::vector<std::string> lines = split(readFile(path), '\n');
    return lines.size() == 2 ? split(lines[1], ',').at(column) : "";
}

struct ExactValue {
    const char *what;
    double time;
    float x;
};

TEST(RecorderValues, PositionsAndTimesReadBackExactly) {
    const ExactValue cases[] = {
        {"a camera's two decimals", 0.1, 12.34F},
        {"finer than two decimals", 12.3456789, 0.001F},
        {"the largest float", 1e-7, FLT_MAX},
        {"the most negative float", 9.2e9, -FLT_MAX},
        {"a subnormal float", 86400.000001, 1e-40F},
    };
    for (const ExactValue &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string time = writtenField(c.time, c.x, 1);
        const std::string x = writtenField(c.time, c.x, 4);
        EXPECT_EQ(std::strtod(time.c_str(), nullptr), c.time) << time;
        EXPECT_EQ(std::strtof(x.c_str(), nullptr), c.x) << x;
        EXPECT_LE(x.size(), 16U) << "not the shortest text";
    }
}

struct RefusedValue {
    const char *what;
    double time;
    float x;
    const char *message; // part of tvk_errmsg()
};

TEST(RecorderValues, NonFiniteNegativeDecreasingOrUnreplayableValuesAreRefused) {
    const RefusedValue cases[] = {
        {"an infinite time", HUGE_VAL, 1.0F, "time_s inf is not finite"},
        {"a time that is not a number", std::nan(""), 1.0F, "is not finite"},
        {"a negative time", -1.0, 1.0F, "time_s -1 is negative"},
        {"a time before the last one", 5.0, 1.0F, "time_s 5 is before the previous row's"},
        {"a time beyond the replay's range", 1e300, 1.0F, "time_s 1e+300 is out of range"},
        {"a time just past the range", 9223372036.855, 1.0F, "is out of range"},
        {"an infinite position", 7.0, HUGE_VALF, "step x inf is not finite"},
    };
    for (const RefusedValue &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = freshFolder("refused") + "/t.csv";
        TVK_Recorder *recorder = nullptr;
        ASSERT_EQ(tvk_recorder_open(path.c_str(), 0, 0, &recorder), TVK_OK);
        TVK_StepReport step = seenStep();
        ASSERT_EQ(tvk_recorder_write(recorder, 6.0, &step, 0), TVK_OK);
        step.x = c.x;
        EXPECT_EQ(tvk_recorder_write(recorder, c.time, &step, 0), TVK_E_ARG);
        EXPECT_NE(std::strstr(tvk_errmsg(), c.message), nullptr) << tvk_errmsg();
        ASSERT_EQ(tvk_recorder_close(recorder), TVK_OK);
        EXPECT_EQ(split(readFile(path), '\n').size(), 2U) << "the refused row was written";
    }
}

} // namespace
