// What one writer of the shared-folder tests saves, shared by the writer and the tests that
// check the folder afterwards.
#pragma once
#include <cstdint>
#include <string>

struct WriterPlan {
  int writer = 0;
  int units = 0;        // units of this writer's own
  uint32_t shared = 0;  // the identity every writer also saves
  int saves = 0;

  uint32_t OwnUnit(int k) const {
    return 0x200000u + static_cast<uint32_t>(writer) * 0x100u + static_cast<uint32_t>(k);
  }
  uint32_t UnitOf(int i) const { return i % (units + 1) == units ? shared : OwnUnit(i % (units + 1)); }
  std::string Mark(int i) const { return "w" + std::to_string(writer) + "-" + std::to_string(i); }
  // The save that last wrote the unit: the last i below `done` that saved it; -1 for none.
  int LastSaveOf(uint32_t id, int done) const {
    for (int i = done - 1; i >= 0; --i)
      if (UnitOf(i) == id) return i;
    return -1;
  }
};
