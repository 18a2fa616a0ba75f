// tavrel-sim and tavrel-replay run as a user runs them, each in its own
// process on the shared library.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

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

// Runs a program; `tag` names the files that catch its output.
Outcome run(const std::string &program, const std::string &args, const std::string &tag) {
    const std::string outPath = tag + ".out";
    const std::string errPath = tag + ".err";
    std::string command = "\"" + program + "\" " + args + " >" + outPath + " 2>" + errPath;
#ifdef _WIN32
    command = "\"" + command + "\"";
#endif
    const int status = std::system(command.c_str());
    Outcome outcome;
#ifdef _WIN32
    outcome.exitCode = status;
#else
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    outcome.out = readFile(outPath);
    outcome.err = readFile(errPath);
    return outcome;
}

Outcome sim(const std::string &args, const std::string &tag) {
    return run(TAVREL_SIM_EXE, args + " --log " + tag + ".log", tag);
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
        {"friction above any drive", "--friction 100000"},
        {"resonance far from every window", "--resonance 200 --width 2"},
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

struct BadInput {
    const char *what;
    const char *content; // nullptr: the file does not exist
    const char *args;
    const char *expected; // part of the one-line error
};

TEST(ReplayEndToEnd, BadInputGivesOneLineErrorAndNoOutput) {
    const BadInput cases[] = {
        {"missing file", nullptr, "", "bad.csv: cannot open"},
        {"malformed row", "x,y,valid\n1,2,1\n1,2\n", "--model 0 --action 0",
         "bad.csv:3: expected 3 fields"},
        {"not a number", "x,y,valid\n1,2,1\n1,up,1\n", "--model 0 --action 0", "bad.csv:3: y"},
        {"unknown column", "x,y,valid,speed\n1,2,1,3\n", "--model 0 --action 0",
         "bad.csv:1: unknown column 'speed'"},
        {"model out of range", "x,y,valid,model,action\n1,2,1,0,0\n1,2,1,3,0\n", "",
         "bad.csv:3: model"},
        {"action out of range", "x,y,valid,model,action\n1,2,1,0,11\n", "", "bad.csv:2: action"},
        {"command out of range", "x,y,valid,command\n1,2,1,7\n", "--model 0 --action 0",
         "bad.csv:2: command"},
        {"no action anywhere", "x,y,valid\n1,2,1\n", "--model 0", "bad.csv: no action"},
    };
    for (const BadInput &c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("bad.csv");
        std::remove("bad_out.csv");
        if (c.content != nullptr) {
            std::ofstream("bad.csv", std::ios::binary) << c.content;
        }
        const Outcome outcome =
            run(TAVREL_REPLAY_EXE, std::string(c.args) + " bad.csv bad_out.csv", "bad");
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find(c.expected), std::string::npos) << outcome.err;
        EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
        EXPECT_FALSE(exists("bad_out.csv"));
        EXPECT_FALSE(exists("bad_out.csv.part"));
    }
}

TEST(SimEndToEnd, BadOptionsGiveOneLineErrors) {
    const char *cases[] = {"--model 3", "--action twelve", "--seed",
                           "--fleet 0", "--colour red",    "--action all --trace t.csv",
                           "--gain -1"};
    for (const char *args : cases) {
        SCOPED_TRACE(args);
        const Outcome outcome = sim(args, "bad_option");
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(lines(outcome.err).size(), 1U) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    }
}

} // namespace
