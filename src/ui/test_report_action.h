// The test report, run as one action over the whole unit.
#pragma once
#include "platform/fixed_text.h"
#include "platform/outcome.h"

class CTransponder;

// Runs the report (its text in the outcome's pane) and writes its file, telling the operator
// where it went (or that it could not be written: BadFile). NoUnit or Declined when it stopped
// before any report was made (the unit did not answer, or the status was incomplete and the
// operator chose not to go on). Refused when the self test failed. Each step's reply lands in
// replyText (the window's reply text) before the report takes it in: the status read's
// replies, then the self test's, the release test's and the sensor reading's in turn.
Outcome ProduceTestReport(CTransponder& unit, TextSpan replyText);
