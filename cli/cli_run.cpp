#include "cli/cli_run.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/bench_session.h"
#include "cli/cli_history.h"
#include "cli/cli_operator.h"
#include "cli/cli_site.h"
#include "firmware/bootload_action.h"
#include "firmware/srecord_image.h"
#include "platform/file_ops.h"
#include "platform/session_log.h"
#include "platform/version.h"
#include "ui/quickset_flow.h"
#include "records/status_json.h"
#include "unit/transponder.h"
#include "ui/command_file.h"
#include "ui/main_controls.h"

namespace {

namespace ex = cli_exit;

// A file named on the command line that will not open: exit code 4 before the unit is touched.
struct FileProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The questions each command may ask and the options that answer them: checked before the
// unit is touched, so a script learns at once what it must say.
struct MayAsk {
  const char* command;
  Question question;
  const char* options;
};
// clang-format off
const MayAsk kMayAsk[] = {
    {"quickset", Question::StatusRecoveryRetry, "--yes or --no"},
    {"quickset", Question::SettingsRetry,       "--yes or --no"},
    {"quickset", Question::EnableOrDisable,     "--yes (leave it enabled) or --no (disable it)"},
    {"load",     Question::ContinueProgramming, "--yes or --no"},
    {"report",   Question::RunReleaseTest,      "--release-test or --no-release-test"},
    {"report",   Question::IncompleteStatus,    "--yes or --no"},
};
// clang-format on

// The control each command presses.
struct CommandRow {
  const char* command;
  int control;
};
// clang-format off
const CommandRow kCommandRows[] = {
    {"status", ctl::kGeneralStatus},      {"sensors", ctl::kReadSensors},     {"set-time", ctl::kSetTime},
    {"self-test", ctl::kHardwareSelfTest}, {"release-test", ctl::kReleaseTest}, {"report", ctl::kTestReport},
    {"apply", ctl::kSetNewStatus},        {"quickset", ctl::kQuickSet},       {"load", ctl::kBootload},
};
// clang-format on

// One unit command of the command line on its bench session: the answers the command line
// gives, the checks before the unit is touched, and the result printed as the command ends.
class Command {
 public:
  Command(const CliOptions& o, BenchSession& session, CliOperator& op, std::FILE* result, std::FILE* messages)
      : o_(o), session_(session), op_(op), result_(result), messages_(messages) {
    op_.answer = o.answer;
    op_.retries = o.retries;
    if (o.releaseTest)
      op_.answerFor[Question::RunReleaseTest] = {*o.releaseTest,
                                                 *o.releaseTest ? "--release-test" : "--no-release-test"};
    // An incomplete status is not reported on unless the command line says so.
    op_.defaults[Question::IncompleteStatus] = false;
    op_.entry = o.entry;
  }

  // Whether every question the command may ask will be answered; if not, names the options.
  void CheckAnswers() {
    if (o_.command == "load") {
      if (!std::ifstream(file_ops::PathFromUtf8(o_.args[0])))
        throw FileProblem("Cannot open the program file " + o_.args[0]);
      // The whole file is judged before the unit is even looked for.
      const ProgramFileCheck check = CSRecordImage::CheckFile(o_.args[0]);
      if (!check.ok) throw FileProblem(TerminalText(ProgramFileRefusal(check, o_.args[0])));
    }
    for (const MayAsk& m : kMayAsk) {
      if (o_.command != m.command || op_.WillAnswer(m.question)) continue;
      throw CliUsageError(o_.command + " may ask a question (" + QuestionName(m.question) + "): give " + m.options);
    }
    if (o_.command == "run") CheckCommandFile();
  }

  // The unit history each operation's outcome goes to (--history, --no-history), and the site's
  // sender, which connects while the command runs and sends the command's event as it ends. A
  // history that cannot be kept, or a site away or refusing, is told once; the command goes on.
  void OpenHistory() {
    Tell(session_.OpenHistory());
    Tell(session_.StartSite());
  }

  // The window's start-up: folders, then the search over COM1 to COM10 (or the named port).
  // Returns the outcome of finding the unit: Done, NoUnit or PortFailed (the reasons are on
  // standard error).
  Outcome Connect() {
    const Outcome o = session_.Connect(o_.port);
    if (o.Ok()) {
      // A named port is not probed until the command runs: the unit is named when it answers.
      if (o_.port <= 0) Message("Velmoor on Comm %d", session_.UnitPort());
      return o;
    }
    Message("%s", TerminalText(o.pane.empty() ? o.reason : o.pane).c_str());
    // A command whose unit was not found is in the history all the same.
    Tell(session_.RecordNotConnected(o, Control()));
    return o;
  }

  int Run() {
    const std::string& c = o_.command;
    if (c == "run") {
      op_.file = o_.args[0];
      return Finish(session_.RunCommandButton(o_.button, o_.args[0]));
    }
    if (c == "quickset") {
      op_.scheme = o_.args[0];
      op_.power = o_.power;
      op_.gain = o_.gain;
    }
    if (c == "load") op_.file = o_.args[0];
    if (c == "status") session_.ShowRawReplies(false);  // the status report rather than the raw replies
    const int control = Control();
    return control ? Finish(session_.Run(control)) : ex::kUsage;
  }

  // Sends the command's event to the site, waiting a moment at most.
  void FinishSite() { Tell(session_.FinishSite(std::chrono::milliseconds(1500))); }

 private:
  // The control the command presses (0 none): for "run", the command file's loading.
  int Control() const {
    if (o_.command == "run") return ctl::kLoadCommands;
    for (const CommandRow& row : kCommandRows)
      if (o_.command == row.command) return row.control;
    return 0;
  }

  // The usual ending: the result (the pane, the JSON record, the verification's verdict) on
  // standard output, why it was not done on standard error, the exit code from the outcome.
  int Finish(const Outcome& o) {
    if (o.kind == OutcomeKind::NoUnit || o.kind == OutcomeKind::PortFailed) {
      if (o.kind == OutcomeKind::PortFailed) Message("%s", TerminalText(CTransponder::OpenFailureText(o.port)).c_str());
      return ExitCodeFor(o.kind);
    }
    if (o_.port > 0) Message("Velmoor on Comm %d", o_.port);
    if (o.kind != OutcomeKind::Declined) {
      if (o_.command == "status" && o_.json)
        Print(StatusJson(session_.Unit().status.currentChecks, session_.Unit().status.currentStatus));
      else if (o_.command == "apply" && o.kind != OutcomeKind::BadFile) Print(Verdict(o));
      else if (!o.pane.empty() || o_.command != "apply") Print(o.pane);
      if (o_.command == "quickset" && (o.kind == OutcomeKind::Done || !o.differences.empty())) Print(Verdict(o));
    }
    if (!o.Ok()) Message("%s: %s", OutcomeKindName(o.kind), o.reason.c_str());
    return ExitCodeFor(o.kind);
  }

  // The verification's verdict, as the quick set's box words it.
  static std::string Verdict(const Outcome& o) {
    if (o.kind == OutcomeKind::Done) return std::string(quickset_text::kSetCorrectly) + "\r\n";
    if (!o.differences.empty()) return quickset_text::kNotSetCorrectly + o.differences;
    return {};
  }

  // The command file's button must hold a command, and a serial-number command needs --entry:
  // both known before the unit is touched.
  void CheckCommandFile() {
    std::FILE* file = file_ops::OpenStream(file_ops::PathFromUtf8(o_.args[0]), "r");
    if (!file) throw FileProblem("Unable to open command file " + o_.args[0] + ": " + std::strerror(errno));
    CommandEntry entries[kCommandButtons];
    const int read = ReadCommandFile(file, entries);
    std::fclose(file);
    const int i = o_.button - 1;
    if (i >= read || entries[i].caption.empty() || entries[i].command.empty()) return;
    if (entries[i].command.str().find("TPSN") != std::string::npos && !o_.entry)
      throw CliUsageError("button " + std::to_string(o_.button) + " asks for a serial number: give --entry TEXT");
  }

  void Print(const std::string& text) {
    std::string t = TerminalText(text);
    if (!t.empty() && t.back() != '\n') t += '\n';
    std::fputs(t.c_str(), result_);
  }
  // A message of the session's for the operator, when there is one.
  void Tell(const std::string& text) {
    if (!text.empty()) Message("velmoor-cli: %s", text.c_str());
  }
  template <class... A>
  void Message(const char* format, A... args) {
    std::fprintf(messages_, format, args...);
    std::fputc('\n', messages_);
  }

  const CliOptions& o_;
  BenchSession& session_;
  CliOperator& op_;
  std::FILE* result_;
  std::FILE* messages_;
};

// The machine's ports (or the simulated machine's), with no session and no log.
int ListPorts(const CliOptions& o, const SerialProviderFactory& machinePorts, std::FILE* result, std::FILE* messages) {
  std::string problem;
  const SerialSide::MachinePorts ofMachine = [&] { return machinePorts(o.paths); };
  SerialSide side(o.simulate, o.simSwitches, ofMachine, nullptr, problem);
  const auto ports = side.Ports()->ListPorts();
  if (ports.empty()) {
    std::fprintf(messages, "Failed to find any Comm ports\n");
    return ex::kNoUnit;
  }
  for (const auto& p : ports)
    std::fprintf(result, "COM%d\t%s\t%s\n", p.comNumber, p.device.c_str(), p.description.c_str());
  return ex::kDone;
}

// A unit command on the bench session: the answers checked, the history and the site opened,
// the unit found, the command run and its event sent to the site. Returns the exit code.
int RunUnitCommand(const CliOptions& o, BenchSession& session, CliOperator& answers, std::FILE* result,
                   std::FILE* messages) {
  int code = ex::kUsage;
  try {
    Command command(o, session, answers, result, messages);
    command.CheckAnswers();
    command.OpenHistory();
    const Outcome connected = command.Connect();
    code = connected.Ok() ? command.Run() : ExitCodeFor(connected.kind);
    command.FinishSite();
  } catch (const FileProblem& e) {
    std::fprintf(messages, "%s\n", e.what());
    code = ex::kBadFile;
  } catch (const CliUsageError& e) {
    std::fprintf(messages, "velmoor-cli: %s\n", e.what());
    code = ex::kUsage;
  }
  return code;
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
  // The unit history's commands read this PC's store: no unit, no port.
  if (IsHistoryCommand(o.command)) return RunHistoryCommand(o, result, messages);
  if (o.command == "site") return RunSiteCommand(o, result, messages);

  // Simulation switches that are not understood end the command before the session and its log.
  if (const std::string problem = SerialSide::Problem(o.simulate, o.simSwitches); !problem.empty()) {
    std::fprintf(messages, "%s\n", problem.c_str());
    return ex::kUsage;
  }
  if (o.command == "ports") return ListPorts(o, machinePorts, result, messages);

  // The session log of the wire, shared with the window (T7Status/logs/); off with --no-log.
  // A log that cannot be written is told once on standard error, and the command goes on.
  auto tell = [messages](const std::string& failure) { std::fprintf(messages, "velmoor-cli: %s\n", failure.c_str()); };
  SessionLogScope log(o, std::string("velmoor-cli ") + kProgramVersion,
                      o.commandLine.empty() ? o.command : o.commandLine, tell);
  CliOperator* answers = nullptr;
  const SerialSide::MachinePorts ofMachine = [&] { return machinePorts(o.paths); };
  const BenchSession::MakeOperator makeOperator = [&](ISerialProvider&) {
    auto op = std::make_unique<CliOperator>(messages);
    answers = op.get();
    return op;
  };
  BenchSession session(o, CliSessionSettings(o), ofMachine, makeOperator);
  const int code = RunUnitCommand(o, session, *answers, result, messages);
  session.StopSite();
  session.Close();
  std::fflush(result);
  log.End(code);
  return code;
}

int CliMain(int argc, const char* const* argv, const SerialProviderFactory& machinePorts) {
  CliOptions options;
  std::string message;
  if (!ParseCliOptions(argc, argv, options, message)) {
    std::fprintf(stderr, "velmoor-cli: %s\n%s", message.c_str(), CliUsage());
    return cli_exit::kUsage;
  }
  options.commandLine = CommandLineText(argc, argv);
  return RunCli(options, machinePorts);
}
