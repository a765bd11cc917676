// The simulated unit's bootloader load: the rate commands "Z1x" to "Z4x" (the unit answers at
// the old rate, then changes; the terminal must follow or the bytes garble), S-record lines
// programmed into the simulated flash with their checksums and programming area checked, the
// page checks of the trailer summed against what was programmed, "Y" and "X". Each record is
// answered "OK" or "ERROR d" with the bootloader's error digit. A load that completes leaves
// the unit holding the file's program version and its factory address 1001.
#pragma once
#include <cstdint>

class SimUnit;
struct SimUnitState;

void InstallBootloader(SimUnit& unit);

// The page (0 to 7) of the unit's flash that holds an address, or -1.
int SimFlashPage(int64_t address);
// The flash byte at an address (0xFF where no page is).
uint8_t SimFlashByte(const SimUnitState& state, int64_t address);
