// Channel table rows for the query and export tests.
#pragma once

#include "channels/query/ChannelQuery.h"

namespace zorvast::testing {

inline channels::ChannelRecord channel(const char* loca, const char* name, long long freq,
                                       const char* pola, long long sr, const char* ch,
                                       const char* sys, bool free) {
    channels::ChannelRecord r;
    r.loca = loca;
    r.name = name;
    r.freq = freq;
    r.pola = pola;
    r.sr = sr;
    r.ch = ch;
    r.sys = sys;
    r.free = free;
    return r;
}

// A row that only carries a position and a name (a satellite heading or an empty line).
inline channels::ChannelRecord filler(const char* loca, const char* name) {
    channels::ChannelRecord r;
    r.loca = loca;
    r.name = name;
    return r;
}

} // namespace zorvast::testing
