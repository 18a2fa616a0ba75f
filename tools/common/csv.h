// Plain CSV as the hosts write it: comma-separated, no quoting, a header line.
#ifndef TAVREL_TOOLS_CSV_H
#define TAVREL_TOOLS_CSV_H

#include <string>
#include <vector>

namespace tvltools {

std::vector<std::string> splitCsvLine(const std::string &line);

} // namespace tvltools

#endif
