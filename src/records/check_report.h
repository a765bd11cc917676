// The rules of the check report that need no file.
#pragma once
#include "platform/date_time.h"

// A check time of the year 2000 or earlier counts as never done (the zero date lies in 1899).
bool NeverDone(const DateTime& when);

// The acoustic check exists from firmware version 1.1J on, read from the main firmware text:
// the version is the text after its first "V"; major and minor are the leading numbers before
// and after the first "."; the revision is the first letter after the "." (upper case), or
// its last character when it holds no letter.
bool AcousticCheckAvailable(const char* t7v);
