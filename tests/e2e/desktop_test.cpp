// The program as a desktop sees it: the icon in its window's hints, and the installed desktop
// entry starting it where its data files are.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "capture.h"
#include "harness.h"
#include "soundpath.xpm"
#include "xpm_reader.h"

namespace {

using e2e::Launch;
using e2e::Program;

// The window's class: the second of WM_CLASS's two strings.
std::string WindowClass(Program& p) {
  const std::string both = p.TextProperty("WM_CLASS");
  const size_t cut = both.find('\0');
  return cut == std::string::npos ? "" : both.substr(cut + 1, both.find('\0', cut + 1) - cut - 1);
}

// What a taskbar, a dock or a window manager reads from the window: the icon in its hints and,
// on Linux, its name, class, process and the icons in the theme's sizes.
TEST(Desktop, TheWindowTellsTheDesktopWhoseItIs) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  Program::Icon icon = p.WindowIcon();
  const PixelMap map = ReadPixelMap(soundpath_icon);
  ASSERT_EQ(map.error, "");
  const int w = map.w, h = map.h;
  const std::vector<IconPixel>& want = map.pixels;
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
  if (!e2e::WineExe()) {  // Windows knows a program by its executable
    EXPECT_EQ(p.TextProperty("WM_CLASS"), std::string("soundpath\0soundpath\0", 20));
    EXPECT_EQ(p.TextProperty("_NET_WM_NAME"), "soundpath");
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(p.TextProperty("WM_CLIENT_MACHINE"), host);
    EXPECT_EQ(p.NumberProperty("_NET_WM_PID"),
              std::vector<unsigned long>{static_cast<unsigned long>(p.Pid())});
    // _NET_WM_ICON: width, height and ARGB pixels, one image after another.
    const std::vector<unsigned long> icons = p.NumberProperty("_NET_WM_ICON");
    std::vector<unsigned long> sizes;
    for (size_t at = 0; at + 2 <= icons.size(); at += 2 + icons[at] * icons[at + 1]) {
      ASSERT_EQ(icons[at], icons[at + 1]);
      ASSERT_LE(at + 2 + icons[at] * icons[at], icons.size());
      sizes.push_back(icons[at]);
      for (int i = 0; icons[at] == 32 && i < 32 * 32; i++) {
        const e2e::Rgb& c = icon.px[i];
        const unsigned long argb = icon.opaque[i] ? 0xff000000ul | c.r << 16 | c.g << 8 | c.b : 0ul;
        // (Xlib hands each item over as a signed long)
        EXPECT_EQ(icons[at + 2 + i] & 0xffffffffu, argb) << "32x32 at " << i % 32 << ", " << i / 32;
      }
    }
    EXPECT_EQ(sizes, (std::vector<unsigned long>{16, 24, 32, 48, 64, 128}));
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
  if (e2e::WineExe()) GTEST_SKIP() << "the desktop entry is the Linux package's";
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
  // Started as a desktop launcher starts it: that command, in that directory; then as a user
  // types it in a terminal, in an empty folder.
  for (const std::string& workdir : {how.workdir, std::string()}) {
    how.workdir = workdir;
    how.with_crosshair = how.with_sound = false;
    Program p(how);
    ASSERT_TRUE(p.WaitForWindow());
    EXPECT_EQ(p.Stderr(), "") << "both data files are found from " << workdir;
    p.MoveTo(400, 300);
    Program::Cursor c = p.PointerImage();
    EXPECT_EQ(c.xhot, 15) << "the crosshair, not the default arrow";
    EXPECT_EQ(c.yhot, 15);
    EXPECT_EQ(WindowClass(p), EntryValue(entry, "StartupWMClass")) << "a desktop matches them";
    p.Key("Escape");
    EXPECT_EQ(p.WaitForExit(1000), 0);
  }
  std::filesystem::remove_all(tmpl);
}

// The Windows installer, silent as a deployment runs it: the program it installs starts from the
// Start-menu shortcut, finds its files and plays; the uninstaller leaves nothing behind.
TEST(Desktop, TheWindowsInstallerInstallsAShortcutThatPlaysAndUninstallsEverything) {
#ifdef SOUNDPATH_INSTALLER
  const std::string installer = SOUNDPATH_INSTALLER;
#else
  const std::string installer;
#endif
  if (!e2e::WineExe() || installer.empty()) GTEST_SKIP() << "for the Windows installer";
  namespace fs = std::filesystem;
  const std::string dir = e2e::WineUserFolder() + "/AppData/Local/Programs/soundpath";
  const std::string shortcut =
      e2e::WineUserFolder() +
      "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/soundpath.lnk";
  const std::string key =
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\soundpath";
  ASSERT_EQ(e2e::RunWine({installer, "/S"}), 0);
  for (const char* f :
       {"soundpath.exe", "crosshair.bmp", "sound.wav", "README.txt", "uninstall.exe"})
    EXPECT_TRUE(fs::exists(dir + "/" + f)) << f;
  ASSERT_TRUE(fs::exists(shortcut));
  std::string entry;
  EXPECT_EQ(e2e::RunWine({"reg", "query", key}, &entry), 0);
  for (const char* value : {"DisplayName", "DisplayVersion", "0.1.0", "DisplayIcon",
                            "UninstallString", "QuietUninstallString"})
    EXPECT_NE(entry.find(value), std::string::npos) << value << " in " << entry;
  {
    Launch how;
    how.exe = shortcut;
    how.with_crosshair = how.with_sound = false;
    Program p(how);
    ASSERT_TRUE(p.WaitForWindow()) << "no window, or a message box first";
    ASSERT_TRUE(p.PointAt(400, 300));
    p.Click(1);
    p.Click(3);
    p.MoveTo(420, 320);
    EXPECT_EQ(p.PointerImage().xhot, 15) << "the crosshair";
    e2e::SleepMs(e2e::kFadeMs + 300);  // one point: the fade alone
    p.Key("Escape");
    // It ends; its status is that of Wine's start command, which since Wine 10 does not pass
    // on the status of a program started through a shortcut (4 for one that ended with 0).
    EXPECT_NE(p.WaitForExit(2000), -1);
    EXPECT_GT(e2e::PeakLevel(p.CapturePath()), 0.01) << "the sample was heard";
  }
  // As a user would, once the program has gone (Wine lets go of its file a moment after it
  // ends). The uninstaller runs on from a copy of itself in the temporary folder.
  e2e::WaitForWine();
  ASSERT_EQ(e2e::RunWine({dir + "/uninstall.exe", "/S"}), 0);
  for (int i = 0; i < 100 && fs::exists(dir); i++) e2e::SleepMs(100);
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_FALSE(fs::exists(shortcut));
  EXPECT_NE(e2e::RunWine({"reg", "query", key}), 0) << "the Apps & features entry is gone";
}

}  // namespace
