// The header and size checks that stand before the library's loaders.
#include <gtest/gtest.h>

#include <string>

#include "datafiles.h"
#include "faults/fault_files.h"
#include "filecheck.h"

namespace {

std::string Bmp(const std::string& b) {
  return CheckPointerBmp(reinterpret_cast<const uint8_t*>(b.data()), b.size());
}
std::string Wav(const std::string& b) {
  return CheckSampleWav(reinterpret_cast<const uint8_t*>(b.data()), b.size());
}

TEST(FileCheck, PointerImagesTheLibraryCanShowPass) {
  for (int bpp : {1, 4, 8, 24, 32}) EXPECT_EQ(Bmp(faults::Bmp(32, 32, bpp)), "") << bpp;
  EXPECT_EQ(Bmp(faults::Bmp(31, 31, 8)), "");
  EXPECT_EQ(Bmp(faults::Bmp(256, 256, 8)), "");
}

TEST(FileCheck, BrokenOrUnsuitablePointerImagesAreRefusedWithAReason) {
  const std::string good = faults::Bmp(32, 32, 8);
  EXPECT_EQ(Bmp(""), "the file is empty");
  EXPECT_EQ(Bmp("GIF89a"), "not a BMP file");
  EXPECT_EQ(Bmp(good.substr(0, 30)), "the file stops inside its header");
  EXPECT_EQ(Bmp(good.substr(0, good.size() - 1)), "the pixel data is cut short");
  EXPECT_NE(Bmp(faults::Bmp(32, 32, 8, true)).find("top-down"), std::string::npos);
  EXPECT_NE(Bmp(faults::Bmp(257, 32, 8)).find("257x32"), std::string::npos);
  EXPECT_NE(Bmp(faults::Bmp(4000, 4000, 8)).find("more than a pointer"), std::string::npos);

  std::string zero = good;
  for (int i = 18; i < 26; i++) zero[i] = 0;
  EXPECT_EQ(Bmp(zero), "an image with no pixels");
  std::string depth = good;
  depth[28] = 7;
  EXPECT_NE(Bmp(depth).find("7 bits"), std::string::npos);
  std::string header = good;
  header[14] = 124;  // a newer header kind than the library reads
  EXPECT_NE(Bmp(header).find("124 bytes"), std::string::npos);
  std::string offset = good;
  offset[10] = offset[11] = offset[12] = '\x7f';
  EXPECT_EQ(Bmp(offset), "its pixel data lies outside the file");
  std::string rle = good;
  rle[30] = 1;  // RLE8: the fuzzer found the library's decoders writing past the image
  EXPECT_EQ(Bmp(rle), "run-length compression, which is not accepted");
  std::string bitfields = good;
  bitfields[30] = 3;  // only for 16 and 32 bits
  EXPECT_EQ(Bmp(bitfields), "an unsupported compression");
}

TEST(FileCheck, SamplesTheLibraryCanPlayPass) {
  EXPECT_EQ(Wav(faults::Wav(1, 44100, 16, 1000)), "");
  EXPECT_EQ(Wav(faults::Wav(2, 8000, 8, 1)), "");
  // Chunks the program does not use are stepped over as the library steps over them: with no
  // padding after an odd size.
  std::string listed = faults::Wav(1, 44100, 16, 100);
  listed.insert(36, std::string("LIST\x05\0\0\0abcde", 13));
  EXPECT_EQ(Wav(listed), "");
}

TEST(FileCheck, BrokenOrUnplayableSamplesAreRefusedWithAReason) {
  const std::string good = faults::Wav(1, 44100, 16, 1000);
  EXPECT_EQ(Wav(""), "the file is empty");
  EXPECT_EQ(Wav("OggS...."), "not a WAV file");
  EXPECT_EQ(Wav(good.substr(0, 30)), "its format chunk is cut short");
  std::string short_format = good;
  short_format[16] = 8;  // a format chunk of 8 bytes, too short to say what the samples are
  EXPECT_EQ(Wav(short_format), "its format chunk is cut short");
  EXPECT_EQ(Wav(good.substr(0, 36)), "no sample data");
  EXPECT_EQ(Wav(good.substr(0, 12)), "no format chunk");
  EXPECT_EQ(Wav(faults::Wav(1, 44100, 16, 0)), "no samples");
  EXPECT_EQ(Wav(faults::Wav(1, 44100, 16, 10, 1, 1000000)),
            "it claims more sample data than the file holds");
  EXPECT_NE(Wav(faults::Wav(1, 44100, 24, 10)).find("24-bit"), std::string::npos);
  EXPECT_EQ(Wav(faults::Wav(1, 44100, 32, 10, 3)), "not integer PCM (format 3)");
  EXPECT_EQ(Wav(faults::Wav(3, 44100, 16, 10)), "neither mono nor stereo");
  EXPECT_EQ(Wav(faults::Wav(1, 0, 16, 10)), "a sample rate of 0");
  // The library reads every chunk to the end of the file, a second "data" chunk too: the
  // fuzzer found one whose size made it ask for a block of nearly 2^64 bytes.
  std::string twice = good + good.substr(36);
  EXPECT_EQ(Wav(twice), "more than one data chunk");
  // A chunk of another name running past the end only ends the library's walk.
  EXPECT_EQ(Wav(good + "JUNK\xff\xff\xff\x7f"), "");
  EXPECT_EQ(Wav(good + "data"), "it claims more sample data than the file holds");
  // After a data chunk of 17 bytes of 16-bit samples the library stands after the 16th byte,
  // where this file has another chunk name: the fuzzer found the first sample leaked.
  std::string odd = faults::Wav(1, 44100, 16, 8);
  odd[40] = 17;
  EXPECT_EQ(Wav(odd + "data"), "it claims more sample data than the file holds");
  EXPECT_EQ(Wav(odd + "ZZZZ"), "");
  // A chunk of 2 GiB or more is not skipped: the library reads on inside it, and so does the
  // check (found by fuzzing, with a "data" chunk hidden there).
  std::string hidden = good + "JUNK\xff\xff\xff\xff" + "data\xff\xff\xff\x7f";
  EXPECT_EQ(Wav(hidden), "it claims more sample data than the file holds");
  EXPECT_EQ(Wav(good + '\0'), "");  // a pad byte after the samples
  std::string formats = good;
  formats.insert(36, good.substr(12, 24));
  EXPECT_EQ(Wav(formats), "more than one format chunk");
}

TEST(FileCheck, WhatIsNotARegularFileIsRefusedBeforeItIsRead) {
  EXPECT_EQ(CheckFile(std::fopen("no-such-file.wav", "rb"), CheckSampleWav), "it cannot be read");
  EXPECT_EQ(CheckFile(std::fopen(".", "rb"), CheckSampleWav), "it is not a regular file");
  // The generated ones, beside the tests.
  EXPECT_EQ(CheckFile(std::fopen("sound.wav", "rb"), CheckSampleWav), "");
  EXPECT_EQ(CheckFile(std::fopen("crosshair.bmp", "rb"), CheckPointerBmp), "");
}

}  // namespace
