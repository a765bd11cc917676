#include "history/record_outcome.h"

#include <exception>

#include "history/history_fields.h"
#include "history/sha256.h"
#include "history/unit_state.h"
#include "platform/file_ops.h"
#include "platform/session_log.h"
#include "platform/text_encoding.h"

namespace history {

namespace {
// A program load names its file and counts its records.
bool IsProgramLoad(const Outcome& o) { return o.recordsTotal > 0 && !o.file.empty(); }
}  // namespace

HistoryEvent EventOf(const HistoryContext& context, const Outcome& outcome, const UnitStatus& status,
                     const std::string& defaultBench) {
  HistoryEvent ev;
  ev.time = DateTime::NowUtc();
  ev.unitId = status.UnitId;
  ev.serial = text_encoding::Cp1252ToUtf8(status.SerialNo.view(), true);
  ev.bench = !context.bench.empty() ? context.bench : !defaultBench.empty() ? defaultBench : file_ops::HostName();
  ev.operatorName = !context.operatorName.empty() ? context.operatorName : file_ops::LoginName();
  ev.terminal = context.terminal;
  ev.action = outcome.action;
  ev.outcome = OutcomeKindName(outcome.kind);
  ev.reason = outcome.reason;
  ev.failedReaders = outcome.failedReaders;
  ev.differences = outcome.differences;
  ev.file = outcome.file;
  ev.recordsSent = outcome.recordsSent;
  ev.recordsTotal = outcome.recordsTotal;
  ev.durationMs = context.durationMs;
  ev.testResult = outcome.testResult;
  ev.command = outcome.command;
  // The reply that a command brought; other operations' pane texts are the status report, which
  // the fields already hold.
  if (!outcome.command.empty()) ev.reply = outcome.pane;
  ev.logFile = context.logFile;
  if (ev.logFile.empty())
    if (const auto log = SessionLog::Get())
      ev.logFile = file_ops::PathText(log->FileFor(std::chrono::system_clock::now()));
  return ev;
}

std::string RecordOutcome(HistoryStore& store, const HistoryContext& context, const Outcome& outcome,
                          const UnitStatus& status, const StatusChecks& checks, bool statusWasRead,
                          bool sensorsRead) {
  if (!store.IsOpen()) return store.TakeMessage();
  try {
    HistoryEvent ev = EventOf(context, outcome, status, store.settings.bench);
    ev.port = context.port;
    ev.statusRead = statusWasRead && status.UnitId != -1;
    if (status.UnitId == -1) {
      // The operation did not read its unit: the one the command line names, else the one this
      // bench read last on the port (no traffic is added to find it).
      if (!context.namedUnit.empty()) {
        if (auto id = store.FindUnit(context.namedUnit)) ev.unitId = *id;
        else if (auto hex = UnitIdOfHex(context.namedUnit)) ev.unitId = *hex;
        if (ev.unitId != -1) ev.unitFrom = "option";
        else ev.serial = context.namedUnit;
      } else if (auto last = store.LastUnitOnPort(context.port)) {
        ev.unitId = last->first;
        ev.serial = last->second;
        ev.unitFrom = "port";
      }
    }
    if (IsProgramLoad(outcome))
      if (auto digest = Sha256::HexOfFile(file_ops::PathFromUtf8(outcome.file))) ev.fileSha256 = *digest;
    const FieldTexts fields = TextsOf(checks, status);
    FieldMask read = FieldsRead(ev.statusRead, ev.failedReaders, fields);
    if (sensorsRead && !ev.statusRead)
      for (const char* sensor : {"DepthOffset", "PressureFullScale", "PressureAccuracy"}) {
        const auto i = static_cast<size_t>(*FieldIndex(sensor));
        if (fields[i] != NotReadTexts()[i]) read.set(i);
      }
    store.Append(ev, ev.unitId != -1 ? &fields : nullptr, &read);
  } catch (const std::exception& e) {
    // Out of memory and the like: the operation is done and saved; only its history is lost.
    return "The unit history could not be written: " + std::string(e.what());
  }
  return store.TakeMessage();
}

std::string OpenHistory(HistoryStore& store, const std::filesystem::path& file, const DataPaths& paths,
                        const HistoryContext& context) {
  if (!store.Open(file)) return store.TakeMessage();
  if (store.ImportStatusFile(paths.CurrentStatusFile(), context.operatorName, context.terminal) < 0)
    return store.TakeMessage();
  return {};
}

}  // namespace history
