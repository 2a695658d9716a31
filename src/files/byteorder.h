// Byte-order helpers: every integer and IEEE number that a binary file holds
// is read and written here, one field at a time, in the order the file names
// (HILO: most significant byte first; LOHI: least significant first). No
// structure is ever copied to or from a file whole. `ByteReader` adds bounds
// checks with a sticky failure flag; `ByteWriter` appends to a buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

enum : int { BO_HILO = 1, BO_LOHI = 2 };

// Byte order of this machine (BO_HILO or BO_LOHI).
inline int bo_native() {
  const uint16_t one = 1;
  unsigned char b;
  std::memcpy(&b, &one, 1);
  return b ? BO_LOHI : BO_HILO;
}

inline uint16_t bo_get2(const unsigned char* p, bool hilo) {
  return hilo ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t bo_get4(const unsigned char* p, bool hilo) {
  if (hilo)
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
  return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[1]) << 8 | p[0];
}
inline uint64_t bo_get8(const unsigned char* p, bool hilo) {
  uint64_t hi = bo_get4(hilo ? p : p + 4, hilo), lo = bo_get4(hilo ? p + 4 : p, hilo);
  return hi << 32 | lo;
}
inline void bo_put2(unsigned char* p, uint16_t v, bool hilo) {
  unsigned char a = static_cast<unsigned char>(v >> 8), b = static_cast<unsigned char>(v);
  p[0] = hilo ? a : b;
  p[1] = hilo ? b : a;
}
inline void bo_put4(unsigned char* p, uint32_t v, bool hilo) {
  for (int i = 0; i < 4; ++i) p[hilo ? 3 - i : i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void bo_put8(unsigned char* p, uint64_t v, bool hilo) {
  for (int i = 0; i < 8; ++i) p[hilo ? 7 - i : i] = static_cast<unsigned char>(v >> (8 * i));
}

// Signed and floating views of the same fields.
inline int16_t bo_gets2(const unsigned char* p, bool hilo) { return static_cast<int16_t>(bo_get2(p, hilo)); }
inline int32_t bo_gets4(const unsigned char* p, bool hilo) { return static_cast<int32_t>(bo_get4(p, hilo)); }
inline float bo_getflt(const unsigned char* p, bool hilo) {
  uint32_t b = bo_get4(p, hilo);
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}
inline double bo_getdbl(const unsigned char* p, bool hilo) {
  uint64_t b = bo_get8(p, hilo);
  double d;
  std::memcpy(&d, &b, 8);
  return d;
}
inline void bo_putflt(unsigned char* p, float f, bool hilo) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  bo_put4(p, b, hilo);
}
inline void bo_putdbl(unsigned char* p, double d, bool hilo) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  bo_put8(p, b, hilo);
}

// Reverses the bytes of one field of `width` bytes in place (1 is a no-op).
inline void bo_swap(unsigned char* p, int width) {
  switch (width) {
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      v = __builtin_bswap16(v);
      std::memcpy(p, &v, 2);
      return;
    }
    case 4: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      v = __builtin_bswap32(v);
      std::memcpy(p, &v, 4);
      return;
    }
    case 8: {
      uint64_t v;
      std::memcpy(&v, p, 8);
      v = __builtin_bswap64(v);
      std::memcpy(p, &v, 8);
      return;
    }
    default:
      for (int i = 0, j = width - 1; i < j; ++i, --j) {
        unsigned char t = p[i];
        p[i] = p[j];
        p[j] = t;
      }
  }
}

namespace bo_detail {
template <class U>
inline void putcells(unsigned char* dst, long dstride, const unsigned char* src, long n, bool swap) {
  for (long i = 0; i < n; ++i, dst += dstride, src += sizeof(U)) {
    U v;
    std::memcpy(&v, src, sizeof(U));
    if constexpr (sizeof(U) == 2) { if (swap) v = __builtin_bswap16(v); }
    if constexpr (sizeof(U) == 4) { if (swap) v = __builtin_bswap32(v); }
    if constexpr (sizeof(U) == 8) { if (swap) v = __builtin_bswap64(v); }
    std::memcpy(dst, &v, sizeof(U));
  }
}
}  // namespace bo_detail

// Copies n numeric fields of `width` bytes (1, 2, 4 or 8) from consecutive
// places at src to places dstride bytes apart at dst, reversing each when
// `swap`: one column of a block of records. The width is dispatched once so
// the loop is a plain load, byte swap and store.
inline void bo_putcells(unsigned char* dst, long dstride, const unsigned char* src, int width, long n,
                        bool swap) {
  switch (width) {
    case 1: bo_detail::putcells<uint8_t>(dst, dstride, src, n, false); return;
    case 2: bo_detail::putcells<uint16_t>(dst, dstride, src, n, swap); return;
    case 4: bo_detail::putcells<uint32_t>(dst, dstride, src, n, swap); return;
    case 8: bo_detail::putcells<uint64_t>(dst, dstride, src, n, swap); return;
    default:
      for (long i = 0; i < n; ++i, dst += dstride, src += width) {
        std::memcpy(dst, src, static_cast<size_t>(width));
        if (swap) bo_swap(dst, width);
      }
  }
}

// Reads fields from a byte buffer in one byte order. Reading past the end
// sets `fail` and yields zeros, so a parser checks once after a section.
struct ByteReader {
  const unsigned char* p = nullptr;
  size_t n = 0;        // bytes available
  size_t pos = 0;      // next byte to read
  bool hilo = true;    // byte order of the fields
  bool fail = false;   // a read went past the end
  ByteReader() = default;
  ByteReader(const unsigned char* data, size_t len, bool hl) : p(data), n(len), hilo(hl) {}
  bool have(size_t k) {
    if (fail || n - pos < k) {
      fail = true;
      return false;
    }
    return true;
  }
  uint8_t u1() { return have(1) ? p[pos++] : 0; }
  uint16_t u2() {
    if (!have(2)) return 0;
    pos += 2;
    return bo_get2(p + pos - 2, hilo);
  }
  uint32_t u4() {
    if (!have(4)) return 0;
    pos += 4;
    return bo_get4(p + pos - 4, hilo);
  }
  void skip(size_t k) {
    if (have(k)) pos += k;
  }
  // A fixed-width character field, cut at its first NUL.
  std::string text(size_t width) {
    if (!have(width)) return std::string();
    const char* s = reinterpret_cast<const char*>(p + pos);
    pos += width;
    return std::string(s, strnlen(s, width));
  }
  const unsigned char* bytes(size_t k) {
    if (!have(k)) return nullptr;
    pos += k;
    return p + pos - k;
  }
};

// Appends fields to a byte buffer in one byte order.
struct ByteWriter {
  std::vector<unsigned char> buf;
  bool hilo = true;
  explicit ByteWriter(bool hl = true) : hilo(hl) {}
  void u1(unsigned v) { buf.push_back(static_cast<unsigned char>(v)); }
  void u2(unsigned v) {
    size_t at = grow(2);
    bo_put2(&buf[at], static_cast<uint16_t>(v), hilo);
  }
  void u4(uint32_t v) {
    size_t at = grow(4);
    bo_put4(&buf[at], v, hilo);
  }
  // A fixed-width character field: the text cut to width-1 bytes, NUL padded.
  void text(const std::string& s, size_t width) {
    size_t at = grow(width);
    size_t k = s.size() < width ? s.size() : width - 1;
    std::memcpy(&buf[at], s.data(), k);
  }
  void bytes(const void* src, size_t k) {
    size_t at = grow(k);
    if (k) std::memcpy(&buf[at], src, k);
  }
  size_t grow(size_t k) {
    size_t at = buf.size();
    buf.resize(at + k, 0);
    return at;
  }
};
