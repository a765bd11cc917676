#include "platform/operator.h"

const char* QuestionName(Question q) {
  switch (q) {
    case Question::Unnamed: return "unnamed";
    case Question::WidebandMode: return "wideband-mode";
    case Question::IncompleteStatus: return "incomplete-status";
    case Question::RunReleaseTest: return "release-test";
    case Question::ExportTransferTime: return "export-transfer-time";
    case Question::StatusRecoveryRetry: return "status-recovery-retry";
    case Question::SettingsRetry: return "settings-retry";
    case Question::EnableOrDisable: return "enable-or-disable";
    case Question::ContinueProgramming: return "continue-programming";
  }
  return "unnamed";
}

const char* PromptName(Prompt p) {
  switch (p) {
    case Prompt::Unnamed: return "unnamed";
    case Prompt::AtmosphericPressure: return "atmospheric-pressure";
    case Prompt::SerialNumber: return "serial-number";
    case Prompt::TestTransponderAddress: return "test-transponder-address";
  }
  return "unnamed";
}
