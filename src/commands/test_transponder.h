// The record of the unit last set up as test transponder: the sixteen values that the
// test-transponder file lists, taken from the unit's status just before the file is written.
#pragma once
#include <cstdint>

#include "platform/fixed_text.h"

struct TestTransponderInfo {
  int32_t unitId = -1;
  FixedText<20> serialNo;
  FixedText<40> typeNo;
  FixedText<10> band;
  int32_t channel = -1;
  int32_t address = -1;
  int32_t hprHigh = -1;
  int32_t hprLow = -1;
  uint8_t functionLevel = 0;
  FixedText<20> transducer;
  int32_t widebandStatus = -1;
  int32_t daughterCard = -1;
  int32_t altCif = -1;
  int32_t cifReply = -1;
  float tat = -1.0f;
  int32_t fileUpdateStatus = 0;
};

// The state that commands/ keeps: the unit last set up as test transponder, as the
// test-transponder file describes it.
struct CommandsState {
  TestTransponderInfo testTransponder;
};
