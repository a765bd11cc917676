// The parse steps of the five status readers and of the sensor read, as free functions that
// take the cleaned reply text and the record to fill. They need no port, so tests and fuzzers
// can call them directly. Every value is read by key (the text after the first occurrence of
// the key, to the end of its line); a missing key reads as a single space.
//
// Numbers that do not fit their field are clamped to the field's range, never wrapped.
#pragma once
#include <cstdint>
#include <string_view>

#include "status/unit_status.h"

namespace reply {

// "atoi": leading blanks, an optional sign and the decimal digits that follow; 0 when there
// are none. A value beyond the 32-bit range is clamped to it.
int32_t ToInt(std::string_view text);
// "atof": leading blanks, an optional sign, decimal digits with an optional point and
// exponent; 0 when there are none. Never reads hexadecimal, "inf" or "nan", and does not
// depend on the locale. A value beyond the range of a double is clamped to it.
double ToReal(std::string_view text);
// A double stored into a 32-bit float field: clamped to the float's range.
float ToFloat(double value);
// "hex": leading blanks, an optional "0x", then hexadecimal digits. False when no digit could
// be read (the caller then leaves its field unchanged). A value beyond 32 bits is clamped
// to 0xFFFFFFFF.
bool ScanHex(std::string_view text, uint32_t& value);

}  // namespace reply

// "#HWST": type line, serial number, identity, end-cap serial, battery type, the assembly
// lines and the data-processor line. False when the reply holds no "TYPE" (nothing is parsed).
bool ParseHardwareStatus(const char* reply, UnitStatus& status);

// "#TPST": function level, band and transducer (only for the one-value type line), address,
// HPR pair, the "TS = " line, power letters, CPA, battery count and voltage.
void ParseTransponderStatus(const char* reply, UnitStatus& status);

// "#FVFV": the firmware versions. Returns the unit model: 2 for a QRN unit, else 0.
int32_t ParseFirmwareVersions(const char* reply, UnitStatus& status);

// "#INFO": the IIF reply channel and the whole reply, line breaks escaped, into String2.
void ParseUnitInformation(const char* reply, UnitStatus& status);

// "#STTX" (a complete reply): String1 = the reply; the serial-status keys unless the reply
// merely repeats "#STTX".
void ParseSerialStatus(const char* reply, UnitStatus& status);

// "#RDSE": depth offset, pressure full scale and accuracy, each only when its key is present.
void ParseSensorReply(const char* reply, UnitStatus& status);

// The unit's factors from its sensor units to the record's, applied one after the other in
// double precision.
inline constexpr double kSensorFactor1 = 1.459321415541773;
inline constexpr double kSensorFactor2 = 6.894757;
