// The status report keeps its decimal points under a decimal-comma locale. Not on Windows: the
// locale is made with glibc's localedef into a private folder (LOCPATH).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "status/status_report.h"
#include "tests/support/test_bench.h"

namespace {

TEST(StatusReport, NumbersIgnoreTheLocale) {
  // A German locale (decimal comma), made for the test in a private folder from the locale
  // sources that scripts/install-deps.sh installs: the report keeps its points.
  UnitStatus s;
  s.Tat = 12.5f;
  const std::filesystem::path dir = FreshTempDir("locale");
  const std::string make = "localedef -c -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  (void)std::system(make.c_str());  // -c: warnings do not stop it; success shows in setlocale
  ::setenv("LOCPATH", dir.c_str(), 1);
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  const std::string text = TimingPowerText(s);
  std::setlocale(LC_ALL, saved.c_str());
  ::unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(comma) << "localedef could not make de_DE.UTF-8: run scripts/install-deps.sh (package locales)";
  EXPECT_EQ(text.substr(0, 10), "TAT 12.50 ");
}

}  // namespace
