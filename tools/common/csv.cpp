#include "csv.h"

#include <sstream>

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

} // namespace tvltools
