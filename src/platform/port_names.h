// COM numbers on Linux: COM n is the device that the link ROOT/ports/COMn points to when that
// link exists; otherwise the n-th serial port of the machine, USB adapters (ttyUSB*, ttyACM*)
// first, then on-board ports (ttyS*), each in numeric order. On Windows COM n is the native port.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial_device.h"

// Orders device paths the way COM numbers are given out (ttyUSB, ttyACM, ttyS, then others;
// numerically within each).
std::vector<std::string> OrderSerialDevices(std::vector<std::string> devices);

// The stable name of a device in byIdDir (/dev/serial/by-id): the link that leads to it, or
// empty when none does. Such a link names the adapter's maker, model and serial number, so a
// ROOT/ports/COMn link to it pins COM n to one adapter whatever ttyUSB number it gets.
std::string ByIdLinkFor(const std::string& device, const std::filesystem::path& byIdDir = "/dev/serial/by-id");

// The device for COM n (1-based): the ports link first, then the ordered devices.
std::optional<std::string> ResolveComPort(int n, const std::filesystem::path& portsDir,
                                          const std::vector<std::string>& orderedDevices);

// The number of a Windows port name ("COM7" gives 7; case is ignored); 0 for any other name.
int ComNumberOfName(std::string_view name);

// The port list as the terminal shows it: one entry per COM number (the first one found wins),
// ordered by number; a port without a description gets "serial device".
std::vector<SerialPortInfo> ComPortList(std::vector<SerialPortInfo> found);
