// Writes the fuzzers' seed corpora: the generated default data files and every file case of
// the fault matrix that is small enough to mutate.
//   make_seeds DATA_DIR OUT_DIR     (writes OUT_DIR/bmp and OUT_DIR/wav)
#include <filesystem>
#include <fstream>

#include "faults/fault_files.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const fs::path data = argv[1], out = argv[2];
  fs::create_directories(out / "bmp");
  fs::create_directories(out / "wav");
  fs::copy_file(data / "crosshair.bmp", out / "bmp" / "default.bmp",
                fs::copy_options::overwrite_existing);
  fs::copy_file(data / "sound.wav", out / "wav" / "default.wav",
                fs::copy_options::overwrite_existing);
  int n = 0;
  for (const faults::Case& c : faults::FileCases()) {
    n++;
    for (auto [contents, kind] : {std::pair{c.crosshair(), "bmp"}, std::pair{c.sound(), "wav"}}) {
      if (contents.empty() || contents[0] == '<' || contents.size() > 64 * 1024) continue;
      std::ofstream(out / kind / ("case" + std::to_string(n) + "." + kind), std::ios::binary)
          << contents;
    }
  }
  return 0;
}
