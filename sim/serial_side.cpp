#include "sim/serial_side.h"

#include "sim/sim_switches.h"

SerialSide::SerialSide(bool simulate, const std::string& simSwitches, const MachinePorts& machinePorts, IClock* clock,
                       std::string& error) {
  if (!clock) {
    if (simulate && SimSwitchesWantVirtualTime(simSwitches)) ownClock_ = std::make_unique<VirtualClock>();
    else ownClock_ = std::make_unique<SteadyClock>();
    clock = ownClock_.get();
  }
  clock_ = clock;
  if (simulate) {
    bench_ = std::make_unique<SimBench>(*clock_, kSimulatedUnitPort, kSimulatedPortCount);
    bench_->unit->state.modelName = "QRN";  // so "Quick set" offers the navigation schemes
    SimSwitches switches;
    if (!ApplySimSwitches(*bench_->unit, simSwitches, switches)) {
      error = switches.error;
      return;
    }
    port_ = &bench_->port;
    ports_ = &bench_->provider;
    return;
  }
  provider_ = machinePorts();
  ownPort_ = std::make_unique<CCommPort>(*clock_, *provider_);
  port_ = ownPort_.get();
  ports_ = provider_.get();
}

std::string SerialSide::Problem(bool simulate, const std::string& simSwitches) {
  std::string error;
  // Only the simulated unit's switches can be refused; the machine's ports are not asked for.
  if (simulate) SerialSide(true, simSwitches, {}, nullptr, error);
  return error;
}
