#include "trace_format.h"

#include <cstdio>
#include <cstdlib>

namespace tvltools {

namespace {

std::vector<std::string> makeCommandColumns() {
    std::vector<std::string> columns{"act"};
    for (int motor = 0; motor < 4; ++motor) {
        for (const char *word : {"amp", "fre", "pha", "mode"}) {
            columns.push_back("m" + std::to_string(motor) + "_" + word);
        }
    }
    columns.emplace_back("run_ms");
    return columns;
}

std::vector<std::string> makeSimTraceColumns() {
    std::vector<std::string> columns{"step",   "time_s", "model",   "action", "x",
                                     "y",      "valid",  "dx",      "dy",     "area",
                                     "status", "task",   "command", "reset"};
    for (const std::string &column : commandColumns()) {
        columns.push_back(column);
    }
    return columns;
}

} // namespace

const std::vector<std::string> &commandColumns() {
    static const std::vector<std::string> columns = makeCommandColumns();
    return columns;
}

const std::vector<std::string> &simTraceColumns() {
    static const std::vector<std::string> columns = makeSimTraceColumns();
    return columns;
}

std::string commandFields(const ST_HostFedColC *command) {
    if (command == nullptr) {
        return std::string(commandColumns().size() - 1, ',');
    }
    std::string fields = std::to_string(command->enAct);
    for (const auto &motor : command->u16MotParam) {
        for (const unsigned short word : motor) {
            fields += "," + std::to_string(word);
        }
    }
    return fields + "," + std::to_string(command->u16RunTim);
}

std::string statusField(const std::vector<int> &statuses) {
    std::string field;
    for (const int status : statuses) {
        field += (field.empty() ? "" : " ") + std::to_string(status);
    }
    return field;
}

std::string positionField(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
    return text;
}

float cameraValue(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return std::strtof(text, nullptr);
}

} // namespace tvltools
