// Byte-order access for the graphics files (display lists, graph files and
// series-set files): every multi-byte field is read and written here, most
// significant byte first unless the file says otherwise.
#pragma once
#include <cstdint>
#include <cstring>

inline void gio_put2(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v >> 8);
  p[1] = static_cast<unsigned char>(v);
}
inline void gio_put4(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[3 - i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void gio_put8(unsigned char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[7 - i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void gio_putdbl(unsigned char* p, double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  gio_put8(p, b);
}
inline uint16_t gio_get2(const unsigned char* p, bool hilo) {
  return hilo ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t gio_get4(const unsigned char* p, bool hilo) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | p[hilo ? i : 3 - i];
  return v;
}
inline uint64_t gio_get8(const unsigned char* p, bool hilo) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[hilo ? i : 7 - i];
  return v;
}
inline double gio_getdbl(const unsigned char* p, bool hilo) {
  uint64_t b = gio_get8(p, hilo);
  double d;
  std::memcpy(&d, &b, 8);
  return d;
}
inline float gio_getflt(const unsigned char* p, bool hilo) {
  uint32_t b = gio_get4(p, hilo);
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}
inline void gio_putflt(unsigned char* p, float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  gio_put4(p, b);
}
