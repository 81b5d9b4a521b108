// The program as a desktop sees it: the icon in its window's hints, and the installed desktop
// entry starting it where its data files are.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "harness.h"
#include "xpm_reader.h"

namespace {

using e2e::Launch;
using e2e::Program;

TEST(Desktop, TheWindowCarriesTheIconInItsHints) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  Program::Icon icon = p.WindowIcon();
  int w, h;
  std::vector<IconPixel> want = IconPixels(&w, &h);
  ASSERT_EQ(icon.w, w);
  ASSERT_EQ(icon.h, h);
  for (int i = 0; i < w * h; i++) {
    EXPECT_EQ(icon.opaque[i], want[i].opaque) << "mask at " << i % w << ", " << i / w;
    if (want[i].opaque && icon.opaque[i]) {
      const e2e::Rgb& got = icon.px[i];
      EXPECT_EQ(static_cast<unsigned>(got.r << 16 | got.g << 8 | got.b), want[i].rgb)
          << "colour at " << i % w << ", " << i / w;
    }
  }
  p.Key("Escape");
  EXPECT_EQ(p.WaitForExit(1000), 0);
}

std::string EntryValue(const std::string& file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return "";
}

// The entry that `cmake --install` writes into a scratch prefix, or the one named in
// SOUNDPATH_DESKTOP_ENTRY (the package's, installed on this machine).
TEST(Desktop, TheInstalledEntryStartsTheProgramWithItsFilesFound) {
  char tmpl[] = "/tmp/soundpath-install-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string prefix = std::string(tmpl) + "/usr";
  std::string entry = prefix + "/share/applications/org.soundpath.soundpath.desktop";
  if (const char* installed = std::getenv("SOUNDPATH_DESKTOP_ENTRY")) {
    prefix = "/usr";
    entry = installed;
  } else {
    const std::string install = std::string(CMAKE_COMMAND) + " --install " + SOUNDPATH_BUILD_DIR +
                                " --prefix " + prefix + " >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;
  }

  Launch how;
  how.exe = EntryValue(entry, "Exec");
  how.workdir = EntryValue(entry, "Path");
  EXPECT_EQ(how.exe, prefix + "/bin/soundpath");
  EXPECT_EQ(how.workdir, prefix + "/share/soundpath");
  {
    // Started as a desktop launcher starts it: that command, in that directory.
    Program p(how);
    ASSERT_TRUE(p.WaitForWindow());
    EXPECT_EQ(p.Stderr(), "") << "both data files are found";
    p.MoveTo(400, 300);
    Program::Cursor c = p.PointerImage();
    EXPECT_EQ(c.xhot, 15) << "the crosshair, not the default arrow";
    EXPECT_EQ(c.yhot, 15);
    p.Key("Escape");
    EXPECT_EQ(p.WaitForExit(1000), 0);
  }
  std::filesystem::remove_all(tmpl);
}

}  // namespace
