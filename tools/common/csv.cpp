#include "csv.h"

#include "cli.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <utility>

namespace tvltools {

std::vector<std::string> splitCsvLine(const std::string &line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) {
        fields.push_back(field);
    }
    // getline drops a trailing empty field.
    if (!line.empty() && line.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

AtomicFile::AtomicFile(std::string path)
    : path_(std::move(path)), tempPath_(path_ + ".part"), out_(tempPath_, std::ios::binary) {
    if (!out_) {
        throw UsageError("cannot write '" + tempPath_ + "'");
    }
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        out_.close();
        std::remove(tempPath_.c_str());
    }
}

void AtomicFile::commit() {
    out_.close();
    std::error_code error;
    if (!out_.fail()) {
        std::filesystem::rename(tempPath_, path_, error);
    }
    if (out_.fail() || error) {
        throw UsageError("cannot write '" + path_ + "'");
    }
    committed_ = true;
}

} // namespace tvltools
