// Linked into every test program: a question that the test did not script fails the running
// test, naming the question (the scripted operator then answers No).
#include <gtest/gtest.h>

#include "sim/scripted_operator.h"

namespace {
const bool kInstalled = [] {
  ScriptedOperator::unscripted = [](const std::string& question) {
    ADD_FAILURE() << "the test did not script this question: " << question;
  };
  return true;
}();
}  // namespace
