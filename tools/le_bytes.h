// Little-endian writers for the binary files the build and the tests make (BMP, WAV, ICO), into
// any byte container: std::vector<uint8_t> or std::string.
#pragma once

#include <cstdint>

template <class Bytes>
void Put16(Bytes& b, unsigned v) {
  using Byte = typename Bytes::value_type;
  b.push_back(static_cast<Byte>(v & 0xff));
  b.push_back(static_cast<Byte>((v >> 8) & 0xff));
}

template <class Bytes>
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xffff);
  Put16(b, v >> 16);
}
