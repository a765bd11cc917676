// Windows port names and the port list built from the registry's SERIALCOMM entries.
#include <gtest/gtest.h>

#include "platform/port_names.h"

TEST(ComPortNames, NumberOfNameAndTheOrderedDescribedList) {
  const struct {
    const char* name;
    int number;
  } cases[] = {{"COM1", 1},  {"com12", 12}, {"COM255", 255}, {"COM256", 0}, {"COM0", 0},
               {"COM03", 0}, {"COM", 0},    {"COM1A", 0},    {"LPT1", 0},   {"COM-1", 0}};
  for (const auto& c : cases) EXPECT_EQ(ComNumberOfName(c.name), c.number) << c.name;

  // The list: ordered, one entry per number, each described.
  auto list = ComPortList({{12, "COM12", "USB Serial Port (COM12)", 0, 0, "", ""},
                           {0, "LPT1", "printer", 0, 0, "", ""},
                           {3, "COM3", "", 0, 0, "", ""},
                           {12, "COM12", "a second entry", 0, 0, "", ""},
                           {1, "COM1", "\\Device\\Serial0", 0, 0, "", ""}});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].device, "COM1");
  EXPECT_EQ(list[1].description, "serial device");
  EXPECT_EQ(list[2].description, "USB Serial Port (COM12)");
}
