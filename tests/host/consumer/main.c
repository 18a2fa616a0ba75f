#include <tavrel.h>

static ST_HostMateInf NoSample(void) {
    ST_HostMateInf stNone = {0.0f, 0.0f, 0};
    return stNone;
}

int main(void) {
    if (TVLInit(NoSample, 0, 0, 1, 3) != 1) {
        return 1;
    }
    return TVLTask() == TVL_TASK_ADJ ? 0 : 1;
}
