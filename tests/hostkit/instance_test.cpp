// Instances: private copies of the library and the kit in one process. Two
// feeders tuned at once on two instances in two threads give the traces
// they give alone; what one instance does (an init, parameters, a command,
// a capture) reaches no other and not the process's own copy; past the
// loader's limit an open is refused with TVK_E_LIMIT; an instance's object
// refuses a second thread while a call on it runs.
//
// This program links the shared kit, so the process's own copy is the kit a
// host links and the instances load the kit beside it. It runs on Linux and
// on Windows (under Wine in the cross build); what differs is said in the
// first lines below: the limit's message and the capture, which an instance
// on Windows cannot have (one C runtime, one standard output).
#include "tavrel_hostkit.h"

#include "scratch_files.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>

#include <filesystem>
#include <fstream>
#else
#include <sys/stat.h>
#endif

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

#ifdef _WIN32
// The kit's own limit.
constexpr const char *kLimitHint = "at most 16 instances";
#else
// The loader's limit, and the tunable that raises it.
constexpr const char *kLimitHint = "glibc.rtld.nns";
#endif

struct Feeder {
    int model;
    int action;
    std::uint64_t seed;
};

// Four feeders of different models and actions.
const Feeder kFeeders[] = {{0, 2, 11}, {1, 5, 12}, {2, 8, 13}, {0, 9, 14}};

class Instance {
  public:
    Instance() {
        const int opened = tvk_instance_open(nullptr, &handle_);
        EXPECT_EQ(opened, TVK_OK) << tvk_errmsg();
        api_.size = sizeof api_;
        EXPECT_EQ(tvk_instance_api(handle_, &api_), TVK_OK) << tvk_errmsg();
    }
    ~Instance() {
        EXPECT_EQ(tvk_instance_close(handle_), TVK_OK) << tvk_errmsg();
    }
    Instance(const Instance &) = delete;
    Instance &operator=(const Instance &) = delete;
    const TVK_Api &api() const {
        return api_;
    }
    TVK_Instance *handle() const {
        return handle_;
    }

  private:
    TVK_Instance *handle_ = nullptr;
    TVK_Api api_{};
};

TVK_Api ownApi() {
    TVK_Api api{};
    api.size = sizeof api;
    EXPECT_EQ(tvk_instance_api(nullptr, &api), TVK_OK);
    return api;
}

// A session of one feeder on a table, step by step.
class Tuning {
  public:
    Tuning(const TVK_Api &api, const Feeder &feeder) : api_(api) {
        const auto model = static_cast<std::uint64_t>(feeder.model);
        EXPECT_EQ(api.sim_create(feeder.model, nullptr, api.sim_mix_seed(feeder.seed, model, 0),
                                 api.sim_mix_seed(feeder.seed, model, feeder.action + 1), &sim_),
                  TVK_OK)
            << api.errmsg();
        float width = 0.0F;
        float height = 0.0F;
        api.sim_platform(feeder.model, &width, &height);
        api.start_point(feeder.model, feeder.action, width, height, &startX_, &startY_);
        api.sim_place(sim_, startX_, startY_);
        TVK_SessionConfig config;
        api.session_config_init_sized(&config, sizeof config, feeder.model, feeder.action);
        config.max_steps = 800;
        config.camera = api.sim_camera_cb;
        config.feeder = api.sim_feeder_cb;
        config.user = sim_;
        EXPECT_EQ(api.session_start(&config, &session_), TVK_OK) << api.errmsg();
    }
    ~Tuning() {
        api_.session_end(session_);
        api_.sim_destroy(sim_);
    }
    Tuning(const Tuning &) = delete;
    Tuning &operator=(const Tuning &) = delete;

    // One step; false once the outcome is decided or the kit refused.
    bool step() {
        TVK_StepReport report{};
        report.size = sizeof report;
        if (api_.session_step(session_, &report) != TVK_OK) {
            trace_.push_back(std::string("refused: ") + api_.errmsg());
            return false;
        }
        if ((report.events & TVK_EV_ARRIVED) != 0) {
            api_.sim_place(sim_, startX_, startY_);
        }
        std::string row = std::to_string(report.task) + " " + std::to_string(report.x) + " " +
                          std::to_string(report.y) + " " + std::to_string(report.events) + " " +
                          std::to_string(report.outcome) + " " + std::to_string(report.vibrations);
        for (const auto &motor : report.command.u16MotParam) {
            row += " " + std::to_string(motor[0]) + "/" + std::to_string(motor[1]);
        }
        trace_.push_back(row);
        return report.outcome == TVK_RUNNING;
    }
    std::vector<std::string> run() {
        while (step()) {
        }
        return trace_;
    }
    TVK_Session *session() const {
        return session_;
    }

  private:
    const TVK_Api &api_;
    TVK_SimFeeder *sim_ = nullptr;
    TVK_Session *session_ = nullptr;
    float startX_ = 0.0F;
    float startY_ = 0.0F;
    std::vector<std::string> trace_;
};

std::vector<std::string> tuneAlone(const Feeder &feeder) {
    const Instance instance;
    return Tuning(instance.api(), feeder).run();
}

TEST(Instances, FeedersTunedAtOnceInThreadsGiveTheTracesTheyGiveAlone) {
    std::vector<std::vector<std::string>> alone;
    for (const Feeder &feeder : kFeeders) {
        alone.push_back(tuneAlone(feeder));
        ASSERT_GT(alone.back().size(), 10U);
    }
    // The process's own copy is the same library.
    const TVK_Api own = ownApi();
    EXPECT_EQ(Tuning(own, kFeeders[0]).run(), alone[0]);

    std::vector<std::vector<std::string>> together(std::size(kFeeders));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < std::size(kFeeders); ++i) {
        threads.emplace_back([&, i] { together[i] = tuneAlone(kFeeders[i]); });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < std::size(kFeeders); ++i) {
        EXPECT_EQ(together[i], alone[i]) << "feeder " << i;
    }
}

TEST(Instances, WhatOneInstanceDoesReachesNoOther) {
    const std::vector<std::string> alone = tuneAlone(kFeeders[1]);
    const Instance watched;
    const Instance other;
    const TVK_Api own = ownApi();
    Tuning tuning(watched.api(), kFeeders[1]);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(tuning.step());
    }
    // Each copy holds a session of its own at once (no TVK_E_BUSY).
    const Tuning inProcess(own, kFeeders[2]);
    const ST_HostLogicParam ownBefore = TVLLogicParamRe();
    {
        // An init, a parameter change and a command in another instance,
        // between the watched one's steps.
        Tuning elsewhere(other.api(), kFeeders[0]);
        const ST_HostLogicParam params = {0, 100, 900, 120, 260, 150, 0};
        EXPECT_EQ(other.api().session_set_params(elsewhere.session(), &params), TVK_OK)
            << other.api().errmsg();
        EXPECT_EQ(other.api().session_command(elsewhere.session(), TVL_CMD_RESTART), TVK_OK);
        EXPECT_TRUE(elsewhere.step());
        EXPECT_EQ(other.api().session_command(elsewhere.session(), TVL_CMD_END), TVK_OK);
    }
    const ST_HostLogicParam ownAfter = TVLLogicParamRe();
    EXPECT_EQ(ownAfter.u16AmpMax, ownBefore.u16AmpMax);
    EXPECT_EQ(ownAfter.u16FreMax, ownBefore.u16FreMax);
    EXPECT_EQ(tuning.run(), alone);
}

// The lines a callback capture delivered.
void collectLine(void *user, const char *line, int32_t) {
    static_cast<std::vector<std::string> *>(user)->push_back(line);
}

bool holds(const std::vector<std::string> &lines, const std::string &text) {
    for (const std::string &line : lines) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

#ifdef _WIN32

TEST(Instances, OnWindowsAnInstancesTextIsForTheProcessToCapture) {
    const Instance instance;
    std::vector<std::string> lines;
    const std::string path = tvktest::freshFolder("instance_capture") + "/refused.txt";
    EXPECT_EQ(instance.api().capture_to_file(path.c_str(), 0), TVK_E_PLATFORM);
    EXPECT_NE(std::string(instance.api().errmsg()).find("process's standard output"),
              std::string::npos)
        << instance.api().errmsg();
    EXPECT_EQ(instance.api().capture_to_callback(collectLine, &lines), TVK_E_PLATFORM);
    EXPECT_EQ(instance.api().capture_discard(), TVK_E_PLATFORM);
    EXPECT_EQ(instance.api().capture_active(), 0);
    EXPECT_EQ(instance.api().capture_stop(), TVK_E_STATE);

    std::vector<std::string> process;
    ASSERT_EQ(tvk_capture_to_callback(collectLine, &process), TVK_OK) << tvk_errmsg();
    Tuning(instance.api(), {1, 4, 1}).run();
    ASSERT_EQ(tvk_capture_stop(), TVK_OK) << tvk_errmsg();
    EXPECT_TRUE(holds(process, "FedMod = 1"));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(tvktest::readFile(path).empty());
}

namespace fs = std::filesystem;

// The files in the folders of copies of the process with that id.
std::vector<fs::path> copiesOf(const std::string &process) {
    std::vector<fs::path> files;
    for (const fs::directory_entry &folder : fs::directory_iterator(fs::temp_directory_path())) {
        if (folder.path().filename().string().rfind("tavrel-instances-" + process + "-", 0) == 0) {
            for (const fs::directory_entry &file : fs::directory_iterator(folder.path())) {
                files.push_back(file.path());
            }
        }
    }
    return files;
}

TEST(Instances, OnWindowsTheCopiesGoWithTheirInstanceAndAnEndedProcesssAtTheNextOpen) {
    // What a killed process left: no process has that id.
    const fs::path left = fs::temp_directory_path() / "tavrel-instances-4000000000-0";
    fs::create_directories(left);
    std::ofstream(left / "tavrel-4000000000-0.dll") << "left behind";
    const std::string self = std::to_string(_getpid());
    {
        const Instance instance;
        EXPECT_FALSE(fs::exists(left));
        // The kit's copy and the library's, under names of their own.
        const std::vector<fs::path> copies = copiesOf(self);
        ASSERT_EQ(copies.size(), 2U);
        for (const fs::path &copy : copies) {
            EXPECT_NE(copy.filename().string().find("-" + self + "-"), std::string::npos) << copy;
        }
    }
    EXPECT_TRUE(copiesOf(self).empty());
}

#else

ino_t stdoutInode() {
    struct stat status {};
    EXPECT_EQ(fstat(1, &status), 0);
    return status.st_ino;
}

TEST(Instances, EachCapturesItsOwnTextWithoutTouchingDescriptorOne) {
    const std::string folder = tvktest::freshFolder("instance_capture");
    const std::string path = folder + "/model1.txt";
    const Instance toCallback;
    const Instance toFile;
    const Instance quiet;
    // The process's capture moves descriptor 1: it takes the text of every
    // instance that has no capture of its own, and only that.
    std::vector<std::string> process;
    ASSERT_EQ(tvk_capture_to_callback(collectLine, &process), TVK_OK) << tvk_errmsg();
    const ino_t processTarget = stdoutInode();

    std::vector<std::string> lines;
    ASSERT_EQ(toCallback.api().capture_to_callback(collectLine, &lines), TVK_OK)
        << toCallback.api().errmsg();
    ASSERT_EQ(toFile.api().capture_to_file(path.c_str(), 0), TVK_OK) << toFile.api().errmsg();
    ASSERT_EQ(quiet.api().capture_discard(), TVK_OK);
    EXPECT_EQ(toCallback.api().capture_discard(), TVK_E_BUSY);
    EXPECT_EQ(stdoutInode(), processTarget);

    Tuning(toCallback.api(), {0, 2, 1}).run();
    Tuning(toFile.api(), {1, 4, 1}).run();
    Tuning(quiet.api(), {2, 2, 1}).run();
    EXPECT_EQ(toCallback.api().capture_stop(), TVK_OK);
    EXPECT_EQ(toFile.api().capture_stop(), TVK_OK) << toFile.api().errmsg();
    EXPECT_EQ(quiet.api().capture_stop(), TVK_OK);
    EXPECT_EQ(toCallback.api().capture_active(), 0);
    EXPECT_EQ(stdoutInode(), processTarget);
    {
        // Its text reaches descriptor 1 from its own buffer, at the latest
        // when it closes.
        const Instance uncaptured;
        Tuning(uncaptured.api(), {1, 4, 1}).run();
    }
    ASSERT_EQ(tvk_capture_stop(), TVK_OK);

    EXPECT_TRUE(holds(lines, "FedMod = 0"));
    EXPECT_FALSE(holds(lines, "FedMod = 1"));
    const std::string file = tvktest::readFile(path);
    EXPECT_NE(file.find("FedMod = 1"), std::string::npos);
    EXPECT_EQ(file.find("FedMod = 0"), std::string::npos);
    for (const char *other : {"FedMod = 0", "FedMod = 2"}) {
        EXPECT_FALSE(holds(process, other)) << other;
    }
    // The uncaptured instance's text, once: none of the file's.
    std::vector<std::string> fileLines;
    for (std::size_t start = 0, end = 0; (end = file.find('\n', start)) != std::string::npos;
         start = end + 1) {
        fileLines.push_back(file.substr(start, end - start));
    }
    EXPECT_EQ(process, fileLines);
}

#endif

TEST(Instances, PastTheLoadersLimitAnOpenIsRefusedWithItsCode) {
    const std::vector<std::string> alone = tuneAlone(kFeeders[0]);
    std::vector<TVK_Instance *> open;
    int refused = TVK_OK;
    while (open.size() < 20) {
        TVK_Instance *instance = nullptr;
        refused = tvk_instance_open(nullptr, &instance);
        if (refused != TVK_OK) {
            EXPECT_EQ(instance, nullptr);
            break;
        }
        open.push_back(instance);
    }
    EXPECT_EQ(refused, TVK_E_LIMIT);
    EXPECT_NE(std::string(tvk_errmsg()).find(kLimitHint), std::string::npos) << tvk_errmsg();
    ASSERT_GE(open.size(), 8U);

    // A closed instance's namespace serves the next open, with the library
    // and the kit fresh: the session left running there is gone, and the
    // new instance's handles are new in the process.
    TVK_Api last{};
    last.size = sizeof last;
    ASSERT_EQ(tvk_instance_api(open.back(), &last), TVK_OK);
    TVK_SimFeeder *sim = nullptr;
    ASSERT_EQ(last.sim_create(0, nullptr, 1, 2, &sim), TVK_OK);
    TVK_SessionConfig config;
    last.session_config_init_sized(&config, sizeof config, 0, 2);
    config.camera = last.sim_camera_cb;
    config.feeder = last.sim_feeder_cb;
    config.user = sim;
    TVK_Session *left = nullptr;
    ASSERT_EQ(last.session_start(&config, &left), TVK_OK);
    ASSERT_EQ(tvk_instance_close(open.back()), TVK_OK);
    EXPECT_EQ(tvk_instance_api(open.back(), &last), TVK_E_HANDLE);
    ASSERT_EQ(tvk_instance_open(nullptr, &open.back()), TVK_OK) << tvk_errmsg();
    ASSERT_EQ(tvk_instance_api(open.back(), &last), TVK_OK);
    EXPECT_EQ(Tuning(last, kFeeders[0]).run(), alone);
    EXPECT_EQ(last.session_end(left), TVK_E_HANDLE);
    for (TVK_Instance *instance : open) {
        EXPECT_EQ(tvk_instance_close(instance), TVK_OK);
    }
}

std::atomic<bool> g_inside{false};
std::atomic<bool> g_release{false};
TVK_CameraFn g_instanceCamera = nullptr;

// The instance's simulated camera, once the test lets the step go on.
int heldCamera(void *user, float *x, float *y) {
    g_inside.store(true);
    while (!g_release.load()) {
        std::this_thread::yield();
    }
    return g_instanceCamera(user, x, y);
}

TEST(Instances, AnInstancesObjectRefusesASecondThreadWhileOtherInstancesRun) {
    const Instance held;
    const Instance free;
    TVK_SimFeeder *sim = nullptr;
    ASSERT_EQ(held.api().sim_create(0, nullptr, 1, 2, &sim), TVK_OK);
    TVK_SessionConfig config;
    held.api().session_config_init_sized(&config, sizeof config, 0, 2);
    g_instanceCamera = held.api().sim_camera_cb;
    config.camera = heldCamera;
    config.feeder = held.api().sim_feeder_cb;
    config.user = sim;
    TVK_Session *session = nullptr;
    ASSERT_EQ(held.api().session_start(&config, &session), TVK_OK);

    std::thread stepping([&] {
        TVK_StepReport report{};
        report.size = sizeof report;
        held.api().session_step(session, &report);
    });
    while (!g_inside.load()) {
        std::this_thread::yield();
    }
    TVK_StepReport report{};
    report.size = sizeof report;
    EXPECT_EQ(held.api().session_step(session, &report), TVK_E_THREAD);
    EXPECT_NE(std::string(held.api().errmsg()).find("another thread"), std::string::npos);
    EXPECT_EQ(held.api().session_end(session), TVK_E_THREAD);
    // Another instance runs meanwhile.
    EXPECT_GT(Tuning(free.api(), kFeeders[1]).run().size(), 20U);
    g_release.store(true);
    stepping.join();
    EXPECT_EQ(held.api().session_end(session), TVK_OK);
    held.api().sim_destroy(sim);
}

TEST(Instances, RefusalsOfOpenTableAndClose) {
    TVK_Instance *instance = nullptr;
    EXPECT_EQ(tvk_instance_open(nullptr, nullptr), TVK_E_ARG);
    EXPECT_EQ(tvk_instance_open("/nonexistent/libtavrel_hostkit.so.1", &instance), TVK_E_IO);
    EXPECT_NE(std::string(tvk_errmsg()).find("/nonexistent/"), std::string::npos);
    // The library alone is no kit.
    EXPECT_EQ(tvk_instance_open(TAVREL_TEST_LIBRARY, &instance), TVK_E_IO);
    EXPECT_NE(std::string(tvk_errmsg()).find("is not a host kit"), std::string::npos);
    EXPECT_EQ(instance, nullptr);
    EXPECT_EQ(tvk_instance_close(nullptr), TVK_OK);

    TVK_Api api{};
    api.size = 8;
    EXPECT_EQ(tvk_instance_api(nullptr, &api), TVK_E_SIZE);
    const Instance one;
    const Instance two;
    // A handle of one instance is none of another's, nor of the process's.
    TVK_SimFeeder *sim = nullptr;
    ASSERT_EQ(one.api().sim_create(0, nullptr, 1, 2, &sim), TVK_OK);
    EXPECT_EQ(two.api().sim_place(sim, 1.0F, 1.0F), TVK_E_HANDLE);
    EXPECT_EQ(tvk_sim_place(sim, 1.0F, 1.0F), TVK_E_HANDLE);
    EXPECT_EQ(one.api().sim_place(sim, 1.0F, 1.0F), TVK_OK);
    void *symbol = nullptr;
    EXPECT_EQ(tvk_instance_symbol(one.handle(), "tvk_sim_place", &symbol), TVK_OK);
    EXPECT_EQ(symbol, reinterpret_cast<void *>(one.api().sim_place));
    EXPECT_NE(symbol, reinterpret_cast<void *>(&tvk_sim_place));
    EXPECT_EQ(tvk_instance_symbol(one.handle(), "no_such_symbol", &symbol), TVK_E_ARG);
    one.api().sim_destroy(sim);
}

} // namespace
