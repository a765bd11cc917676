// The serial side that both programs (the window and velmoor-cli) assemble from their shared
// options: the built-in simulated unit (--simulate, with its test switches), or the machine's
// ports through the provider the program gives; one port object over either.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "serial/comm_port.h"
#include "sim/sim_bench.h"

// The COM number of the simulated unit, and how many ports the simulated machine has.
inline constexpr int kSimulatedUnitPort = 3;
inline constexpr int kSimulatedPortCount = 4;

class SerialSide {
 public:
  using MachinePorts = std::function<std::unique_ptr<ISerialProvider>()>;

  // simulate: the simulated unit (a QRN unit, so the quick set offers the navigation schemes)
  // with the switches of --simulate=LIST; otherwise machinePorts() gives the machine's ports.
  // clock: the tick counter (null: a steady clock, or the virtual one when the switches ask
  // for it). error is set, and Port() null, when the switches are not understood.
  SerialSide(bool simulate, const std::string& simSwitches, const MachinePorts& machinePorts, IClock* clock,
             std::string& error);

  // Why a serial side of these options cannot be made (simulation switches not understood),
  // found before any port is touched; empty when it can.
  static std::string Problem(bool simulate, const std::string& simSwitches);

  CCommPort* Port() { return port_; }
  ISerialProvider* Ports() { return ports_; }
  SimBench* Bench() { return bench_.get(); }
  IClock& Clock() { return *clock_; }

 private:
  std::unique_ptr<IClock> ownClock_;
  IClock* clock_ = nullptr;
  std::unique_ptr<SimBench> bench_;
  std::unique_ptr<ISerialProvider> provider_;
  std::unique_ptr<CCommPort> ownPort_;
  CCommPort* port_ = nullptr;
  ISerialProvider* ports_ = nullptr;
};
