// The data files: the search for them, the checks made before the library reads them, and the
// library's loaders.
#include "datafiles.h"

#include "library.h"
#include "platform.h"

namespace {

constexpr const char* kCrosshairFile = "crosshair.bmp";
constexpr const char* kSoundFile = "sound.wav";

// The folder part of `path`, with its separator ("" when it has none).
std::string Folder(const std::string& path) {
  const size_t cut = path.find_last_of(kPathSeparators);
  return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

// The first of `places` where `name` is, or "" with `why` saying where it was looked for. Only
// that place is used: a file there that is refused is reported, not swapped for another one.
std::string FindDataFile(const char* name, const std::vector<std::string>& places,
                         std::string& why) {
  for (const std::string& place : places)
    if (lib::file_exists((place + name).c_str())) return place + name;
  why = "it is missing; looked in the working folder";
  for (size_t i = 1; i < places.size(); i++)
    why += (i + 1 == places.size() ? " and " : ", ") + places[i].substr(0, places[i].size() - 1);
  return "";
}

// Loads the data file `name` with `load` once `check` accepts it; null, with `why` said, if not.
template <class Handle>
Handle* LoadDataFile(const char* name, const std::vector<std::string>& places,
                     std::string (*check)(ReadAt, const void*, uint64_t),
                     Handle* (*load)(const char*), std::string& why) {
  std::string path = FindDataFile(name, places, why);
  Handle* loaded = nullptr;
  if (!path.empty()) {
    why = CheckFile(lib::open_file(path.c_str()), check);
    if (why.empty()) loaded = load(path.c_str());
    if (why.empty() && loaded == nullptr) why = "the library could not read it";
  } else {
    path = name;
  }
  if (loaded == nullptr) why = "could not load " + path + " (" + why + ")";
  return loaded;
}

size_t ReadOpenFile(const void* source, uint64_t offset, uint8_t* out, size_t n) {
  return ReadFileAt(static_cast<std::FILE*>(const_cast<void*>(source)), offset, out, n);
}

}  // namespace

// The working folder comes first, so that a folder holding the user's own files wins; the
// installed data folder is found from the program's own place, so that it follows whatever prefix
// the install used.
std::vector<std::string> DataPlaces() {
  std::vector<std::string> places{""};
  const std::string bin = Folder(lib::executable_path());
  if (bin.empty()) return places;
  places.push_back(bin);
  const std::string prefix = Folder(bin.substr(0, bin.size() - 1));
  if (kInstalledDataFolder != nullptr && !prefix.empty())
    places.push_back(prefix + kInstalledDataFolder);
  return places;
}

BITMAP* LoadCrosshair(const std::vector<std::string>& places, std::string& why) {
  return LoadDataFile(kCrosshairFile, places, CheckPointerBmp, lib::load_bitmap, why);
}

SAMPLE* LoadSound(const std::vector<std::string>& places, std::string& why) {
  return LoadDataFile(kSoundFile, places, CheckSampleWav, lib::load_sample, why);
}

std::string CheckFile(std::FILE* f, std::string (*check)(ReadAt, const void*, uint64_t)) {
  if (f == nullptr) return "it cannot be read";
  const int64_t size = RegularFileSize(f);
  const std::string why =
      size < 0 ? "it is not a regular file" : check(ReadOpenFile, f, static_cast<uint64_t>(size));
  std::fclose(f);
  return why;
}
