// The command line's operator in-process: how many times one step of an operation is repeated
// before it is answered No, counted by question and step whatever the question's text says.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/cli_operator.h"

namespace {

TEST(CliOperator, RepeatsAreCountedByQuestionAndStepNotByText) {
  std::FILE* messages = std::tmpfile();
  ASSERT_NE(messages, nullptr);
  CliOperator op(messages);
  op.answer = true;
  op.retries = 1;
  std::string answers;
  auto ask = [&](Question q, int step, const std::string& text) {
    answers += op.AskAt(q, step, text, "Quickset", MbIcon::Question) == MbAnswer::Yes ? 'Y' : 'N';
  };
  auto recovery = [](unsigned mask) {
    char text[100];
    std::snprintf(text, sizeof text, "Status recovery fault\r\nOnly partial status recovered %02x\r\nRetry?", mask);
    return std::string(text);
  };
  // The read-back after the first update, each time with another mask: one step all the same.
  for (unsigned mask : {0x02u, 0x0au, 0x08u}) ask(Question::StatusRecoveryRetry, 1, recovery(mask));
  // The verification's "Retry?" is one step however often it comes, with the read-backs of the
  // later updates (steps of their own) between its repeats.
  ask(Question::SettingsRetry, 0, "Unit NOT set correctly\r\nAddress is 1207 not 1305\r\nRetry?");
  ask(Question::StatusRecoveryRetry, 2, recovery(0x02));
  ask(Question::SettingsRetry, 0, "Unit NOT set correctly\r\nAddress is 1207 not 1305\r\nRetry?");
  ask(Question::StatusRecoveryRetry, 3, recovery(0x02));
  ask(Question::SettingsRetry, 0, "Unit NOT set correctly\r\nRXgain is 4 not 2\r\nRetry?");
  // Progress (a program load's next record went out): every question is a first answer again.
  op.SetProgress(40);
  ask(Question::SettingsRetry, 0, "Unit NOT set correctly\r\nRetry?");
  EXPECT_EQ(answers, "YYN" "YYYYN" "Y");

  // --retries 0 leaves every first answer as the option gave it, and No is never turned.
  op.retries = 0;
  op.SetProgress(41);
  answers.clear();
  ask(Question::EnableOrDisable, 0, "Enable Unit (Yes)\r\nor\r\nDisable unit to save battery power (No)");
  ask(Question::ContinueProgramming, 12, "Unsupported S record type read from file\r\n(Error number -12)");
  ask(Question::ContinueProgramming, 13, "Unsupported S record type read from file\r\n(Error number -12)");
  ask(Question::ContinueProgramming, 13, "Unsupported S record type read from file\r\n(Error number -12)");
  op.answer = false;
  ask(Question::ContinueProgramming, 14, "Record refused\r\n(Error number -3)");
  EXPECT_EQ(answers, "YYYNN");
  std::fclose(messages);
}

}  // namespace
