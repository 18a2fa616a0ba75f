// The output rule on its own: streaming, failures that stay, and names that
// lead to one file.
#include "hostkit/scratch_files.h"
#include "output/output.h"
#include "tavrel_hostkit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

using tvktest::readFile;

std::string freshFolder(const std::string &name) {
    return tvktest::freshFolder("output_" + name);
}

TEST(Output, StreamsArriveWholeAtCommitAndNotBefore) {
    const std::string path = freshFolder("stream") + "/out.txt";
    std::ofstream(path) << "old";
    tvk::Output output;
    ASSERT_EQ(output.open(path), TVK_OK);
    std::string expected;
    for (int chunk = 0; chunk < 5; ++chunk) {
        const std::string text(50000, static_cast<char>('a' + chunk));
        ASSERT_EQ(output.write(text), TVK_OK);
        expected += text;
    }
    EXPECT_EQ(readFile(path), "old");
    ASSERT_EQ(output.commit(), TVK_OK);
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()),
                            fs::directory_iterator{}),
              1);
}

TEST(Output, AbandonedLeavesTheFileAsItWas) {
    const std::string path = freshFolder("abandon") + "/out.txt";
    std::ofstream(path) << "old";
    {
        tvk::Output output;
        ASSERT_EQ(output.open(path), TVK_OK);
        ASSERT_EQ(output.write(std::string(100000, 'x')), TVK_OK);
    }
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()),
                            fs::directory_iterator{}),
              1);
}

#ifndef _WIN32
// The full device, symbolic links and device identities are POSIX's.

TEST(Output, AFailedWriteStaysFailedThroughCommit) {
    tvk::Output output;
    ASSERT_EQ(output.open("/dev/full"), TVK_OK);
    EXPECT_EQ(output.write("line\n"), TVK_E_IO);
    EXPECT_EQ(output.why(), "No space left on device");
    EXPECT_EQ(output.write("more\n"), TVK_E_IO);
    EXPECT_EQ(output.commit(), TVK_E_IO);
}

struct ClashCase {
    const char *what;
    const char *a;
    const char *b;
    bool clash;
};

TEST(Output, NamesOfOneFileClashWhenOneIsRewrittenWhole) {
    const std::string folder = freshFolder("clash");
    std::ofstream(folder + "/file") << "x";
    std::ofstream(folder + "/other") << "y";
    fs::create_symlink("file", folder + "/link");
    fs::create_hard_link(folder + "/file", folder + "/hard");
    fs::create_directory(folder + "/sub");
    const ClashCase cases[] = {
        {"one new name twice", "new", "./sub/../new", true},
        {"a link and its file", "link", "file", true},
        {"a hard link and its file", "hard", "file", true},
        {"two files", "file", "other", false},
        {"a new name and an existing file", "new", "file", false},
        {"the null device twice", "/dev/null", "/dev/null", false},
    };
    for (const ClashCase &c : cases) {
        SCOPED_TRACE(c.what);
        const auto place = [&folder](const char *name) {
            return name[0] == '/' ? std::string(name) : folder + "/" + name;
        };
        EXPECT_EQ(tvk::clashes(tvk::identify(place(c.a)), tvk::identify(place(c.b))), c.clash);
    }
}

#endif

} // namespace
