// The request's form: the raw URL-encoded form data, the form pair table built from it, and
// the lookup by field name (RequestState::FormField, the one way page builders read the form).
//
// The table has one entry per "=" in the form data (PairCount). Entries are filled in order from
// the "name=value" parts; a value that itself holds "=" stays whole, so such a form has more
// entries than filled pairs and the surplus entries stay empty. Only the filled entries are kept
// (Pairs); the entries from Pairs().size() up to PairCount() are the empty ones. The table is
// built once, before any page builder runs, and never changes afterwards.
//
// Recording (normal runs only): ReadFormData rewrites section "Debug" of the settings file in one
// write with the seventeen request variables followed by one key per form field name, several
// values of one name joined with "^" in order. Password fields (password_fields.h) are left
// out, and names that the settings file cannot hold as keys (holding "=" or a line break,
// starting with "[" or ";") too. The recording is a diagnostic aid: when the settings file
// cannot be written the request goes on unrecorded. A refused request (see ReadFormData) is not
// recorded: the section keeps the last request that was taken in, so that a replay runs a
// request the program did read whole.
#ifndef TVR_GATEWAY_FORM_H_
#define TVR_GATEWAY_FORM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gateway/request.h"
#include "platform/profile.h"

namespace tvr::gateway {

struct FormPair {
  std::string Name;   // URL-decoded
  std::string Value;  // URL-decoded
};

struct RequestState;

// The form of one request. Empty (PairCount 0) until Take.
class Form {
 public:
  // Takes `data` as the form: the table (one entry per "=") and the lookup by name. Sets no
  // limit (ReadFormData checks them before). Throws Failure 13 for a "%" escape that is not
  // hexadecimal; the pairs before it are kept and can be looked up.
  void Take(std::string data);

  const std::string& Data() const { return data_; }
  // The filled entries of the table, in order.
  const std::vector<FormPair>& Pairs() const { return pairs_; }
  // The number of entries of the table, filled or not.
  int PairCount() const { return pair_count_; }
  // The value of field `name`, the match ignoring letter case; several entries of that name
  // give their values joined with "^" ("first^second"); absent or empty gives "". Costs the
  // length of `name` and of its value, whatever the size of the form.
  std::string Value(std::string_view name) const;

 private:
  void IndexValues();

  std::string data_;
  std::vector<FormPair> pairs_;
  int pair_count_ = 0;
  // The value of each field name, keyed by the upper-cased name.
  std::unordered_map<std::string, std::string> values_;
};

// The limits of the intake. A form beyond either is refused whole (ReadFormData): the largest
// page of the program posts some 130 fields and a few kilobytes, a tab of long texts some
// hundred kilobytes, so 8 MiB and 10,000 fields leave room for stores many times larger than
// any seen, while a request that fills them is still taken in within a fraction of a second.
// The example server configurations (deploy/) set the server's own body limit to the same
// 8 MiB, so that most oversized bodies never reach the program.
inline constexpr std::size_t kMaxFormBytes = 8u * 1024 * 1024;
inline constexpr int kMaxFormFields = 10000;

// Fills state.form: a POST ("POST" exactly) reads the body from standard
// input, exactly ContentLength bytes (none when it is 0 or negative; bytes after them are left
// unread); any other method takes the query string (the query string of a POST is ignored).
// A request the program cannot take whole is refused before anything is recorded, the form and
// its table left empty (PairCount 0), so that it stores nothing:
//  - a CONTENT_LENGTH above kMaxFormBytes (the body is not read): Failure 6 "Overflow";
//  - standard input ending before ContentLength bytes arrived (the client went away):
//    Failure 62 "Input past end of file";
//  - form data (body or query string) of more than kMaxFormBytes bytes or holding more than
//    kMaxFormFields "=": Failure 6.
// Each description says what was refused and that nothing was stored.
// In a normal run (not state.debug_mode) it then records the request (see above), also when a
// field fails to decode: the fields before it are recorded, then the failure goes on.
// Throws Failure 13 for a "%" escape that is not hexadecimal (url_decode.h), or when standard
// input cannot be read. Every step costs time in proportion to the length of the form.
void ReadFormData(RequestState& state);

// The entries ReadFormData writes into section "Debug": the request variables under their CGI
// names in table order (password values masked), then one entry per form field name that is not
// a password field, in the order of first appearance, several values of one name (letter case
// ignored) joined with "^" the way Form::Value joins them. A field whose name is that of a
// request variable adds its value to that entry.
std::vector<platform::ProfileEntry> RecordedEntries(const RequestVariables& request,
                                                    const std::vector<FormPair>& pairs);

// Parses `data` into its filled pairs, appended to `pairs` in order (also those before a decoding
// failure, when one is thrown). Returns the table size: the number of "=" in `data`.
int ParseFormData(std::string_view data, std::vector<FormPair>& pairs);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_FORM_H_
