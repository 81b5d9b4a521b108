// The two data files: where they are looked for, their checks, and their loading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "filecheck.h"

struct BITMAP;
struct SAMPLE;

// The pointer image and the sample, each looked for in the working folder, then in the folder
// that holds the program (an unpacked zip, the build tree), then in the data folder of an
// installed program; the first place that has the file is the one used. Null when it is
// missing, refused by its check or not read by the library, with `why` saying "could not load
// PATH (REASON)".
BITMAP* LoadCrosshair(std::string& why);
SAMPLE* LoadSound(std::string& why);

// Runs `check` on the file `f` opened for reading (null: it could not be opened), and closes it;
// also refuses what is not a regular file.
std::string CheckFile(std::FILE* f, std::string (*check)(ReadAt, const void*, uint64_t));
