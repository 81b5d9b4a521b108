// A read-only PACKFILE over a buffer, so that the library's own BMP and WAV readers can be fed
// fuzzer input directly: the same code that load_bitmap() and load_sample() run on a file.
#pragma once

#include <allegro.h>

#include <cstdint>
#include <cstring>

struct MemoryFile {
  const uint8_t* data;
  long size;
  long at;
};

inline int MemClose(void*) {
  return 0;
}
inline int MemGetc(void* u) {
  auto* m = static_cast<MemoryFile*>(u);
  return m->at < m->size ? m->data[m->at++] : EOF;
}
inline int MemUngetc(int c, void* u) {
  auto* m = static_cast<MemoryFile*>(u);
  if (m->at > 0) m->at--;
  return c;
}
inline long MemRead(void* p, long n, void* u) {
  auto* m = static_cast<MemoryFile*>(u);
  if (n < 0) return 0;
  long got = n < m->size - m->at ? n : m->size - m->at;
  std::memcpy(p, m->data + m->at, static_cast<size_t>(got));
  m->at += got;
  return got;
}
inline int MemPutc(int, void*) {
  return EOF;
}
inline long MemWrite(const void*, long, void*) {
  return 0;
}
// Forward only, as the library seeks; past the end it stands at the end, as a file does when
// it is seeked past its end and then read.
inline int MemSeek(void* u, int offset) {
  auto* m = static_cast<MemoryFile*>(u);
  if (offset < 0) return -1;
  m->at = offset > m->size - m->at ? m->size : m->at + offset;
  return 0;
}
inline int MemEof(void* u) {
  auto* m = static_cast<MemoryFile*>(u);
  return m->at >= m->size;
}
inline int MemError(void*) {
  return 0;
}

inline const PACKFILE_VTABLE kMemoryVtable = {MemClose, MemGetc, MemUngetc, MemRead, MemPutc,
                                              MemWrite, MemSeek, MemEof,    MemError};

// Starts the library once, without touching any hardware, at the program's colour depth.
inline bool StartLibraryForLoading() {
  static const bool ready = [] {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return false;
    set_color_depth(8);
    return true;
  }();
  return ready;
}

// Unset, the target stands where the program stands: only what passes the checks reaches the
// library. Set (FUZZ_UNGUARDED=1), everything does, to find what the checks must refuse.
inline bool Unguarded() {
  static const bool unguarded = std::getenv("FUZZ_UNGUARDED") != nullptr;
  return unguarded;
}
