#include <tavrel.h>

#include <stdio.h>
#include <string.h>

static ST_HostMateInf NoSample(void) {
    ST_HostMateInf stNone = {0.0f, 0.0f, 0};
    return stNone;
}

/* Prints the headers' version; fails when the numbers and the string differ. */
static int VersionAgrees(void) {
    char szNumbers[32];
    snprintf(szNumbers, sizeof szNumbers, "%d.%d.%d", TAVREL_VERSION_MAJOR, TAVREL_VERSION_MINOR,
             TAVREL_VERSION_PATCH);
    printf("%s\n", TAVREL_VERSION_STRING);
    return strcmp(szNumbers, TAVREL_VERSION_STRING) == 0;
}

int main(void) {
    if (!VersionAgrees() || TVLInit(NoSample, 0, 0, 1, 3) != 1) {
        return 1;
    }
    return TVLTask() == TVL_TASK_ADJ ? 0 : 1;
}
