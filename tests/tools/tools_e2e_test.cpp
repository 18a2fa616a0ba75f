// tavrel-sim and tavrel-replay run as a user runs them, each in its own
// process on the shared library, started without a shell.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string &path) {
    return std::ifstream(path).good();
}

std::vector<std::string> folderEntries(const std::string &folder) {
    std::vector<std::string> entries;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        entries.push_back(entry.path().filename().string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> words(const std::string &text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

// How a program is started beyond its arguments.
struct Launch {
    std::vector<std::string> env;     // added to the environment
    bool closedStdout = false;        // started with descriptor 1 closed
    long fileSizeLimit = 0;           // bytes any file it writes may reach (a full disk); 0: none
    int signal = 0;                   // sent once its standard output shows it runs
    const char *stdoutPath = nullptr; // descriptor 1 on this file, not on the catch file
};

// Sends `signal` to the child once it wrote to `outPath`.
void signalWhenRunning(pid_t child, int signal, const std::string &outPath) {
    for (int wait = 0; wait < 3000 && readFile(outPath).empty(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, signal);
}

// Runs a program with exactly these arguments, no shell; `tag` names the
// files that catch its output.
Outcome runArgs(const std::string &program, const std::vector<std::string> &args,
                const std::string &tag, const Launch &launch = {}) {
    const std::string outPath = tag + ".out";
    const std::string errPath = tag + ".err";
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : argStore) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStore(launch.env);
    for (char **entry = environ; *entry != nullptr; ++entry) {
        envStore.emplace_back(*entry);
    }
    std::vector<char *> envp;
    for (std::string &entry : envStore) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::remove(outPath.c_str());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (launch.closedStdout) {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_addopen(
            &actions, 1, launch.stdoutPath != nullptr ? launch.stdoutPath : outPath.c_str(),
            O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // The child inherits the limit and an ignored SIGXFSZ, so a write past
    // the limit fails with EFBIG as a full disk fails with ENOSPC.
    rlimit kept{};
    getrlimit(RLIMIT_FSIZE, &kept);
    rlimit limited = kept;
    if (launch.fileSizeLimit > 0) {
        limited.rlim_cur = static_cast<rlim_t>(launch.fileSizeLimit);
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    if (launch.fileSizeLimit > 0) {
        setrlimit(RLIMIT_FSIZE, &kept);
        signal(SIGXFSZ, SIG_DFL);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0 && launch.signal != 0) {
        signalWhenRunning(child, launch.signal, outPath);
    }
    Outcome outcome;
    int status = 0;
    if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        outcome.exitCode = WEXITSTATUS(status);
    }
    outcome.out = readFile(outPath);
    outcome.err = readFile(errPath);
    return outcome;
}

Outcome run(const std::string &program, const std::string &args, const std::string &tag) {
    return runArgs(program, words(args), tag);
}

// Where instances cannot load, every fleet runs in the process's own copy.
#ifdef TAVREL_NO_INSTANCES
constexpr const char *kFleetJobs = "1";
constexpr const char *kJobs = " --jobs 1";
#else
constexpr const char *kFleetJobs = "2";
constexpr const char *kJobs = "";
#endif

Outcome sim(const std::string &args, const std::string &tag) {
    return run(TAVREL_SIM_EXE, args + kJobs + " --log " + tag + ".log", tag);
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

std::vector<std::string> fields(const std::string &line) {
    std::vector<std::string> result;
    std::istringstream in(line + ",");
    for (std::string field; std::getline(in, field, ',');) {
        result.push_back(field);
    }
    return result;
}

// A CSV file as rows of column name to field.
using Row = std::map<std::string, std::string>;
std::vector<Row> readCsv(const std::string &path) {
    const std::vector<std::string> all = lines(readFile(path));
    std::vector<Row> rows;
    if (all.empty()) {
        return rows;
    }
    const std::vector<std::string> names = fields(all[0]);
    for (std::size_t i = 1; i < all.size(); ++i) {
        const std::vector<std::string> values = fields(all[i]);
        Row row;
        for (std::size_t c = 0; c < names.size() && c < values.size(); ++c) {
            row[names[c]] = values[c];
        }
        rows.push_back(row);
    }
    return rows;
}

// Table rows of the sim: every line after the header, split on blanks.
std::vector<std::vector<std::string>> tableRows(const std::string &out) {
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::string> all = lines(out);
    for (std::size_t i = 1; i < all.size(); ++i) {
        std::istringstream in(all[i]);
        std::vector<std::string> words;
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        rows.push_back(words);
    }
    return rows;
}

TEST(SimEndToEnd, DefaultFeederTunesEveryActionOfEveryModel) {
    const Outcome outcome = sim("--model all --action all --max-steps 600", "tune_all");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.out << outcome.err;
    const auto rows = tableRows(outcome.out);
    ASSERT_EQ(rows.size(), 33U) << outcome.out;
    for (const auto &row : rows) {
        ASSERT_GE(row.size(), 3U);
        EXPECT_EQ(row[2], "tuned") << "model " << row[0] << " action " << row[1];
    }
    EXPECT_EQ(outcome.err, "");
}

// The fleet on instances in threads gives the statistics of the process's own
// copy byte for byte, whatever copy ran which feeder; only the wall time in
// the last line differs. With two feeders per action the median is one
// feeder's figure and the 90th percentile the other's, so every feeder shows;
// twelve give a fleet with feeders that fail.
TEST(SimEndToEnd, FleetStatisticsAreTheSameForEveryNumberOfJobs) {
#ifdef TAVREL_NO_INSTANCES
    GTEST_SKIP() << "no instances under a sanitizer runtime";
#endif
    const auto statistics = [](const Outcome &outcome) {
        const std::size_t last = outcome.out.rfind('\n', outcome.out.size() - 2);
        return outcome.out.substr(0, last);
    };
    for (const char *fleet : {"2", "12"}) {
        const std::string args = std::string("--model all --action all --fleet ") + fleet;
        const Outcome one = sim(args + " --jobs 1", "jobs_1");
        ASSERT_EQ(one.err, "");
        ASSERT_NE(one.out.find("not tuned: "), std::string::npos) << one.out;
        for (const char *jobs : {"2", "3"}) {
            SCOPED_TRACE(args + " --jobs " + jobs);
            const Outcome many = sim(args + " --jobs " + jobs, std::string("jobs_") + jobs);
            EXPECT_EQ(many.exitCode, one.exitCode);
            EXPECT_EQ(many.err, "");
            EXPECT_EQ(statistics(many), statistics(one));
        }
    }
    const Outcome failing = sim("--model all --action all --fleet 12 --jobs 2", "jobs_2");
    EXPECT_EQ(failing.out.find("not tuned: 0 of"), std::string::npos) << "a fleet with failures";
}

TEST(SimEndToEnd, TunedSessionVerifiesSucceedsAndEnds) {
    const Outcome outcome = sim("--model 2 --action 6 --trace verify.csv", "verify");
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::vector<Row> rows = readCsv("verify.csv");
    ASSERT_GE(rows.size(), 3U);
    // Host commands in order: verify after each status 3, then restart or
    // success after each status 6; the last one is success.
    std::string answers;
    for (const Row &row : rows) {
        if (row.at("status") == "3") {
            EXPECT_EQ(row.at("command"), "2");
        }
        if (row.at("status") == "6") {
            EXPECT_TRUE(row.at("command") == "1" || row.at("command") == "3");
        }
        answers += row.at("command");
    }
    EXPECT_EQ(answers.back(), '3');
    EXPECT_EQ(rows.back().at("task"), "8");
}

struct FailingFeeder {
    const char *what;
    const char *overrides;
};

TEST(SimEndToEnd, FeederOutsideTheWorkableRangeFailsCleanly) {
    const FailingFeeder cases[] = {
        {"friction no plate acceleration beats, on a plate that does not lift",
         "--friction 50 --lift 0"},
        {"a stiff plate far below its resonance, with weak coils",
         "--resonance 400 --width 2 --gain 0.05"},
    };
    for (const FailingFeeder &c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome =
            sim(std::string("--model 0 --action 0 --max-steps 200 ") + c.overrides, "fail");
        EXPECT_EQ(outcome.exitCode, 1);
        const auto rows = tableRows(outcome.out);
        ASSERT_EQ(rows.size(), 1U) << outcome.out;
        EXPECT_EQ(rows[0].at(2), "failed");
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(SimEndToEnd, SameSeedGivesTheSameTrace) {
    // Tuned or not, a session is the same again; 2 would be a usage error.
    const std::string common = "--model 0 --action 8 --max-steps 300 --trace ";
    ASSERT_LE(sim(common + "seed_a.csv --seed 5", "seed_a").exitCode, 1);
    ASSERT_LE(sim(common + "seed_b.csv --seed 5", "seed_b").exitCode, 1);
    ASSERT_LE(sim(common + "seed_c.csv --seed 6", "seed_c").exitCode, 1);
    const std::string first = readFile("seed_a.csv");
    EXPECT_GT(first.size(), 1000U);
    EXPECT_EQ(first, readFile("seed_b.csv"));
    EXPECT_NE(first, readFile("seed_c.csv"));
}

// What the library did at each step: statuses, task state, feeder command.
std::vector<std::string> libraryColumns() {
    std::vector<std::string> columns{"status", "task", "command", "act", "run_ms"};
    for (int motor = 0; motor < 4; ++motor) {
        for (const char *word : {"amp", "fre", "pha", "mode"}) {
            columns.push_back("m" + std::to_string(motor) + "_" + word);
        }
    }
    return columns;
}

TEST(ReplayEndToEnd, SimTraceReplaysToTheSameCommands) {
    const char *sessions[] = {"--model 0 --action 8", "--model 1 --action 1",
                              "--model 2 --action 10 --seed 3"};
    for (const char *session : sessions) {
        SCOPED_TRACE(session);
        ASSERT_EQ(sim(std::string(session) + " --trace replay_in.csv", "replay_sim").exitCode, 0);
        const Outcome replay = run(TAVREL_REPLAY_EXE, "replay_in.csv replay_out.csv", "replay_run");
        ASSERT_EQ(replay.exitCode, 0) << replay.err;
        EXPECT_EQ(replay.out, "");
        const std::vector<Row> recorded = readCsv("replay_in.csv");
        const std::vector<Row> replayed = readCsv("replay_out.csv");
        ASSERT_EQ(recorded.size(), replayed.size());
        for (std::size_t step = 0; step < recorded.size(); ++step) {
            for (const std::string &column : libraryColumns()) {
                ASSERT_EQ(recorded[step].at(column), replayed[step].at(column))
                    << "step " << step << ", column " << column;
            }
        }
    }
}

// Steps (counted from 0) at which the library declared the part vanished,
// from its diagnostic text: each step prints one banner first.
std::vector<int> vanishSteps(const std::string &log) {
    std::vector<int> steps;
    int step = -1;
    for (const std::string &line : lines(log)) {
        if (line.find("***Task Run***") != std::string::npos) {
            ++step;
        } else if (line.find("Mate Vanish") != std::string::npos) {
            steps.push_back(step);
        }
    }
    return steps;
}

// A field recording: five sightings 100 ms apart, then the camera loses the
// part for 16 s, polled once a second. The first sighting only primes the
// library's sample ring, so its step has no sample; the library declares a
// timeout there (more than 5000 ms after its clock's zero), then at the
// first blind polls more than 5000 ms after the previous timeout. Replayed
// at any pace, the library must see the recorded times, not the replay's.
TEST(ReplayEndToEnd, RecordingWithCameraGapsReplaysExactlyAtAnyPace) {
    std::ofstream recording("gaps.csv", std::ios::binary);
    recording << "time_s,x,y,valid\n";
    for (int i = 0; i < 5; ++i) {
        recording << 100.0 + 0.1 * i << "," << 95 + 8 * i << ",77.5,1\n";
    }
    for (int i = 0; i < 17; ++i) {
        recording << 100.5 + i << ",0,0,0\n";
    }
    recording.close();
    std::vector<std::string> outputs;
    for (const char *pace : {"0", "40"}) {
        SCOPED_TRACE(std::string("pace ") + pace);
        const Outcome replay = run(TAVREL_REPLAY_EXE,
                                   std::string("--model 0 --action 0 --log gaps.log --pace-ms ") +
                                       pace + " gaps.csv gaps_out.csv",
                                   "gaps_run");
        ASSERT_EQ(replay.exitCode, 0) << replay.err;
        EXPECT_EQ(vanishSteps(readFile("gaps.log")), (std::vector<int>{0, 10, 16}));
        outputs.push_back(readFile("gaps_out.csv") + readFile("gaps.log"));
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}

// The host's end command ends the session: later rows are left, and said so.
TEST(ReplayEndToEnd, TheReplayEndsWhereTheSessionEnds) {
    std::ofstream("ended.csv") << "x,y,valid,command\n95,77,1,\n95,77,1,0\n95,77,1,\n95,77,1,\n";
    const Outcome outcome =
        run(TAVREL_REPLAY_EXE, "--model 0 --action 0 ended.csv ended_out.csv", "ended");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(readCsv("ended_out.csv").size(), 2U);
    EXPECT_NE(outcome.err.find("the session ended at step 1 (ended by the host); the rows after "
                               "it are not replayed"),
              std::string::npos)
        << outcome.err;
}

struct BadInput {
    const char *what;
    std::optional<std::string> content; // none: the file does not exist
    const char *args;
    const char *expected; // part of the one-line error
};

TEST(ReplayValues, BadInputGivesOneLineErrorAndNoOutput) {
    const BadInput cases[] = {
        {"missing file", std::nullopt, "", "bad.csv: cannot open"},
        {"malformed row", "x,y,valid\n1,2,1\n1,2\n", "--model 0 --action 0",
         "bad.csv:3: expected 3 fields"},
        {"not a number", "x,y,valid\n1,2,1\n1,up,1\n", "--model 0 --action 0",
         "bad.csv:3: column 'y': 'up' is not a number"},
        {"a NUL byte in a number", std::string("x,y,valid\n1\0garbage,2,1\n", 24),
         "--model 0 --action 0", "bad.csv:2: column 'x': '1\\x00garbage' is not a number"},
        {"a quote left open", "x,y,valid\n\"1,2,1\n", "--model 0 --action 0",
         "bad.csv:2: a quote is not closed"},
        {"unknown column", "x,y,valid,speed\n1,2,1,3\n", "--model 0 --action 0",
         "bad.csv:1: unknown column 'speed'"},
        {"model out of range", "x,y,valid,model,action\n1,2,1,0,0\n1,2,1,3,0\n", "",
         "bad.csv:3: column 'model': '3' is not a whole number from 0 to 2"},
        {"action out of range", "x,y,valid,model,action\n1,2,1,0,11\n", "",
         "bad.csv:2: column 'action'"},
        {"command out of range", "x,y,valid,command\n1,2,1,7\n", "--model 0 --action 0",
         "bad.csv:2: column 'command'"},
        {"no action anywhere", "x,y,valid\n1,2,1\n", "--model 0", "bad.csv: no action"},
        {"time going back", "x,y,valid,time_s\n1,2,1,5.0\n1,2,1,4.9\n", "--model 0 --action 0",
         "bad.csv:3: time_s goes back"},
        {"time in some rows only", "x,y,valid,time_s\n1,2,1,5.0\n1,2,1,\n", "--model 0 --action 0",
         "bad.csv:3: time_s is missing"},
        {"a time past the clock's range", "x,y,valid,time_s\n1,2,1,9300000000\n",
         "--model 0 --action 0",
         "bad.csv:2: column 'time_s': '9300000000' is out of range (0 to 9223372036.854775807 s)"},
        {"a time far past the clock's range", "x,y,valid,time_s\n1,2,1,1\n1,2,1,1e11\n",
         "--model 0 --action 0", "bad.csv:3: column 'time_s': '1e11' is out of range"},
        {"a negative time", "x,y,valid,time_s\n1,2,1,-1\n", "--model 0 --action 0",
         "bad.csv:2: column 'time_s': '-1' is negative"},
    };
    for (const BadInput &c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("bad.csv");
        std::remove("bad_out.csv");
        if (c.content) {
            std::ofstream("bad.csv", std::ios::binary) << *c.content;
        }
        const Outcome outcome =
            run(TAVREL_REPLAY_EXE, std::string(c.args) + " bad.csv bad_out.csv", "bad");
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find(c.expected), std::string::npos) << outcome.err;
        EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
        EXPECT_FALSE(exists("bad_out.csv"));
        for (const std::string &entry : folderEntries(".")) {
            EXPECT_NE(entry.rfind(".bad_out.csv", 0), 0U) << "a temporary file left behind";
        }
    }
}

struct GoodInput {
    const char *what;
    std::string content;
    std::vector<std::string> times; // OUT.csv's time_s column
    bool asPlain;                   // the library does what it does with the plain file
};

// Files the reader must take as a plain one: the output is the same.
TEST(ReplayValues, InputsWrittenOtherwiseReplayAsThePlainFile) {
    const std::string plain = "x,y,valid,time_s\n95,77.5,1,0\n103,77.5,1,0.1\n";
    const std::vector<std::string> plainTimes{"0.000000", "0.100000"};
    const GoodInput cases[] = {
        {"the plain file", plain, plainTimes, true},
        {"a byte-order mark", "\xef\xbb\xbf" + plain, plainTimes, true},
        {"quoted numbers and blanks",
         "\"x\", y ,valid,time_s\r\n\"95\", 77.5 ,\"1\",0\r\n 103 ,\"77.5\",1, \"0.1\"\r\n",
         plainTimes, true},
        {"column names in capitals", "X,Y,Valid,TIME_S\n95,77.5,1,0\n103,77.5,1,0.1\n", plainTimes,
         true},
        {"times at the top of the clock's range",
         "x,y,valid,time_s\n95,77.5,1,9200000000\n103,77.5,1,9200000001\n",
         {"9200000000.000000", "9200000001.000000"},
         false},
        {"a subnormal position", "x,y,valid,time_s\n95,1e-40,1,0\n103,77.5,1,0.1\n", plainTimes,
         false},
    };
    std::string plainLibraryColumns;
    for (const GoodInput &c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream("good.csv", std::ios::binary) << c.content;
        const Outcome outcome =
            run(TAVREL_REPLAY_EXE, "--model 0 --action 0 good.csv good_out.csv", "good");
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        if (outcome.exitCode != 0) {
            continue;
        }
        const std::vector<Row> rows = readCsv("good_out.csv");
        std::vector<std::string> times;
        std::string library;
        for (const Row &row : rows) {
            times.push_back(row.at("time_s"));
            for (const std::string &column : libraryColumns()) {
                library += row.at(column) + ",";
            }
        }
        EXPECT_EQ(times, c.times);
        if (plainLibraryColumns.empty()) {
            plainLibraryColumns = library;
        }
        if (c.asPlain) {
            EXPECT_EQ(library, plainLibraryColumns);
        }
    }
}

TEST(SimEndToEnd, BadOptionsGiveOneLineErrors) {
    const char *cases[] = {"--model 3", "--action twelve", "--seed",
                           "--fleet 0", "--colour red",    "--action all --trace t.csv",
                           "--gain -1", "--jobs 0"};
    for (const char *args : cases) {
        SCOPED_TRACE(args);
        const Outcome outcome = sim(args, "bad_option");
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    }
}

// How a case lays out the output name before the run.
enum class Place {
    NewFile,      // a new file of that name
    LinkToFile,   // a symbolic link to an existing file, which must stay a link
    Fifo,         // a FIFO with a reader
    DevStdout,    // the name is /dev/stdout
    Folder,       // the name is a folder: refused
    MissingFolder // inside a folder that does not exist: refused
};

enum class Tool { SimTrace, SimReport, ReplayOut, ReplayIn };

struct NameCase {
    const char *what;
    Tool tool;
    std::string name;
    Place place;
    const char *error; // nullptr: the run succeeds
};

const char kPolls[] = "x,y,valid,model,action\n95,77,1,0,0\n95,77,1,0,0\n140,77,1,0,0\n";

std::vector<std::string> toolArgs(const NameCase &c, const std::string &name,
                                  const std::string &dir) {
    const std::vector<std::string> session{"--model", "0", "--action", "0", "--max-steps", "60"};
    std::vector<std::string> args;
    switch (c.tool) {
    case Tool::SimTrace:
        args = session;
        args.insert(args.end(), {"--trace", name});
        break;
    case Tool::SimReport:
        args = session;
        args.insert(args.end(), {"--report", name});
        break;
    case Tool::ReplayOut:
        args = {dir + "/in.csv", name};
        break;
    case Tool::ReplayIn:
        args = {name, dir + "/out.csv"};
        break;
    }
    return args;
}

// What a written output starts with.
std::string expectedStart(Tool tool) {
    return tool == Tool::SimReport ? "\x89PNG" : "step,";
}

// Reads a FIFO on a thread until the program's writer and its own closed:
// holding a writer of its own, it neither blocks the program's open nor waits
// forever for a program that never opens the FIFO.
class FifoReader {
  public:
    explicit FifoReader(const std::string &path)
        : readFd_(open(path.c_str(), O_RDONLY | O_NONBLOCK)),
          holdFd_(open(path.c_str(), O_WRONLY)) {
        fcntl(readFd_, F_SETFL, fcntl(readFd_, F_GETFL) & ~O_NONBLOCK);
        thread_ = std::thread([this] {
            char buffer[4096];
            for (ssize_t got; (got = read(readFd_, buffer, sizeof buffer)) > 0;) {
                text_.append(buffer, static_cast<std::size_t>(got));
            }
        });
    }
    FifoReader(const FifoReader &) = delete;
    FifoReader &operator=(const FifoReader &) = delete;
    ~FifoReader() {
        if (thread_.joinable()) {
            finish();
        }
    }
    // Call after the program ended.
    std::string finish() {
        close(holdFd_);
        thread_.join();
        close(readFd_);
        return text_;
    }

  private:
    int readFd_;
    int holdFd_;
    std::string text_;
    std::thread thread_;
};

TEST(FileNames, ToolsTakeAnyNameWithoutAShell) {
    const std::string shellBait = "r$(touch INJECTED)`touch INJECTED2`";
    const NameCase cases[] = {
        {"report: command substitution", Tool::SimReport, shellBait + ".png", Place::NewFile,
         nullptr},
        {"report: double quote", Tool::SimReport, "a\"b.png", Place::NewFile, nullptr},
        {"report through a link", Tool::SimReport, "pic.png", Place::LinkToFile, nullptr},
        {"report to standard output", Tool::SimReport, "/dev/stdout", Place::DevStdout, nullptr},
        {"trace: spaces and a newline", Tool::SimTrace, "two words\nline.csv", Place::NewFile,
         nullptr},
        {"trace: dollar and quotes", Tool::SimTrace, "$HOME \"'.csv", Place::NewFile, nullptr},
        {"trace through a link", Tool::SimTrace, "t.csv", Place::LinkToFile, nullptr},
        {"trace into a FIFO", Tool::SimTrace, "fifo", Place::Fifo, nullptr},
        {"trace to standard output", Tool::SimTrace, "/dev/stdout", Place::DevStdout, nullptr},
        {"trace: a folder", Tool::SimTrace, "sub", Place::Folder, "is a directory"},
        {"trace: no such folder", Tool::SimTrace, "none/t.csv", Place::MissingFolder,
         "No such file or directory"},
        {"trace: empty name", Tool::SimTrace, "", Place::NewFile, "empty file name"},
        {"replay output: newline and $", Tool::ReplayOut, "o\n$(id).csv", Place::NewFile, nullptr},
        {"replay output through a link", Tool::ReplayOut, "o.csv", Place::LinkToFile, nullptr},
        {"replay output into a FIFO", Tool::ReplayOut, "fifo", Place::Fifo, nullptr},
        {"replay output to standard output", Tool::ReplayOut, "/dev/stdout", Place::DevStdout,
         nullptr},
        {"replay output: a folder", Tool::ReplayOut, "sub", Place::Folder, "is a directory"},
        {"replay input: a folder", Tool::ReplayIn, "sub", Place::Folder, "sub: is a directory"},
        {"replay input: a newline", Tool::ReplayIn, "in\n.csv", Place::NewFile, nullptr},
    };
    std::remove("INJECTED");
    std::remove("INJECTED2");
    int index = 0;
    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = "names" + std::to_string(index++);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directory(dir);
        const std::string path = dir + "/" + c.name;
        const bool named = c.place != Place::DevStdout;
        const std::string given = named ? path : c.name;
        std::ofstream(dir + "/in.csv") << kPolls;
        if (c.tool == Tool::ReplayIn && c.place == Place::NewFile) {
            std::ofstream(path) << kPolls;
        }
        if (c.place == Place::LinkToFile) {
            std::ofstream(dir + "/target") << "old";
            std::filesystem::create_symlink("target", path);
        }
        if (c.place == Place::Folder) {
            std::filesystem::create_directory(path);
        }
        if (c.place == Place::Fifo) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        std::optional<FifoReader> reader;
        if (c.place == Place::Fifo) {
            reader.emplace(path);
        }
        const bool sim = c.tool == Tool::SimTrace || c.tool == Tool::SimReport;
        const Outcome outcome =
            runArgs(sim ? TAVREL_SIM_EXE : TAVREL_REPLAY_EXE,
                    toolArgs(c, c.name.empty() ? "" : given, dir), dir + ".run");
        const std::string fifoText = reader ? reader->finish() : "";

        EXPECT_FALSE(exists("INJECTED") || exists("INJECTED2") || exists(dir + "/INJECTED"));
        if (c.error != nullptr) {
            EXPECT_EQ(outcome.exitCode, 2);
            EXPECT_NE(outcome.err.find(c.error), std::string::npos) << outcome.err;
            EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
            EXPECT_EQ(outcome.out, "") << "the work started before the name was checked";
            continue;
        }
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        if (outcome.exitCode != 0) {
            continue;
        }
        const std::string start = expectedStart(c.tool);
        std::string written;
        std::vector<std::string> expected{"in.csv"};
        switch (c.place) {
        case Place::NewFile:
            written = readFile(c.tool == Tool::ReplayIn ? dir + "/out.csv" : path);
            expected.push_back(c.tool == Tool::ReplayIn ? "out.csv" : c.name);
            if (c.tool == Tool::ReplayIn) {
                expected.push_back(c.name);
            }
            break;
        case Place::LinkToFile:
            EXPECT_TRUE(std::filesystem::is_symlink(path)) << "the link was replaced";
            written = readFile(dir + "/target");
            expected.insert(expected.end(), {c.name, "target"});
            break;
        case Place::Fifo:
            written = fifoText;
            expected.push_back(c.name);
            break;
        case Place::DevStdout:
            written = outcome.out.substr(std::min(outcome.out.find(start), outcome.out.size()));
            break;
        default:
            break;
        }
        EXPECT_EQ(written.compare(0, start.size(), start), 0) << "wrote: " << written.substr(0, 80);
        EXPECT_GT(written.size(), 100U);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(folderEntries(dir), expected) << "left behind or missing files";
    }
}

struct ReportFailure {
    const char *what;
    std::vector<std::string> env;
    const char *error;
};

TEST(FileNames, ReportFailuresNameTheirCause) {
    std::filesystem::create_directories("fake/matplotlib");
    std::ofstream("fake/matplotlib/__init__.py") << "raise ImportError('no')\n";
    std::ofstream("fake/python") << "#!/bin/sh\necho 'Traceback (most recent call last):' >&2\n"
                                 << "echo 'ValueError: broken trace' >&2\nexit 1\n";
    std::filesystem::permissions("fake/python", std::filesystem::perms::owner_all);
    const std::string fakePython = std::filesystem::absolute("fake/python").string();
    const std::string fakePath = std::filesystem::absolute("fake").string();
    const ReportFailure cases[] = {
        {"no interpreter",
         {"TAVREL_PYTHON=/nonexistent/python3"},
         "cannot run '/nonexistent/python3': No such file or directory"},
        {"no matplotlib", {"PYTHONPATH=" + fakePath}, "has no matplotlib"},
        {"the script's own error",
         {"TAVREL_PYTHON=" + fakePython},
         "the plotting script failed (exit status 1): ValueError: broken trace"},
    };
    for (const ReportFailure &c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("failed.png");
        const Outcome outcome =
            runArgs(TAVREL_SIM_EXE, {"--model", "0", "--action", "0", "--report", "failed.png"},
                    "report_failure", Launch{c.env});
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find(c.error), std::string::npos) << outcome.err;
        EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
        EXPECT_FALSE(exists("failed.png"));
    }
}

TEST(FileNames, ErrorsShowAShortPrintableExcerptOfWhatTheyEcho) {
    const std::string hugeField = std::string("\x01\x1b[31m") + std::string(100000, '7');
    std::ofstream("huge.csv", std::ios::binary) << "x,y,valid\n1," << hugeField << ",1\n";
    const Outcome replay =
        run(TAVREL_REPLAY_EXE, "--model 0 --action 0 huge.csv huge_out.csv", "huge");
    const Outcome option = runArgs(TAVREL_SIM_EXE, {"--model", "\n" + hugeField}, "huge_option");
    for (const Outcome &outcome : {replay, option}) {
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_LT(outcome.err.size(), 400U);
        EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
        EXPECT_NE(outcome.err.find("\\x01\\x1b[31m777"), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find(" bytes)"), std::string::npos) << outcome.err;
    }
}

// ------------------------------------------------------------------ outputs

struct OutputCase {
    const char *what;
    const char *program;
    std::vector<std::string> args;
    Launch launch;
    int exitCode;
    const char *error; // part of standard error; "" for none
    std::function<void(const Outcome &)> check;
};

std::string longRecording() {
    std::string text = "x,y,valid,model,action\n";
    for (int i = 0; i < 400; ++i) {
        text += "95,77,1,0,0\n";
    }
    return text;
}

TEST(ToolOutputs, WriteErrorsSignalsAndClashesEndTheRunCleanly) {
    std::filesystem::remove_all("outputs");
    std::filesystem::create_directory("outputs");
    std::ofstream("outputs/rec.csv") << kPolls;
    std::ofstream("outputs/long.csv") << longRecording();
    const std::vector<std::string> one{"--model", "0", "--action", "0"};
    const auto with = [](std::vector<std::string> args, const std::vector<std::string> &more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const auto absent = [](const std::string &path) {
        return [path](const Outcome &) { EXPECT_FALSE(exists(path)) << path << " was left"; };
    };
    const auto unchanged = [](const std::string &path) {
        return [path](const Outcome &) { EXPECT_EQ(readFile(path), kPolls) << "input changed"; };
    };
    const OutputCase cases[] = {
        {"sim: a log on the full device",
         TAVREL_SIM_EXE,
         with(one, {"--log", "/dev/full"}),
         {},
         2,
         "--log: '/dev/full': No space left on device",
         nullptr},
        {"replay: a log on the full device",
         TAVREL_REPLAY_EXE,
         {"--log", "/dev/full", "outputs/rec.csv", "outputs/out.csv"},
         {},
         2,
         "--log: '/dev/full': No space left on device",
         absent("outputs/out.csv")},
        {"sim: the table on the full device", TAVREL_SIM_EXE, one,
         Launch{{}, false, 0, 0, "/dev/full"}, 2, "tavrel-sim: standard output: ", nullptr},
        {"replay: the version on the full device",
         TAVREL_REPLAY_EXE,
         {"--version"},
         Launch{{}, false, 0, 0, "/dev/full"},
         2,
         "tavrel-replay: standard output: No space left on device",
         nullptr},
        {"sim: a log on a full disk",
         TAVREL_SIM_EXE,
         {"--model", "all", "--action", "all", "--log", "outputs/full.log"},
         Launch{{}, false, 65536},
         2,
         "--log: 'outputs/full.log': File too large",
         absent("outputs/full.log")},
        {"replay: the log is the input",
         TAVREL_REPLAY_EXE,
         {"--log", "outputs/rec.csv", "outputs/rec.csv", "outputs/out.csv"},
         {},
         2,
         "--log: 'outputs/rec.csv' is also the input",
         unchanged("outputs/rec.csv")},
        {"replay: the output is the input",
         TAVREL_REPLAY_EXE,
         {"outputs/rec.csv", "outputs/./rec.csv"},
         {},
         2,
         "OUT.csv: 'outputs/rec.csv' is also the input",
         unchanged("outputs/rec.csv")},
        {"sim: the trace and the log are one file",
         TAVREL_SIM_EXE,
         with(one, {"--trace", "outputs/t.csv", "--log", "outputs/t.csv"}),
         {},
         2,
         "--log and --trace name one file",
         absent("outputs/t.csv")},
        {"sim: a trace to standard error with standard output closed", TAVREL_SIM_EXE,
         with(one, {"--max-steps", "60", "--trace", "/dev/stderr"}), Launch{{}, true}, 0, "step,",
         [](const Outcome &outcome) { EXPECT_EQ(outcome.err.compare(0, 12, "step,time_s,"), 0); }},
        {"sim: interrupted, it keeps the log on whole lines",
         TAVREL_SIM_EXE,
         {"--model", "all", "--action", "all", "--fleet", "100000", "--jobs", kFleetJobs, "--log",
          "outputs/int.log"},
         Launch{{}, false, 0, SIGINT},
         130,
         "",
         [](const Outcome &) {
             const std::string log = readFile("outputs/int.log");
             EXPECT_FALSE(log.empty());
             EXPECT_EQ(log.back(), '\n');
         }},
        {"replay: terminated, it leaves no output",
         TAVREL_REPLAY_EXE,
         {"--verbose", "--pace-ms", "20", "outputs/long.csv", "outputs/long_out.csv"},
         Launch{{}, false, 0, SIGTERM},
         143,
         "",
         absent("outputs/long_out.csv")},
    };
    for (const OutputCase &c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = runArgs(c.program, c.args, "outputs_run", c.launch);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_NE(outcome.err.find(c.error), std::string::npos) << outcome.err;
        if (c.check) {
            c.check(outcome);
        }
        for (const std::string &entry : folderEntries("outputs")) {
            EXPECT_NE(entry[0], '.') << "a temporary file left behind: " << entry;
        }
    }
}

} // namespace
