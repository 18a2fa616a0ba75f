#include "trace_columns.h"

#include "trace_values.h"

#include <cstdio>
#include <cstdlib>

namespace tvk {

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

std::vector<std::string> makeTraceColumns() {
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

const std::vector<std::string> &traceColumns() {
    static const std::vector<std::string> columns = makeTraceColumns();
    return columns;
}

std::string traceHeader() {
    std::string line;
    for (const std::string &column : traceColumns()) {
        line += (line.empty() ? "" : ",") + column;
    }
    return line + "\n";
}

std::string traceRow(int model, int action, const std::string &timeText, const TVK_StepReport &step,
                     bool reset) {
    const bool seen = step.seen != 0;
    const int statuses = step.status_count < TVK_STATUS_MAX ? step.status_count : TVK_STATUS_MAX;
    std::string line = std::to_string(step.step) + "," + timeText + "," + std::to_string(model) +
                       "," + std::to_string(action) + ",";
    // A step without a sighting has no position, displacement or area.
    line += seen ? exactText(step.x) + "," + exactText(step.y) + ",1," + exactText(step.dx) + "," +
                       exactText(step.dy) + "," + std::to_string(step.area)
                 : std::string("0,0,0,0,0,");
    line += "," + statusField(step.status, statuses) + "," + std::to_string(step.task) + ",";
    line += step.host_command >= 0 ? std::to_string(step.host_command) : "";
    line += std::string(",") + (reset ? "1" : "0") + ",";
    line += commandFields(step.commanded != 0 ? &step.command : nullptr);
    return line + "\n";
}

std::string commandFields(const ST_HostFedColC *command) {
    if (command == nullptr) {
        return std::string(commandColumns().size() - 1, ',');
    }
    std::string fields = std::to_string(command->enAct);
    // motor is already a reference to a const array of words.
    // cppcheck-suppress constVariable
    for (const auto &motor : command->u16MotParam) {
        for (const unsigned short word : motor) {
            fields += "," + std::to_string(word);
        }
    }
    return fields + "," + std::to_string(command->u16RunTim);
}

std::string statusField(const int32_t *statuses, int count) {
    std::string field;
    for (int i = 0; i < count; ++i) {
        field += (i == 0 ? "" : " ") + std::to_string(statuses[i]);
    }
    return field;
}

std::string positionField(float value) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
    return text;
}

float cameraValue(double value) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.2f", value);
    return std::strtof(text, nullptr);
}

std::string timeField(std::int64_t nanoseconds) {
    char text[48];
    (void)std::snprintf(text, sizeof text, "%.6f", static_cast<double>(nanoseconds) / 1e9);
    return text;
}

} // namespace tvk
