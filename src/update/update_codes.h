// The selection codes that follow a parameter's own "#GCMD" command, and a one-line text of a
// check block for the trace.
#pragma once
#include <cstdint>
#include <string>

#include "status/unit_status.h"

// The "#GCMD" codes the engine sends. Most parameters are set by a pair: the parameter's own
// code, then a selection code.
namespace gcmd {
inline constexpr int kBaudRate = 1;    // alone, when the unit reports a baud rate of 100 or more
inline constexpr int kDisableAll = 2;  // alone: every mode off
inline constexpr int kChannel = 23;    // reply, IIF and interrogation channels
inline constexpr int kTat = 30;
inline constexpr int kPowerAll = 33;  // CPA: one power for all
inline constexpr int kMode = 37;      // a mode switched on: kModeHpr, kModeFirst or kModeSecond
inline constexpr int kFeOff = 39;     // followed by kFeOffSelection
inline constexpr int kCwt = 41;
inline constexpr int kCwr = 42;
inline constexpr int kRxGain = 43;
inline constexpr int kPowerCpl = 44;
inline constexpr int kPowerCps = 45;
inline constexpr int kPowerCpt = 46;
inline constexpr int kPowerCpj = 47;
inline constexpr int kPowerCpu = 48;
inline constexpr int kCwc = 63;
inline constexpr int kCpd = 67;

// Selections after kMode: HPR mode; the first mode (also the third mode, and the interrogation
// channel 16); the second mode.
inline constexpr int kModeHpr = 53;
inline constexpr int kModeFirst = 54;
inline constexpr int kModeSecond = 55;
// The selection after kFeOff.
inline constexpr int kFeOffSelection = 53;
}  // namespace gcmd

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
