// The unit history's field objects, as read back from a database that may be damaged or written
// by someone else: any bytes either parse or are refused, and what parses comes back the same
// when written and read again.
#include "fuzz_support.h"
#include "history/history_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace history;
  FieldTexts texts;
  std::vector<int> changed;
  if (!ApplyFieldsJson(std::string_view(reinterpret_cast<const char*>(data), size), texts, &changed)) return 0;
  FieldTexts again;
  fuzz::Expect(ApplyFieldsJson(FieldsJson(texts, changed), again), "written fields parse");
  fuzz::Expect(again == texts, "written fields read back the same");
  return 0;
}
