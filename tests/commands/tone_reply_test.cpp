// The tone acoustic check's judgement of the "#GCMD,8" reply, position by position.
#include <gtest/gtest.h>

#include <string>

#include "commands/unit_tests.h"

TEST(ToneReply, HeardOnlyForANonZeroDigitAmongTheFourthToNinthCharacters) {
  for (int position = 1; position <= 10; ++position) {
    SCOPED_TRACE("non-zero digit at character " + std::to_string(position));
    std::string value(10, '0');
    value[position - 1] = '5';
    const std::string reply = "#GCMD,8\rValue 0x" + value + "\r\n";
    EXPECT_EQ(ToneReplyHeard(reply.c_str()), position >= 4 && position <= 9);
  }
}
