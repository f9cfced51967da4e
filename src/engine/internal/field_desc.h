// One column of a dBASE table as the engine's parts share it: the table reader, the filter
// compiler and the index builder all address a row's bytes through this.
#ifndef TVR_ENGINE_INTERNAL_FIELD_DESC_H_
#define TVR_ENGINE_INTERNAL_FIELD_DESC_H_

#include <cstdint>
#include <string>

namespace tvr::engine {

struct FieldDesc {
  std::string name;           // column name as stored, upper case, at most 10 characters
  char type = 'C';            // dBASE type letter: C, N, F, D, L, M
  std::uint32_t offset = 0;   // first byte of the column in the record; byte 0 is the deletion flag
  std::uint16_t length = 0;   // column width in bytes (10 for a memo block number)
  std::uint8_t decimals = 0;  // decimal places of N and F columns
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_FIELD_DESC_H_
