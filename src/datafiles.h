// The two data files: where they are looked for, their checks, and their loading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "filecheck.h"

struct BITMAP;
struct SAMPLE;

// Where the data files are looked for, in order: the working folder, the folder that holds the
// program (an unpacked zip, the build tree), and the data folder of an installed program. Each
// is a prefix for a file's name.
std::vector<std::string> DataPlaces();

// The pointer image and the sample, from the first of `places` that has the file. Null when it
// is missing, refused by its check or not read by the library, with `why` saying "could not
// load PATH (REASON)".
BITMAP* LoadCrosshair(const std::vector<std::string>& places, std::string& why);
SAMPLE* LoadSound(const std::vector<std::string>& places, std::string& why);

// Runs `check` on the file `f` opened for reading (null: it could not be opened), and closes it;
// also refuses what is not a regular file.
std::string CheckFile(std::FILE* f, std::string (*check)(ReadAt, const void*, uint64_t));
