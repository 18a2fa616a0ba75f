#include "output_file.h"

#include "cli.h"
#include "tavrel_hostkit.h"

#include <utility>

namespace tvltools {

OutputFile::OutputFile(std::string path, std::string option)
    : path_(std::move(path)), option_(std::move(option)) {
    if (output_.open(path_) != TVK_OK) {
        fail();
    }
}

void OutputFile::write(const std::string &text) {
    if (output_.write(text) != TVK_OK) {
        fail();
    }
}

void OutputFile::commit() {
    if (output_.commit() != TVK_OK) {
        fail();
    }
}

void OutputFile::fail() const {
    throw UsageError(option_ + ": " + quoted(path_) + ": " + output_.why());
}

void refuseClashes(const std::vector<const OutputFile *> &outputs,
                   const std::vector<std::string> &inputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i] == nullptr) {
            continue;
        }
        for (const std::string &input : inputs) {
            if (tvk::clashes(outputs[i]->identity(), tvk::identify(input))) {
                throw UsageError(outputs[i]->option() + ": " + quoted(input) +
                                 " is also the input");
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (outputs[j] != nullptr &&
                tvk::clashes(outputs[i]->identity(), outputs[j]->identity())) {
                throw UsageError(outputs[i]->option() + " and " + outputs[j]->option() +
                                 " name one file");
            }
        }
    }
}

} // namespace tvltools
