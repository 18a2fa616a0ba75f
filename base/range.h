// The index check every table access goes through.
#ifndef TAVREL_BASE_RANGE_H
#define TAVREL_BASE_RANGE_H

// True when iVal indexes an array of iCount elements; negative values fail.
inline bool TvlInRange(int iVal, int iCount) {
    return static_cast<unsigned>(iVal) < static_cast<unsigned>(iCount);
}

#endif
