// velmoor-cli: the bench terminal's operations from the command line, for test scripts.
#include "cli/cli_run.h"
#include "cli/serial_provider.h"

int main(int argc, char** argv) { return CliMain(argc, argv, MachineSerialProvider); }
