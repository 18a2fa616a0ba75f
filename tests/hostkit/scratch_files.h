// Files the kit's tests write and read back in folders of their own.
#ifndef TAVREL_TESTS_HOSTKIT_SCRATCH_FILES_H
#define TAVREL_TESTS_HOSTKIT_SCRATCH_FILES_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tvktest {

// The whole file, or "" when it cannot be read.
inline std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh, empty folder under the test's scratch folder.
inline std::string freshFolder(const std::string &name) {
    const std::string folder = testing::TempDir() + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace tvktest

#endif
