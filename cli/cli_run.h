// velmoor-cli's work: builds the serial side (the machine's ports or the simulated unit),
// finds the unit as the window's start-up does, runs one subcommand through the same core
// operation as the window's button, prints the result and returns the exit code.
#pragma once
#include <cstdio>
#include <functional>
#include <memory>

#include "cli/cli_options.h"
#include "platform/serial_device.h"

// Makes the provider of the machine's real serial ports. The one place that chooses the
// serial backend; the program's main passes it in (Qt Serial Port on Linux).
using SerialProviderFactory = std::function<std::unique_ptr<ISerialProvider>(const DataPaths& paths)>;

int RunCli(const CliOptions& options, const SerialProviderFactory& machinePorts, std::FILE* result = stdout,
           std::FILE* messages = stderr);

// The whole program: reads the command line, then RunCli.
int CliMain(int argc, const char* const* argv, const SerialProviderFactory& machinePorts);
