// Records that grow: every record the kit reads or fills, at the size of
// its first release, at today's size, larger with a zero tail, larger with
// bytes a newer header would have set, and below its first release.
#include "support.h"
#include "tavrel_hostkit.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kGarbage = 0x5A;
constexpr std::size_t kTail = 16;

enum class Size { kFirstRelease, kCurrent, kLargerZero, kLargerGarbage, kTooSmall };

// A caller's record: the bytes beyond its size hold garbage, those beyond
// the kit's record and within its size hold zero or garbage as the case says.
struct Buffer {
    std::vector<unsigned char> bytes;
    std::uint32_t size = 0;
};

Buffer callerRecord(std::size_t current, std::uint32_t firstRelease, Size size,
                    const std::function<void(void *)> &fill) {
    Buffer buffer;
    buffer.bytes.assign(current + kTail, kGarbage);
    std::vector<unsigned char> filled(current, 0);
    fill(filled.data());
    std::memcpy(buffer.bytes.data(), filled.data(), current);
    switch (size) {
    case Size::kFirstRelease:
        buffer.size = firstRelease;
        std::memset(buffer.bytes.data() + firstRelease, kGarbage, current - firstRelease);
        break;
    case Size::kCurrent:
        buffer.size = static_cast<std::uint32_t>(current);
        break;
    case Size::kLargerZero:
        buffer.size = static_cast<std::uint32_t>(current + kTail);
        std::memset(buffer.bytes.data() + current, 0, kTail);
        break;
    case Size::kLargerGarbage:
        buffer.size = static_cast<std::uint32_t>(current + kTail);
        break;
    case Size::kTooSmall:
        buffer.size = firstRelease - 4;
        break;
    }
    std::memcpy(buffer.bytes.data(), &buffer.size, sizeof buffer.size);
    return buffer;
}

struct RecordKind {
    const char *name;
    std::size_t current;
    std::uint32_t firstRelease;
    bool input;                       // read by the kit, else filled by it
    std::function<void(void *)> fill; // a good record's fields (inputs)
    std::function<int(void *)> call;  // the kit call on the record
};

int camera(void *, float *x, float *y) {
    *x = 10.0F;
    *y = 10.0F;
    return 1;
}

int feeder(void *, const ST_HostFedColC *) {
    return 0;
}

void fillConfig(void *record) {
    auto *config = static_cast<TVK_SessionConfig *>(record);
    tvk_session_config_init(config, 0, 0);
    config->camera = camera;
    config->feeder = feeder;
}

int startSession(void *record) {
    TVK_Session *session = nullptr;
    const int result = tvk_session_start(static_cast<TVK_SessionConfig *>(record), &session);
    tvk_session_end(session);
    return result;
}

int stepInto(void *record) {
    TVK_SessionConfig config;
    fillConfig(&config);
    TVK_Session *session = nullptr;
    EXPECT_EQ(tvk_session_start(&config, &session), TVK_OK);
    const int result = tvk_session_step(session, static_cast<TVK_StepReport *>(record));
    tvk_session_end(session);
    return result;
}

void fillRanges(void *record) {
    auto *ranges = static_cast<TVK_SimRanges *>(record);
    ranges->size = sizeof *ranges;
    tvk_sim_default_ranges(0, ranges);
}

int createFrom(void *record) {
    TVK_SimFeeder *sim = nullptr;
    const int result = tvk_sim_create(0, static_cast<TVK_SimRanges *>(record), 1, 2, &sim);
    tvk_sim_destroy(sim);
    return result;
}

int paramsInto(void *record) {
    TVK_SimFeeder *sim = nullptr;
    EXPECT_EQ(tvk_sim_create(0, nullptr, 1, 2, &sim), TVK_OK);
    const int result = tvk_sim_params(sim, static_cast<TVK_SimParams *>(record));
    tvk_sim_destroy(sim);
    return result;
}

void noFill(void *) {}

int probeInto(void *record) {
    TVK_SimFeeder *sim = nullptr;
    tvk_sim_create(0, nullptr, 1, 1, &sim);
    ST_HostFedColC command{};
    command.u16MotParam[2][0] = 40;
    command.u16MotParam[2][1] = 70;
    command.u16RunTim = 300;
    const int result = tvk_sim_probe(sim, &command, static_cast<TVK_SimProbe *>(record));
    tvk_sim_destroy(sim);
    return result;
}

const RecordKind kKinds[] = {
    {"TVK_Geometry", sizeof(TVK_Geometry), sizeof(TVK_Geometry), false, noFill,
     [](void *r) { return tvk_geometry(1, 2, static_cast<TVK_Geometry *>(r)); }},
    {"TVK_SessionConfig", sizeof(TVK_SessionConfig), offsetof(TVK_SessionConfig, answers), true,
     fillConfig, startSession},
    {"TVK_StepReport", sizeof(TVK_StepReport), sizeof(TVK_StepReport), false, noFill, stepInto},
    {"TVK_SimRanges in", sizeof(TVK_SimRanges), offsetof(TVK_SimRanges, kinetic), true, fillRanges,
     createFrom},
    {"TVK_SimRanges out", sizeof(TVK_SimRanges), offsetof(TVK_SimRanges, kinetic), false, noFill,
     [](void *r) { return tvk_sim_default_ranges(0, static_cast<TVK_SimRanges *>(r)); }},
    {"TVK_SimParams", sizeof(TVK_SimParams), offsetof(TVK_SimParams, kinetic), false, noFill,
     paramsInto},
    {"TVK_SimProbe", sizeof(TVK_SimProbe), sizeof(TVK_SimProbe), false, noFill, probeInto},
};

int expectedResult(const RecordKind &kind, Size size) {
    if (size == Size::kTooSmall || (kind.input && size == Size::kLargerGarbage)) {
        return TVK_E_SIZE;
    }
    return TVK_OK;
}

// What a filled record must look like: its size what the kit wrote, nothing
// written beyond the caller's size, the caller's bytes beyond the kit's zero.
void expectWritten(const RecordKind &kind, const Buffer &before, const Buffer &after) {
    std::uint32_t size = 0;
    std::memcpy(&size, after.bytes.data(), sizeof size);
    const std::size_t callerSize = before.size;
    EXPECT_EQ(size, std::min(callerSize, kind.current));
    for (std::size_t i = kind.current; i < callerSize; ++i) {
        EXPECT_EQ(after.bytes[i], 0) << "byte " << i;
    }
    for (std::size_t i = callerSize; i < after.bytes.size(); ++i) {
        ASSERT_EQ(after.bytes[i], kGarbage) << "byte " << i << " beyond the caller's record";
    }
}

class Records : public tvltest::Fresh {};

TEST_F(Records, EveryRecordAtEverySize) {
    const struct {
        const char *name;
        Size size;
    } sizes[] = {{"first release", Size::kFirstRelease},
                 {"current", Size::kCurrent},
                 {"larger, zero tail", Size::kLargerZero},
                 {"larger, garbage tail", Size::kLargerGarbage},
                 {"too small", Size::kTooSmall}};
    for (const RecordKind &kind : kKinds) {
        for (const auto &size : sizes) {
            SCOPED_TRACE(std::string(kind.name) + ", " + size.name);
            const Buffer before =
                callerRecord(kind.current, kind.firstRelease, size.size, kind.fill);
            Buffer after = before;
            const int expected = expectedResult(kind, size.size);
            EXPECT_EQ(kind.call(after.bytes.data()), expected) << tvk_errmsg();
            if (expected == TVK_E_SIZE) {
                EXPECT_NE(std::string(tvk_errmsg()).find("->size"), std::string::npos);
                EXPECT_EQ(after.bytes, before.bytes);
            } else if (!kind.input) {
                expectWritten(kind, before, after);
            }
        }
    }
}

// A caller of the first release has no answers field: whatever lies beyond
// its record, the driver answers for it.
TEST_F(Records, AFirstReleaseConfigGetsTheStandardAnswers) {
    std::vector<unsigned char> bytes(sizeof(TVK_SessionConfig), 0);
    auto *config = reinterpret_cast<TVK_SessionConfig *>(bytes.data());
    fillConfig(config);
    TVK_SimFeeder *sim = nullptr;
    ASSERT_EQ(tvk_sim_create(0, nullptr, 7, 8, &sim), TVK_OK);
    float x = 0.0F;
    float y = 0.0F;
    tvk_start_point(0, 0, 190.0F, 155.0F, &x, &y);
    tvk_sim_place(sim, x, y);
    config->camera = tvk_sim_camera_cb;
    config->feeder = tvk_sim_feeder_cb;
    config->user = sim;
    config->size = offsetof(TVK_SessionConfig, answers);
    config->answers = TVK_ANSWERS_HOST; // beyond its size: not the caller's
    TVK_Session *session = nullptr;
    ASSERT_EQ(tvk_session_start(config, &session), TVK_OK);
    TVK_StepReport report{};
    report.size = sizeof report;
    bool answered = false;
    for (int step = 0; step < 3000 && !answered && report.outcome == TVK_RUNNING; ++step) {
        ASSERT_EQ(tvk_session_step(session, &report), TVK_OK);
        answered = report.host_command >= 0;
        if ((report.events & TVK_EV_ARRIVED) != 0) {
            tvk_sim_place(sim, x, y);
        }
    }
    EXPECT_TRUE(answered);
    tvk_session_end(session);
    tvk_sim_destroy(sim);
}

} // namespace
