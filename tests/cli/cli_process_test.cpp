// velmoor-cli driven as a process against its simulated unit in virtual time
// (--simulate=fast,...): each subcommand's output and exit code, the unit's faults, a
// verification that fails, and the questions that need --yes or --no.
#include <gtest/gtest.h>

#include "tests/cli/cli_run.h"
#include "tests/support/test_bench.h"
#include "tools/sample_programs.h"

namespace fs = std::filesystem;

namespace {

class CliProcess : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(root_); }
  CliResult Cli(const std::string& args) { return RunCli(root_, args); }
  // How many lines of the session log of a run in ROOT/tag (one folder a run) begin and end so:
  // "send #RTST" (a command sent), "ask release-test " ... "answered \"No\" by --no".
  size_t Logged(const std::string& tag, const std::string& begin, const std::string& end = "") {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(root_ / tag / "T7Status" / "logs")) {
      std::ifstream in(e.path());
      for (std::string line; std::getline(in, line);)
        n += line.find("] " + begin) != std::string::npos && line.ends_with(end);
    }
    return n;
  }
  fs::path root_ = FreshTempDir("cli");
};

const std::string kSim = "--simulate=fast";
const std::string kData = std::string(VT_SOURCE_DIR) + "/tests/data/";
const std::string kSamples = std::string(VT_SOURCE_DIR) + "/tools/samples/";

}  // namespace

TEST_F(CliProcess, EachCommandsResultAndExitCode) {
  const struct {
    std::string args;
    int code;
    std::string out;  // a text the result must hold ("" for none)
    std::string err;  // a text the messages must hold ("" for none)
  } cases[] = {
      {"--version", 0, "velmoor-cli 3.00.012", ""},
      {"--help", 0, "Exit codes, from what the operation did", ""},
      {"", 2, "", "no command given"},
      {"frobnicate " + kSim, 2, "", "unknown command frobnicate"},
      {"status --yes --no " + kSim, 2, "", "not both"},
      {"sensors --json " + kSim, 2, "", "for the status command"},
      {"run " + kData + "bench_four_commands.T7d " + kSim, 2, "", "run needs --button"},
      {"status --simulate=fast,wobbly", 2, "", "unknown simulation switch wobbly"},
      {"ports " + kSim, 0, "COM3", ""},
      {"status " + kSim, 0, "1A2B3C", "Velmoor on Comm 3"},
      {"sensors " + kSim, 0, "#RDSE", "Velmoor on Comm 3"},
      {"set-time " + kSim, 0, "", ""},
      {"self-test " + kSim, 0, "", ""},
      {"self-test --simulate=fast,self-test-fail", 1, "", ""},
      {"release-test " + kSim, 0, "", ""},
      {"release-test --simulate=fast,release-fail", 1, "", ""},
      {"report " + kSim, 2, "", "give --release-test or --no-release-test"},
      // The answer given for one question wins over --yes or --no; every first answer stands.
      {"report --yes --no-release-test " + kSim, 0, "Release mechanism NOT TESTED", "Results stored in"},
      {"report --no --release-test --retries 0 " + kSim, 0, "#RTST", "-> Yes (--release-test)"},
      {"quickset A3 --yes --retries 0 " + kSim, 0, "Unit set correctly", "battery power (No)\n  -> Yes (--yes)"},
      // An incomplete status read is not reported on unless --yes says so: declined (6).
      {"report --no-release-test --simulate=fast,mute=FVFV", 6, "", "Continue anyway??\n  -> No (default)"},
      {"quickset A1 " + kSim, 2, "", "quickset may ask a question (status-recovery-retry): give --yes or --no"},
      {"quickset Z9 --yes " + kSim, 2, "", "scheme Z9 is not offered by this unit; it offers A1"},
      {"quickset A1 --gain loud --yes " + kSim, 2, "", "--gain loud is not offered"},
      // The unit never takes the address: three retries, then the verification fails.
      {"quickset B2 --yes --simulate=fast,ignore=Address", 1, "Unit NOT set correctly",
       "retried 3 times with no progress; --retries 3"},
      {"load " + kSamples + "sample-small.a07 --yes " + kSim, 0, "Programming complete", "100%"},
      {"load " + kSamples + "missing.a07 --yes " + kSim, 4, "", "Cannot open the program file"},
      {"load " + kSamples + "sample-small.a07 " + kSim, 2, "", "load may ask a question (continue-programming)"},
      {"load " + kData + "bench_four_commands.T7d --no " + kSim, 4, "", "Illegal S record read from file\nLine 1 of"},
      {"run " + kData + "bench_four_commands.T7d --button 2 " + kSim, 0, "#FVFV", ""},
      {"run " + kData + "bench_four_commands.T7d --button 6 " + kSim, 4, "", "gives button 6 no command"},
      {"run " + kData + "missing.T7d --button 1 " + kSim, 4, "", "Unable to open command file"},
      {"run " + kData + "bench_six_commands.T7d --button 3 " + kSim, 2, "",
       "asks for a serial number: give --entry TEXT"},
      // A silent unit: the search finds nothing; on its named port the comms check fails.
      {"status --simulate=fast,silent", 3, "", "No unit answered on COM1 to COM10"},
      {"sensors --port 3 --simulate=fast,silent", 3, "", "No valid comms"},
      {"status --port 9 " + kSim, 3, "", "Failed to connect to comm port!\nCOM9: not present"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliResult r = Cli(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "line ends as this machine writes them";
  }
}

// A program file with a blank line and a count record: the load asks about each, "--yes" goes
// past them, and every data record having gone out the load is complete (exit 0).
TEST_F(CliProcess, LoadGoesPastABlankLineAndACountRecord) {
  std::string text = MakeSampleProgram(SmallSampleProgram());
  text.insert(text.find("S9030000FC"), "\r\nS5030028D4\r\n");
  const fs::path file = root_ / "counted.a07";
  std::ofstream(file, std::ios::binary) << text;
  const CliResult r = Cli("load " + file.string() + " --yes " + kSim);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Programming complete"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Illegal S record read from file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Unsupported S record type read from file"), std::string::npos) << r.err;
}

TEST_F(CliProcess, StatusJsonHoldsEveryFieldOnce) {
  const CliResult r = Cli("status --json " + kSim);
  ASSERT_EQ(r.code, 0) << r.err;
  size_t keys = 0;
  for (size_t at = 0; (at = r.out.find("\": ", at)) != std::string::npos; ++at) ++keys;
  EXPECT_EQ(keys, 96u);
  EXPECT_NE(r.out.find("\"HardwareTime\": null"), std::string::npos) << "never tested";
}

// "apply" applies what the quick set saved to New-Status.xml, to a fresh unit (each process
// has its own simulated unit); a unit that ignores a setting fails the verification.
TEST_F(CliProcess, ApplyVerifiesTheNewStatusEntry) {
  EXPECT_EQ(Cli("apply " + kSim).code, 4) << "no New-Status.xml yet";
  ASSERT_EQ(Cli("quickset C3 --gain low --power high --yes " + kSim).code, 0);
  const CliResult ok = Cli("apply " + kSim);
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(ok.out, "Unit set correctly\n");
  const CliResult bad = Cli("apply --simulate=fast,ignore=RxGain");
  EXPECT_EQ(bad.code, 1) << bad.err;
  EXPECT_EQ(bad.out.rfind("Unit NOT set correctly\nRXgain is ", 0), 0u) << bad.out;
}

// A unit's record that could not be saved: done all the same, and a code of its own (5).
TEST_F(CliProcess, ARecordNotSavedHasAnExitCodeOfItsOwn) {
  fs::create_directories(root_ / "T7Status" / "Current-Status.xml");  // no file can be saved there
  const CliResult r = Cli("status " + kSim);
  EXPECT_EQ(r.code, 5) << r.err;
  EXPECT_NE(r.out.find("1A2B3C"), std::string::npos) << "the status is shown all the same";
}

// --retries N counts the repeats of one step: a unit that never takes the address has its
// verification's "Retry?" answered Yes once and N times again, then No; one update each Yes.
TEST_F(CliProcess, RetriesLetExactlyNRepeatsThrough) {
  for (int n : {0, 2}) {
    const std::string tag = "retries-" + std::to_string(n), retries = "--retries " + std::to_string(n);
    fs::create_directories(root_ / tag);
    EXPECT_EQ(RunCli(root_ / tag, "quickset B2 --yes " + retries + " --simulate=fast,ignore=Address").code, 1);
    EXPECT_EQ(Logged(tag, "ask settings-retry ", "answered \"Yes\" by --yes"), n + 1u);
    EXPECT_EQ(Logged(tag, "ask settings-retry ", "answered \"No\" by " + retries), 1u);
    EXPECT_EQ(Logged(tag, "send #STAD,"), n + 2u);
  }
}
