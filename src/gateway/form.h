// The request's form: the raw URL-encoded form data, the form pair table built from it, and
// GetFormField, the one way page builders read the form.
//
// The table has one entry per "=" in the form data (PairCount). Entries are filled in order from
// the "name=value" parts; a value that itself holds "=" stays whole, so such a form has more
// entries than filled pairs and the surplus entries stay empty. Only the filled entries are kept
// (FormPairs); the entries from FormPairs().size() up to PairCount() are the empty ones. The
// table is built once, before any page builder runs, and never changes afterwards.
//
// Recording (normal runs only): ReadFormData rewrites section "Debug" of the settings file in one
// write with the seventeen request variables followed by one key per form field name, several
// values of one name joined with "^" in order. Password fields (password_fields.h) are left
// out, and names that the settings file cannot hold as keys (holding "=" or a line break,
// starting with "[" or ";") too. The recording is a diagnostic aid: when the settings file
// cannot be written the request goes on unrecorded.
#ifndef TVR_GATEWAY_FORM_H_
#define TVR_GATEWAY_FORM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvr::gateway {

struct FormPair {
  std::string Name;   // URL-decoded
  std::string Value;  // URL-decoded
};

// The most bytes of a POST body the program reads: 8 MiB. A longer body (or a CONTENT_LENGTH
// claiming more) is read up to this many bytes and the form is parsed from those.
inline constexpr std::size_t kMaxFormBytes = 8u * 1024 * 1024;

// Fills FormData() and the form pair table: a POST ("POST" exactly) reads the body from standard
// input, at most ContentLength bytes (none when it is 0 or negative, never more than
// kMaxFormBytes), until that many arrived or the input ends; a short body is parsed as it is.
// Any other method takes the query string (the query string of a POST is ignored).
// In a normal run it then records the request (see above), also when a field fails to decode:
// the fields before it are recorded, then the failure goes on.
// Throws Failure 13 for a "%" escape that is not hexadecimal (url_decode.h), or when standard
// input cannot be read.
void ReadFormData();

// Parses `data` into its filled pairs, appended to `pairs` in order (also those before a decoding
// failure, when one is thrown). Returns the table size: the number of "=" in `data`.
int ParseFormData(std::string_view data, std::vector<FormPair>& pairs);

const std::string& FormData();
// The filled entries of the table, in order.
const std::vector<FormPair>& FormPairs();
// The number of entries of the table, filled or not.
int PairCount();

// The value of form field `name`, the match ignoring letter case; several entries of that name
// give their values joined with "^" ("first^second"); absent or empty gives "". In a replay the
// value of key `name` in section "Debug" ("" for an empty `name`). Throws Failure only in a
// replay, when the settings file cannot be read.
std::string GetFormField(std::string_view name);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_FORM_H_
