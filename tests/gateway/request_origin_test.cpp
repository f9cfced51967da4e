// Whether a request's form came from a page of the host it was sent to.
#include "gateway/request_origin.h"

#include <gtest/gtest.h>

#include <string>

#include "gateway/request_state.h"
#include "support/fake_system.h"

namespace tvr::gateway {
namespace {

TEST(RequestOriginTest, AnAddressNamesTheHostWithItsPortLetterCaseIgnored) {
  const struct {
    const char* url;
    const char* host;
    bool same;
  } cases[] = {
      {"http://shop.example", "shop.example", true},
      {"https://SHOP.Example", "shop.example", true},
      {"http://shop.example/cgi-bin/tvrweb.exe/LoadTab?x=1", "shop.example", true},
      {"http://127.0.0.1:8080", "127.0.0.1:8080", true},
      {"http://shop.example", "shop.example:80", true},  // a default port written or not
      {"https://shop.example:443/x", "shop.example", true},
      {"http://[::1]:8080/x", "[::1]:8080", true},
      {"http://user@shop.example/", "shop.example", true},
      {"http://evil.example", "shop.example", false},
      {"http://shop.example.evil.example", "shop.example", false},
      {"http://evil.example/?shop.example", "shop.example", false},
      {"http://shop.example@evil.example/", "shop.example", false},
      {"http://127.0.0.1:8081", "127.0.0.1:8080", false},
      {"http://127.0.0.1", "127.0.0.1:8080", false},
      {"https://shop.example", "shop.example:80", false},
      {"http://[::1]:8080", "[::1]:8081", false},
      {"null", "shop.example", false},
      {"shop.example", "shop.example", false},
      {"http://", "", false},
      {"http:///x", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NamesHost(c.url, c.host), c.same) << c.url << " / " << c.host;
  }
}

TEST(RequestOriginTest, TheOriginDecidesThenTheRefererAndAReplayHasNeither) {
  const struct {
    int line;
    const char *origin, *referer, *host;
    bool other;
  } cases[] = {
      {__LINE__, "", "", "shop.example", false},  // a command-line tool
      {__LINE__, "http://shop.example", "", "shop.example", false},
      {__LINE__, "", "http://shop.example/cgi-bin/tvrweb.exe", "shop.example", false},
      {__LINE__, "http://evil.example", "", "shop.example", true},
      {__LINE__, "", "http://evil.example/form.html", "shop.example", true},
      {__LINE__, "http://evil.example", "http://shop.example/", "shop.example", true},
      {__LINE__, "http://shop.example", "http://evil.example/", "shop.example", false},
      {__LINE__, "null", "", "shop.example", true},
      {__LINE__, "http://shop.example", "", "", true},  // nothing to compare with
  };
  for (bool replay : {false, true}) {
    for (const auto& c : cases) {
      testing::FakeSystem system;
      system.fake_environment = true;
      system.env = {{"HTTP_ORIGIN", c.origin}, {"HTTP_REFERER", c.referer}, {"HTTP_HOST", c.host}};
      platform::ScopedSystemOverride use(system);
      RequestState state;
      state.debug_mode = replay;
      const std::optional<std::string> other = OtherSiteOfRequest(state);
      EXPECT_EQ(other.has_value(), c.other && !replay) << c.line << (replay ? " replay" : "");
      if (other) {
        EXPECT_EQ(*other, *c.origin ? c.origin : c.referer) << c.line;
      }
    }
  }
}

}  // namespace
}  // namespace tvr::gateway
