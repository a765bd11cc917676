// velmoor-cli run as a process on a data folder of the test's own, its output and messages
// caught apart.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct CliResult {
  int code = -1;
  std::string out, err;
};

inline CliResult RunCli(const std::filesystem::path& root, const std::string& args) {
  const std::filesystem::path err = root / "stderr.txt";
  const std::string command = "XDG_DATA_HOME='" + root.string() + "' " + std::string(VT_CLI_PATH) + " --root '" +
                              root.string() + "' " + args + " 2>'" + err.string() + "' </dev/null";
  CliResult r;
  std::FILE* p = ::popen(command.c_str(), "r");
  for (int c; p && (c = std::fgetc(p)) != EOF;) r.out += static_cast<char>(c);
  const int status = p ? ::pclose(p) : -1;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(err, std::ios::binary);
  r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return r;
}
