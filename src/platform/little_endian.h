// Little-endian numbers in byte buffers: the one home for the 16- and 32-bit numbers of the
// dBASE table, memo and index files, whatever byte order the machine has.
#ifndef TVR_PLATFORM_LITTLE_ENDIAN_H_
#define TVR_PLATFORM_LITTLE_ENDIAN_H_

#include <cstdint>

namespace tvr::platform {

constexpr std::uint16_t LoadLittle16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint32_t LoadLittle32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

constexpr void StoreLittle16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

constexpr void StoreLittle32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_LITTLE_ENDIAN_H_
