// Runs inputs of the API fuzz target without libFuzzer or sanitizers: for
// valgrind, which sees reads of uninitialised memory the sanitizers do not,
// and for replaying the seeds in the ordinary test run. Arguments are input
// files or directories of them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pu8Data, std::size_t uSize);

namespace {

void Replay(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> data{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(data.data()), data.size());
}

} // namespace

int main(int argc, char **argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int iCount = 0;
    for (int arg = 1; arg < argc; ++arg) {
        const std::filesystem::path path(argv[arg]);
        if (std::filesystem::is_directory(path)) {
            for (const auto &entry : std::filesystem::directory_iterator(path)) {
                Replay(entry.path());
                ++iCount;
            }
        } else {
            Replay(path);
            ++iCount;
        }
    }
    fprintf(stderr, "%d inputs replayed, every check held\n", iCount);
    return iCount > 0 ? 0 : 1;
}
