#include "cli/cli_run.h"

#include <fstream>

#include "cli/cli_operator.h"
#include "firmware/bootload_action.h"
#include "platform/session_log.h"
#include "platform/version.h"
#include "quickset/quickset_flow.h"
#include "records/status_json.h"
#include "serial/comm_port.h"
#include "unit/transponder.h"
#include "sim/sim_bench.h"
#include "sim/sim_switches.h"
#include "ui/bench_actions.h"
#include "ui/command_file.h"
#include "ui/tester_dlg.h"

namespace {

namespace ex = cli_exit;

// The simulated unit of --simulate: on COM3 of a machine with four ports, a QRN unit, as the
// window has it.
constexpr int kSimulatedUnitPort = 3;
constexpr int kSimulatedPortCount = 4;

// The release-test question of the test report, answered by --release-test/--no-release-test.
constexpr const char* kRunReleaseTestQuestion = "Run Release test";

bool SelfTestPassed(int32_t result) { return (result & ~8) == 0; }

class Session {
 public:
  Session(const CliOptions& o, CCommPort& port, std::FILE* result, std::FILE* messages)
      : o_(o), op_(messages), result_(result), messages_(messages), dlg_(port, op_, o.paths) {
    op_.answer = o.answer;
    if (o.releaseTest) op_.answerFor[kRunReleaseTestQuestion] = *o.releaseTest;
    op_.entry = o.entry;
  }

  // The window's start-up: folders, then the search over COM1 to COM10 (or the named port).
  bool Connect() {
    dlg_.OnInitDialog();
    if (o_.port > 0) {
      dlg_.rawReplies = true;  // as the search leaves it
      dlg_.unitPort = o_.port;
      dlg_.ConnectToUnit();
    } else {
      dlg_.OnTimer(kSearchTimerId);
    }
    if (dlg_.ended || !dlg_.unit.port.isOpen) return false;
    Message("Velmoor on Comm %d", dlg_.unitPort);
    return true;
  }

  int Run(const std::string& c) {
    CTransponder& unit = dlg_.unit;
    BenchWindow window = BenchWindowOf(dlg_);
    if (c == "status") {
      dlg_.rawReplies = false;  // the status report rather than the raw replies
      dlg_.OnGeneralStatus();
      if (op_.commsFailed) return ex::kNoUnit;
      Print(o_.json ? StatusJson(unit.status.currentChecks, unit.status.currentStatus) : dlg_.paneText);
      return unit.status.partialMask == 0 ? ex::kDone : ex::kRefused;
    }
    if (c == "sensors") return Finish(dlg_.OnReadSensors());
    if (c == "set-time") return Finish(dlg_.OnSetTime());
    if (c == "self-test") {
      const bool answered = HardwareSelfTestAction(unit, window);
      return Finish(answered && SelfTestPassed(unit.status.currentChecks.HardwareResult));
    }
    if (c == "release-test") {
      const bool answered = ReleaseTestAction(unit, window);
      return Finish(answered && unit.status.currentChecks.ReleaseResult == 0);
    }
    if (c == "report") {
      const bool made = TestReportAction(unit, window);
      if (op_.commsFailed) return ex::kNoUnit;
      if (!made) return ex::kRefused;
      Print(dlg_.paneText);
      if (op_.stopShown) return ex::kBadFile;  // the report's file could not be written
      return SelfTestPassed(unit.status.currentChecks.HardwareResult) ? ex::kDone : ex::kRefused;
    }
    if (c == "apply") return Apply(window);
    if (c == "quickset") {
      op_.scheme = o_.args[0];
      op_.power = o_.power;
      op_.gain = o_.gain;
      const bool verified = RunQuickset(unit, dlg_.Hooks());
      return Finish(verified);
    }
    if (c == "load") return Load();
    if (c == "run") return RunCommandFile(window);
    return ex::kUsage;
  }

 private:
  // The usual ending: the pane's text to the result; the comms check's failure, or the
  // operation's, to the exit code.
  int Finish(bool ok) {
    if (op_.commsFailed) return ex::kNoUnit;
    Print(dlg_.paneText);
    return ok ? ex::kDone : ex::kRefused;
  }

  int Apply(BenchWindow& window) {
    CTransponder& unit = dlg_.unit;
    const bool found = SetNewStatusAction(unit, window);
    if (op_.commsFailed) return ex::kNoUnit;
    if (!found) {
      Message("No update information found for unit %06X in %s",
              static_cast<unsigned>(unit.status.currentStatus.UnitId), unit.paths.NewStatusFile().string().c_str());
      return std::filesystem::exists(unit.paths.NewStatusFile()) ? ex::kRefused : ex::kBadFile;
    }
    if (unit.status.partialMask != 0) {
      Message("The unit was not read back whole: %s", unit.status.statusMessage.c_str());
      return ex::kRefused;
    }
    // The verification of the quick set, on the status just read back.
    char report[1000];
    if (unit.CheckStatus(TextSpan(report))) {
      Print(quickset_text::kSetCorrectly + std::string("\r\n"));
      return ex::kDone;
    }
    Print(std::string(quickset_text::kNotSetCorrectly) + report);
    return ex::kRefused;
  }

  int Load() {
    const std::string& path = o_.args[0];
    if (!std::ifstream(path)) {
      Message("Cannot open the program file %s", path.c_str());
      return ex::kBadFile;
    }
    op_.file = path;
    // The unit must leave its bootloader however the load goes: an error prompt without an
    // answer abandons the load rather than stopping the program in the middle of it.
    op_.answerNoWhenUnanswered = true;
    const Outcome outcome = BootloadNewProgram(dlg_.unit, dlg_.paneText);
    if (outcome.kind == OutcomeKind::BadFile) return ex::kBadFile;
    if (outcome.pane.empty()) return ex::kNoUnit;
    Print(dlg_.paneText + "\r\n");
    if (!op_.unanswered.empty()) {
      Message("this question needs --yes or --no (it was answered No): %s", op_.unanswered.c_str());
      return ex::kUsage;
    }
    return outcome.Ok() ? ex::kDone : ex::kRefused;
  }

  int RunCommandFile(BenchWindow& window) {
    op_.file = o_.args[0];
    if (!LoadCommandFile(dlg_.unit, window)) return ex::kBadFile;
    const int i = o_.button - 1;
    if (dlg_.commandCaption[i].empty() || dlg_.commandText[i].empty()) {
      Message("%s gives button %d no command", o_.args[0].c_str(), o_.button);
      return ex::kBadFile;
    }
    return Finish(RunCommandButton(dlg_.unit, window, i));
  }

  void Print(const std::string& text) {
    std::string t = TerminalText(text);
    if (!t.empty() && t.back() != '\n') t += '\n';
    std::fputs(t.c_str(), result_);
  }
  template <class... A>
  void Message(const char* format, A... args) {
    std::fprintf(messages_, format, args...);
    std::fputc('\n', messages_);
  }

  const CliOptions& o_;
  CliOperator op_;
  std::FILE* result_;
  std::FILE* messages_;
  CTesterDlg dlg_;
};

int ListPorts(ISerialProvider& provider, std::FILE* result, std::FILE* messages) {
  const auto ports = provider.ListPorts();
  if (ports.empty()) {
    std::fprintf(messages, "Failed to find any Comm ports\n");
    return ex::kNoUnit;
  }
  for (const auto& p : ports)
    std::fprintf(result, "COM%d\t%s\t%s\n", p.comNumber, p.device.c_str(), p.description.c_str());
  return ex::kDone;
}

}  // namespace

int RunCli(const CliOptions& o, const SerialProviderFactory& machinePorts, std::FILE* result, std::FILE* messages) {
  if (o.help) {
    std::fputs(CliUsage(), result);
    return ex::kDone;
  }
  if (o.version) {
    std::fprintf(result, "velmoor-cli %s\n", kProgramVersion);
    return ex::kDone;
  }

  // The serial side: the simulated unit, or the machine's ports.
  std::unique_ptr<IClock> clock;
  std::unique_ptr<SimBench> bench;
  std::unique_ptr<ISerialProvider> provider;
  std::unique_ptr<CCommPort> ownPort;
  CCommPort* port = nullptr;
  ISerialProvider* ports = nullptr;
  if (o.simulate) {
    if (SimSwitchesWantVirtualTime(o.simSwitches)) clock = std::make_unique<VirtualClock>();
    else clock = std::make_unique<SteadyClock>();
    bench = std::make_unique<SimBench>(*clock, kSimulatedUnitPort, kSimulatedPortCount);
    bench->unit->state.modelName = "QRN";  // so the quick set offers the navigation schemes
    SimSwitches switches;
    if (!ApplySimSwitches(*bench->unit, o.simSwitches, switches)) {
      std::fprintf(messages, "%s\n", switches.error.c_str());
      return ex::kUsage;
    }
    port = &bench->port;
    ports = &bench->provider;
  } else {
    clock = std::make_unique<SteadyClock>();
    provider = machinePorts(o.paths);
    ownPort = std::make_unique<CCommPort>(*clock, *provider);
    port = ownPort.get();
    ports = provider.get();
  }
  if (o.command == "ports") return ListPorts(*ports, result, messages);

  // The session log of the wire, shared with the window (T7Status/logs/); off with --no-log.
  // A log that cannot be written is told once on standard error, and the command goes on.
  struct LogScope {
    LogScope(const CliOptions& o, std::FILE* messages) : messages_(messages) {
      SessionLog::Start(o.paths, !o.noLog, std::string("velmoor-cli ") + kProgramVersionPlain + " " + o.command);
    }
    ~LogScope() {
      if (SessionLog* log = SessionLog::Get()) {
        log->Flush();
        const std::string failure = log->TakeFailure();
        if (!failure.empty()) std::fprintf(messages_, "velmoor-cli: %s\n", failure.c_str());
      }
      SessionLog::Stop();
    }
    std::FILE* messages_;
  } logScope(o, messages);

  int code = ex::kUsage;
  try {
    Session session(o, *port, result, messages);
    code = session.Connect() ? session.Run(o.command) : ex::kNoUnit;
  } catch (const CliUsageError& e) {
    std::fprintf(messages, "velmoor-cli: %s\n", e.what());
    code = ex::kUsage;
  }
  port->Close();
  std::fflush(result);
  return code;
}

int CliMain(int argc, const char* const* argv, const SerialProviderFactory& machinePorts) {
  CliOptions options;
  std::string message;
  if (!ParseCliOptions(argc, argv, options, message)) {
    std::fprintf(stderr, "velmoor-cli: %s\n%s", message.c_str(), CliUsage());
    return cli_exit::kUsage;
  }
  return RunCli(options, machinePorts);
}
