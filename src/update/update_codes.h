// The selection codes that follow a parameter's own "#GCMD" command, and a one-line text of a
// check block for the trace.
#pragma once
#include <cstdint>
#include <string>

#include "status/unit_status.h"

// As a rule the selection code is the value plus 52 (value 1 selects with 53).
inline int SelectionCode(int32_t value) { return value + 52; }

// The reply channel: 0 gives 31; 1 to 8 give 8 to 15; 9 to 15 give 24 to 30; 16 gives 63.
int ReplyChannelCode(int32_t channel);

// The turn-around time: the nearest whole number of 62.5 ms steps (halves up), held to 1..14;
// a step above 8 gains 8; the code is the step plus 7 (62.5 ms gives 8, 500 ms 15, 562.5 ms
// 24, 875 ms and 937.5 ms 29).
int TatCode(float tat);

// The IIF channel: below 8 the channel itself, from 8 on the channel plus 8.
int IifCode(int32_t channel);

// The interrogation channel (all but 16, which has a command pair of its own): channel + 47.
inline int AltCifCode(int32_t channel) { return channel + 47; }

// "UpdatedResult 1 UpdatedTime 2026-03-07 09:05:03 ..." for the trace.
std::string DescribeChecks(const StatusChecks& checks);
