// On Windows a port that will not open is most often held by another program; the system does
// not say which, and there are no device groups.
#include "platform/port_diagnosis.h"

std::string DiagnosePortFailure(PortFailure failure, const std::string& device, const LockPlaces&) {
  PortFacts f;
  f.failure = failure;
  f.device = device;
  return PortRemedy(f);
}
