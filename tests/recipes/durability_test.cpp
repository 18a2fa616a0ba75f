// What the store keeps when writers die at any moment, and when several
// processes write at once.
#include "hostkit/scratch_files.h"
#include "tavrel_recipes.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <csignal>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TVR_Recipe numbered(int writer, int n) {
    TVR_Recipe recipe{};
    recipe.size = sizeof recipe;
    std::snprintf(recipe.part, sizeof recipe.part, "part-%d", n);
    std::snprintf(recipe.feeder, sizeof recipe.feeder, "feeder-%d", writer);
    recipe.model = writer % 3;
    recipe.action = n % 11;
    recipe.command.enAct = recipe.action;
    recipe.command.u16MotParam[0][0] = static_cast<unsigned short>(n);
    recipe.outcome = TVK_TUNED;
    recipe.vibrations = n;
    return recipe;
}

// Writes recipes 0.. until killed (count 0) or count of them; reports each
// committed one on fd. Exits 0 when all went in.
[[noreturn]] void writer(const std::string &path, int id, int count, int fd) {
    TVR_Store *store = nullptr;
    if (tvr_open(path.c_str(), &store) != TVR_OK) {
        std::fprintf(stderr, "writer %d: %s\n", id, tvr_errmsg());
        _exit(2);
    }
    for (int n = 0; count == 0 || n < count; ++n) {
        const TVR_Recipe recipe = numbered(id, n);
        if (tvr_recipe_put(store, &recipe) != TVR_OK) {
            std::fprintf(stderr, "writer %d: %s\n", id, tvr_errmsg());
            _exit(3);
        }
        if (fd >= 0 && write(fd, &n, sizeof n) != sizeof n) {
            _exit(4);
        }
    }
    tvr_close(store);
    _exit(0);
}

std::string integrity(const std::string &path) {
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *check = nullptr;
    std::string result = "no answer";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW) {
        result = reinterpret_cast<const char *>(sqlite3_column_text(check, 0));
    }
    sqlite3_finalize(check);
    sqlite3_close(db);
    return result;
}

bool present(TVR_Store *store, int writer, int n) {
    const TVR_Recipe expected = numbered(writer, n);
    TVR_Recipe got{};
    got.size = sizeof got;
    return tvr_recipe_get(store, expected.part, expected.feeder, expected.action, &got) == TVR_OK &&
           got.command.u16MotParam[0][0] == expected.command.u16MotParam[0][0];
}

TEST(RecipeDurability, EveryCommittedRecipeSurvivesAWriterKilledAtAnyMoment) {
    const std::string path = tvktest::freshFolder("recipes_kill/") + "r.db";
    std::mt19937 random(20261210);
    std::set<int> committed;
    for (int round = 0; round < 20; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            writer(path, round, 0, pipeFds[1]);
        }
        close(pipeFds[1]);
        // Killed at a random moment once it writes (however slow the build).
        int n = 0;
        ASSERT_EQ(read(pipeFds[0], &n, sizeof n), static_cast<ssize_t>(sizeof n));
        committed.insert(round * 100000 + n);
        usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "round " << round << " ended by itself";
        while (read(pipeFds[0], &n, sizeof n) == sizeof n) {
            committed.insert(round * 100000 + n);
        }
        close(pipeFds[0]);
        ASSERT_EQ(integrity(path), "ok") << "round " << round;
        TVR_Store *store = nullptr;
        ASSERT_EQ(tvr_open(path.c_str(), &store), TVR_OK) << tvr_errmsg();
        for (const int key : committed) {
            if (key / 100000 == round) {
                ASSERT_TRUE(present(store, round, key % 100000))
                    << "round " << round << " n " << key % 100000;
            }
        }
        tvr_close(store);
    }
    EXPECT_GT(committed.size(), 20U);
}

TEST(RecipeDurability, SeveralProcessesWriteOneStoreAtOnce) {
    const std::string path = tvktest::freshFolder("recipes_many/") + "r.db";
    constexpr int kWriters = 4;
    constexpr int kEach = 60;
    std::vector<pid_t> children;
    for (int id = 0; id < kWriters; ++id) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            writer(path, id, kEach, -1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    EXPECT_EQ(integrity(path), "ok");
    TVR_Store *store = nullptr;
    ASSERT_EQ(tvr_open(path.c_str(), &store), TVR_OK);
    for (int id = 0; id < kWriters; ++id) {
        for (int n = 0; n < kEach; ++n) {
            EXPECT_TRUE(present(store, id, n)) << id << " " << n;
        }
    }
    int rows = 0;
    EXPECT_EQ(tvr_history(
                  store, nullptr, nullptr, -1,
                  [](void *user, const TVR_Tuning *) {
                      ++*static_cast<int *>(user);
                      return 0;
                  },
                  &rows),
              TVR_OK);
    EXPECT_EQ(rows, kWriters * kEach);
    tvr_close(store);
}

} // namespace
