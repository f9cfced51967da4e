// The request's form data: ParseFormData and the URL decoding under it.
//
// Rules checked for every input:
// - a form parses into at most as many pairs as it holds "=", and the count it returns is
//   that number; a failure is only 13 "Type mismatch" (a bad "%" escape);
// - the parsed pairs, each written back with EncodeUrlQueryValue and joined with "&", parse
//   into the same pairs, with as many "=" as pairs;
// - any bytes, encoded with EncodeUrlQueryValue, decode back to themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/url_decode.h"

using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
using tvr::gateway::EncodeUrlQueryValue;
using tvr::gateway::FormPair;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  const auto equals = static_cast<int>(std::count(data.begin(), data.end(), '='));

  std::vector<FormPair> pairs;
  int count = -1;
  tvr::Failure failure(0);
  bool parsed = Expecting([&] { count = tvr::gateway::ParseFormData(data, pairs); }, &failure);
  FUZZ_CHECK(parsed || failure.number() == tvr::err::kTypeMismatch,
             "the form failed with " + std::to_string(failure.number()) + " instead of 13");
  FUZZ_CHECK(pairs.size() <= static_cast<std::size_t>(equals), "more pairs than \"=\" in the form");
  if (parsed) {
    FUZZ_CHECK(count == equals, "the table size " + std::to_string(count) + " is not the " +
                                    std::to_string(equals) + " \"=\" of the form");
  }

  // The pairs (also those parsed before a failure), written back as a form, read the same.
  std::string again;
  for (const FormPair& pair : pairs) {
    if (!again.empty()) again += '&';
    again += EncodeUrlQueryValue(pair.Name) + "=" + EncodeUrlQueryValue(pair.Value);
  }
  std::vector<FormPair> reread;
  int reread_count = -1;
  bool ok = Expecting([&] { reread_count = tvr::gateway::ParseFormData(again, reread); });
  FUZZ_CHECK(ok, "the re-encoded form " + Printable(again) + " does not parse");
  FUZZ_CHECK(reread_count == static_cast<int>(pairs.size()),
             "the re-encoded form " + Printable(again) + " has another number of \"=\"");
  FUZZ_CHECK(reread.size() == pairs.size(),
             "the re-encoded form " + Printable(again) + " parses into another number of pairs");
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    FUZZ_CHECK(reread[i].Name == pairs[i].Name && reread[i].Value == pairs[i].Value,
               "pair " + std::to_string(i) + " reads " + Printable(reread[i].Name) + "=" +
                   Printable(reread[i].Value) + " instead of " + Printable(pairs[i].Name) + "=" +
                   Printable(pairs[i].Value));
  }

  // Encoding any bytes and decoding them gives them back.
  std::string encoded = EncodeUrlQueryValue(data);
  std::string decoded;
  FUZZ_CHECK(Expecting([&] { decoded = tvr::gateway::UrlDecode(encoded); }),
             "the encoded value " + Printable(encoded) + " does not decode");
  FUZZ_CHECK(decoded == data,
             "the encoded value " + Printable(encoded) + " decodes to " + Printable(decoded));
  return 0;
}
