// The command line's operator in-process: how many times one step of an operation is repeated
// before it is answered No, counted by question and step whatever the question's text says.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/cli_operator.h"

TEST(CliOperator, RepeatsAreCountedByQuestionAndStepNotByText) {
  std::FILE* messages = std::tmpfile();
  ASSERT_NE(messages, nullptr);
  CliOperator op(messages);
  op.answer = true;
  op.retries = 1;
  std::string answers;
  auto ask = [&](Question q, int step, unsigned mask = 0) {
    char text[100];
    std::snprintf(text, sizeof text, "Status recovery fault\r\nOnly partial status recovered %02x\r\nRetry?", mask);
    answers += op.AskAt(q, step, text, "Quickset", MbIcon::Question) == MbAnswer::Yes ? 'Y' : 'N';
  };
  // The read-back after the first update, with another mask each time: one step all the same.
  for (unsigned mask : {0x02u, 0x0au, 0x08u}) ask(Question::StatusRecoveryRetry, 1, mask);
  // The verification's "Retry?" is one step however often it comes; the read-backs of the later
  // updates between its repeats are steps of their own.
  for (int update : {2, 3}) {
    ask(Question::SettingsRetry, 0);
    ask(Question::StatusRecoveryRetry, update);
  }
  ask(Question::SettingsRetry, 0);
  // A program load's next line is a new step; progress makes every question a first answer again.
  for (int line : {12, 13, 13, 13}) ask(Question::ContinueProgramming, line);
  op.SetProgress(40);
  ask(Question::SettingsRetry, 0);
  EXPECT_EQ(answers, "YYN" "YYYYN" "YYYN" "Y");
  std::fclose(messages);
}
