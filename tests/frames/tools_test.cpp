// tavrel-calibrate and tavrel-locate on rendered frames written to disk:
// the calibration file and pictures they write, the lines they print, and
// their exit statuses.
#include "frames_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

using namespace tvf_test;

struct Outcome {
    int status;
    std::string out;
};

// Runs command (stderr to stdout) and returns its exit status and output.
Outcome run(const std::string &command) {
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char chunk[512];
    while (pipe != nullptr && std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
        out += chunk;
    }
    const int raw = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

class FramesTools : public Scratch {
  protected:
    void writeScene(const std::string &name, const TVF_Scene &s) const {
        writePgm(name, *render(s));
    }
};

TEST_F(FramesTools, CalibrateThenLocateFramesOfEachKind) {
    TVF_Scene s = scene(1, 0);
    s.orientation = 5;
    s.tilt = 0.2;
    writeScene("empty.pgm", s);
    std::filesystem::create_directories(path("pictures"));
    const Outcome calibrated =
        run(std::string(TAVREL_CALIBRATE) + " --model 1 --orientation 5 --out " + path("cal.yml") +
            " --picture " + path("cal.png") + " " + path("empty.pgm"));
    ASSERT_EQ(calibrated.status, 0) << calibrated.out;
    EXPECT_NE(calibrated.out.find("+X left, +Y down"), std::string::npos) << calibrated.out;
    EXPECT_GT(std::filesystem::file_size(path("cal.png")), 0U);
    TVF_Calibration *loaded = nullptr;
    ASSERT_EQ(tvf_calibration_load(path("cal.yml").c_str(), &loaded), TVF_OK) << tvf_errmsg();
    tvf_calibration_destroy(loaded);

    s.part_count = 1;
    s.part[0] = TVF_Part{100, 70, 25};
    writeScene("one.pgm", s);
    s.part_count = 2;
    s.part[1] = TVF_Part{220, 170, -40};
    writeScene("two.pgm", s);
    const Outcome located = run(std::string(TAVREL_LOCATE) + " --calibration " + path("cal.yml") +
                                " --pictures " + path("pictures") + " " + path("one.pgm") + " " +
                                path("two.pgm") + " " + path("empty.pgm"));
    EXPECT_EQ(located.status, 1) << "not every frame showed one part\n" << located.out;
    std::istringstream lines(located.out);
    std::string name;
    std::string verdict;
    double x = 0;
    double y = 0;
    double angle = 0;
    ASSERT_TRUE(lines >> name >> verdict >> x >> y >> angle) << located.out;
    EXPECT_EQ(verdict, "one");
    EXPECT_NEAR(x, 100, 0.1);
    EXPECT_NEAR(y, 70, 0.1);
    EXPECT_NEAR(angle, 25, 1.5);
    EXPECT_NE(located.out.find("two.pgm several"), std::string::npos) << located.out;
    EXPECT_NE(located.out.find("empty.pgm none"), std::string::npos) << located.out;
    for (const char *picture : {"one.png", "two.png", "empty.png"}) {
        EXPECT_TRUE(std::filesystem::exists(path("pictures") + "/" + picture)) << picture;
    }
}

TEST_F(FramesTools, BadInputIsAClearErrorWithStatusTwo) {
    const struct {
        std::string command;
        std::string says;
    } cases[] = {
        {std::string(TAVREL_LOCATE) + " " + path("missing.pgm"), "missing.pgm"},
        {std::string(TAVREL_LOCATE) + " --calibration " + path("missing.yml") + " x.pgm",
         "missing.yml"},
        {std::string(TAVREL_LOCATE), "no FRAME"},
        {std::string(TAVREL_CALIBRATE) + " --model 3 x.pgm", "--model '3'"},
        {std::string(TAVREL_CALIBRATE) + " --bogus", "--bogus"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        const Outcome r = run(c.command);
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
    }
    for (const char *tool : {TAVREL_CALIBRATE, TAVREL_LOCATE}) {
        const Outcome version = run(std::string(tool) + " --version");
        EXPECT_EQ(version.status, 0);
        EXPECT_NE(version.out.find(tvf_version()), std::string::npos) << version.out;
        EXPECT_EQ(run(std::string(tool) + " --help").status, 0);
    }
}

} // namespace
