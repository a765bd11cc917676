// velmoor-cli run as a process on a data folder of the test's own, its output and messages
// caught apart.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct CliResult {
  int code = -1;
  std::string out, err;
};

// as: what runs the program (a user switch, as AnotherUser() gives), empty for this process's user.
inline CliResult RunCli(const std::filesystem::path& root, const std::string& args, const std::string& as = "") {
  const std::filesystem::path err = root / "stderr.txt";
  const std::string command = "XDG_DATA_HOME='" + root.string() + "' " + as + std::string(VT_CLI_PATH) + " --root '" +
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

// Runs the program as a user who may not write the test's files: nobody, when the tests run as
// root (to whom every file is writable); otherwise this user, kept out by the files' permissions.
inline std::string AnotherUser() {
  return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
}
