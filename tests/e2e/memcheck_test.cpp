// One whole session of the real program under valgrind's memcheck: start, mark, run, clear,
// quit. No invalid access, no use of uninitialised memory, and no leak of the program's own.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "harness.h"

namespace {

TEST(Memcheck, ASessionHasNoErrorsAndLeaksNothingOfItsOwn) {
  e2e::Launch how;
  const std::string log = "/tmp/soundpath-memcheck-" + std::to_string(getpid()) + ".log";
  how.wrapper = {"valgrind",
                 "--error-exitcode=99",
                 "--leak-check=full",
                 "--show-leak-kinds=definite,indirect",
                 "--errors-for-leak-kinds=definite,indirect",
                 "--suppressions=" SOUNDPATH_SOURCE_DIR "/tests/sanitizers/valgrind.supp",
                 "--log-file=" + log};
  e2e::Program p(how);
  ASSERT_TRUE(p.WaitForWindow(60000));
  p.MoveTo(400, 300);
  p.Click(1, 200);
  p.MoveTo(410, 303);
  p.Click(1, 200);
  p.Click(3, 200);
  e2e::SleepMs(8000);  // a short path and the fade, slowed down by valgrind
  p.Key("Delete", 300);
  p.Key("Escape", 300);
  int status = p.WaitForExit(60000);

  std::ifstream in(log);
  std::stringstream report;
  report << in.rdbuf();
  std::remove(log.c_str());
  EXPECT_EQ(status, 0) << report.str();
  EXPECT_NE(report.str().find("ERROR SUMMARY: 0 errors"), std::string::npos) << report.str();
}

}  // namespace
