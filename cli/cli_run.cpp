#include "cli/cli_run.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cli/cli_history.h"
#include "cli/cli_site.h"
#include "cli/cli_operator.h"
#include "firmware/bootload_action.h"
#include "firmware/srecord_image.h"
#include "platform/file_ops.h"
#include "platform/logged_operator.h"
#include "platform/session_log.h"
#include "platform/version.h"
#include "quickset/quickset_flow.h"
#include "records/status_json.h"
#include "serial/comm_port.h"
#include "unit/transponder.h"
#include "sim/serial_side.h"
#include "ui/command_file.h"
#include "ui/tester_dlg.h"

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

class Session {
 public:
  Session(const CliOptions& o, CCommPort& port, std::FILE* result, std::FILE* messages)
      : o_(o), op_(messages), logged_(op_), result_(result), messages_(messages), dlg_(port, logged_, o.paths) {
    op_.answer = o.answer;
    op_.retries = o.retries;
    if (o.releaseTest)
      op_.answerFor[Question::RunReleaseTest] = {*o.releaseTest,
                                                 *o.releaseTest ? "--release-test" : "--no-release-test"};
    // An incomplete status is not reported on unless the command line says so.
    op_.defaults[Question::IncompleteStatus] = false;
    op_.entry = o.entry;
  }

  // The unit history each operation's outcome goes to (--history, --no-history); a history
  // that cannot be kept is told once, and the command goes on without it.
  void OpenHistory() {
    const std::string problem = OpenCliHistory(history_, o_);
    if (!problem.empty()) Message("velmoor-cli: %s", problem.c_str());
    if (!history_.IsOpen()) return;
    dlg_.history = &history_;
    dlg_.historyContext = CliHistoryContext(o_);
    // The site's sender connects while the command runs, and sends the command's event as it
    // ends; a site away or refusing is told once and costs the command at most a moment.
    const history::SiteChoice site = ChooseCliSite(o_, history_.settings);
    if (site.problem) Message("velmoor-cli: %s", site.problem.message.c_str());
    if (!site.set || site.problem) return;
    sender_ = std::make_unique<history::SiteSender>(history_.File(), site.setting);
    siteShown_ = site.setting.shown;
    sender_->Start();
  }

  // Sends the command's event to the site, waiting a moment at most.
  void FinishSite() {
    if (!sender_) return;
    sender_->Finish(std::chrono::milliseconds(1500));
    std::string told = sender_->TakeMessage();
    // A site that said nothing in that moment is told as the others are.
    const history::SiteState s = sender_->State();
    if (told.empty() && !s.problem && s.waiting != 0)
      told = "The site server (" + siteShown_ +
             ") did not answer in time. The bench goes on with this PC's history; the events wait here and are "
             "sent later.";
    if (!told.empty()) Message("velmoor-cli: %s", told.c_str());
    sender_.reset();
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

  // The window's start-up: folders, then the search over COM1 to COM10 (or the named port).
  // Returns the outcome of finding the unit: Done, NoUnit or PortFailed (the reasons are on
  // standard error).
  Outcome Connect() {
    dlg_.OnInitDialog();
    if (o_.port > 0) {
      dlg_.rawReplies = true;  // as the search leaves it
      dlg_.unitPort = o_.port;
      dlg_.ConnectToUnit();
    } else {
      dlg_.OnTimer(kSearchTimerId);
    }
    if (!dlg_.ended && dlg_.unit.port.isOpen) {
      // A named port is not probed until the command runs: the unit is named when it answers.
      if (o_.port <= 0) Message("Velmoor on Comm %d", dlg_.unitPort);
      return MakeOutcome(OutcomeKind::Done, "connect");
    }
    Outcome o = MakeOutcome(OutcomeKind::NoUnit, "connect", "no unit answered");
    const PortOpenReport& report = dlg_.unit.port.LastOpenReport();
    if (o_.port > 0 && !report.opened) {
      o.kind = OutcomeKind::PortFailed;
      o.port = report;
      o.reason = "the port would not open";
    }
    Message("%s", TerminalText(dlg_.paneText.empty() ? o.reason : dlg_.paneText).c_str());
    return o;
  }

  // A command whose unit was not found (the search found none, or the named port would not open)
  // is in the history all the same: under the unit last read on the named port, else with none.
  void RecordNotConnected(Outcome o) {
    if (!dlg_.history) return;
    for (const CommandRow& row : kCommandRows)
      if (o_.command == row.command) o.action = dlg_.ActionName(row.control);
    if (o_.command == "run") o.action = dlg_.ActionName(ctl::kLoadCommands);
    dlg_.historyContext.port = o_.port > 0 ? dlg_.PortName() : std::string();
    const std::string problem = history::RecordOutcome(*dlg_.history, dlg_.historyContext, o,
                                                       dlg_.unit.status.currentStatus, dlg_.unit.status.currentChecks,
                                                       false);
    if (!problem.empty()) Message("velmoor-cli: %s", problem.c_str());
  }

  int Run(const std::string& c) {
    if (c == "run") return Finish(RunCommandFile());
    if (c == "quickset") {
      op_.scheme = o_.args[0];
      op_.power = o_.power;
      op_.gain = o_.gain;
    }
    if (c == "load") op_.file = o_.args[0];
    if (c == "status") dlg_.rawReplies = false;  // the status report rather than the raw replies
    for (const CommandRow& row : kCommandRows)
      if (c == row.command) return Finish(dlg_.OnCommand(row.control));
    return ex::kUsage;
  }

 private:
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
        Print(StatusJson(dlg_.unit.status.currentChecks, dlg_.unit.status.currentStatus));
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

  Outcome RunCommandFile() {
    op_.file = o_.args[0];
    Outcome loaded = dlg_.OnCommand(ctl::kLoadCommands);
    if (!loaded.Ok()) return loaded;
    const int i = o_.button - 1;
    if (dlg_.commandCaption[i].empty() || dlg_.commandText[i].empty()) {
      return MakeOutcome(OutcomeKind::BadFile, "Load test commands",
                         o_.args[0] + " gives button " + std::to_string(o_.button) + " no command");
    }
    return dlg_.OnCommand(ctl::kCommandButtons[i]);
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
  history::HistoryStore history_;
  std::unique_ptr<history::SiteSender> sender_;
  std::string siteShown_;  // the site's setting as it is shown
  CliOperator op_;
  LoggedOperator logged_;
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
  // The unit history's commands read this PC's store: no unit, no port.
  if (IsHistoryCommand(o.command)) return RunHistoryCommand(o, result, messages);
  if (o.command == "site") return RunSiteCommand(o, result, messages);

  // The serial side: the simulated unit, or the machine's ports.
  std::string switchError;
  SerialSide side(
      o.simulate, o.simSwitches, [&] { return machinePorts(o.paths); }, nullptr, switchError);
  if (!side.Port()) {
    std::fprintf(messages, "%s\n", switchError.c_str());
    return ex::kUsage;
  }
  CCommPort* port = side.Port();
  ISerialProvider* ports = side.Ports();
  if (o.command == "ports") return ListPorts(*ports, result, messages);

  // The session log of the wire, shared with the window (T7Status/logs/); off with --no-log.
  // A log that cannot be written is told once on standard error, and the command goes on.
  struct LogScope {
    LogScope(const CliOptions& o, std::FILE* messages) : messages_(messages) {
      SessionLog::Start(o.paths, !o.noLog, std::string("velmoor-cli ") + kProgramVersion,
                        o.commandLine.empty() ? o.command : o.commandLine);
    }
    ~LogScope() {
      if (const auto log = SessionLog::Get()) {
        log->Flush();
        const std::string failure = log->TakeFailure();
        if (!failure.empty()) std::fprintf(messages_, "velmoor-cli: %s\n", failure.c_str());
      }
      if (exitCode) SessionLog::Stop(*exitCode);
      else SessionLog::Stop();
    }
    std::FILE* messages_;
    std::optional<int> exitCode;  // none when an exception ends the run
  } logScope(o, messages);

  int code = ex::kUsage;
  try {
    Session session(o, *port, result, messages);
    session.CheckAnswers();
    session.OpenHistory();
    const Outcome connected = session.Connect();
    if (!connected.Ok()) session.RecordNotConnected(connected);
    code = connected.Ok() ? session.Run(o.command) : ExitCodeFor(connected.kind);
    session.FinishSite();
  } catch (const FileProblem& e) {
    std::fprintf(messages, "%s\n", e.what());
    code = ex::kBadFile;
  } catch (const CliUsageError& e) {
    std::fprintf(messages, "velmoor-cli: %s\n", e.what());
    code = ex::kUsage;
  }
  port->Close();
  std::fflush(result);
  logScope.exitCode = code;
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
