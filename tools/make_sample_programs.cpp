// Writes the sample program files that the load is tried with:
//   g++ -std=c++20 -I. tools/make_sample_programs.cpp -o /tmp/make_sample_programs
//   /tmp/make_sample_programs tools/samples
// tests/firmware checks that the files kept in tools/samples/ are what this makes.
#include <cstdio>
#include <string>

#include "tools/sample_programs.h"

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "tools/samples";
  bool ok = WriteSampleProgram(folder + "/sample-small.a07", SmallSampleProgram());
  ok = WriteSampleProgram(folder + "/sample-large.a07", LargeSampleProgram()) && ok;
  if (!ok) std::fprintf(stderr, "could not write the sample files into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
