#include "gateway/form.h"

#include <gtest/gtest.h>

#include "gateway/request.h"
#include "gateway/url_decode.h"
#include "gateway_fixture.h"
#include "platform/failure.h"
#include "settings/settings.h"
#include "support/expect_failure.h"

namespace tvr::gateway {
namespace {

using tvr::testing::ReadFile;

TEST(UrlDecode, Table) {
  struct Case {
    int line;
    std::string encoded;
    std::string decoded;
  };
  const Case cases[] = {
      {__LINE__, "", ""},
      {__LINE__, "a+b", "a b"},
      {__LINE__, "a%3Db+c%2Bd", "a=b c+d"},
      {__LINE__, "%252B", "%2B"},  // a decoded "%" is not decoded again
      {__LINE__, "%e4%C4", "\xE4\xC4"},
      {__LINE__, "x%4", "x\x04"},  // one digit at the very end
      {__LINE__, "a%00b", std::string("a\0b", 3)},
      {__LINE__, "%0D%0A", "\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UrlDecode(c.encoded), c.decoded) << "case at line " << c.line;
  }
  for (const char* bad : {"%", "a%", "%G1", "%4G", "%+1", "%-1", "% 1"}) {
    const auto failure = tvr::testing::FailureOf([&] { UrlDecode(bad); });
    ASSERT_TRUE(failure) << bad << " decoded";
    EXPECT_EQ(failure->number(), err::kTypeMismatch) << bad;
    EXPECT_EQ(failure->description(), "Type mismatch") << bad;
  }
}

TEST(ContentLength, LenientNumber) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"", 0},
      {"abc", 0},
      {"42", 42},
      {"  17xyz", 17},
      {"-5", -5},
      {"+8", 8},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseContentLength(text), value) << text;
}

TEST_F(GatewayTest, PairTableAndLookups) {
  struct Lookup {
    const char* name;
    std::string value;
  };
  struct Case {
    int line;
    std::string data;
    int pair_count;
    std::vector<Lookup> lookups;
  };
  const Case cases[] = {
      {__LINE__, "a=1&b=2&a=3", 3, {{"A", "1^3"}, {"b", "2"}, {"c", ""}}},
      {__LINE__, "x=a%3Db+c%2Bd", 1, {{"x", "a=b c+d"}}},
      {__LINE__, "k=v=w", 2, {{"k", "v=w"}, {"v", ""}}},
      {__LINE__, "hello", 0, {{"hello", ""}}},
      {__LINE__, "", 0, {{"a", ""}}},
      {__LINE__, "a=&a=x", 2, {{"a", "x"}}},
      {__LINE__, "a=1&&b=2", 2, {{"a", "1"}, {"&b", "2"}, {"b", ""}}},
      {__LINE__, "Client=acme&Client=ACME2", 2, {{"client", "acme^ACME2"}}},
      {__LINE__, "\xC4rger=1", 1, {{"\xE4RGER", "1"}}},
      // An empty value after the first non-empty one still adds its "^".
      {__LINE__,
       "\x8A"
       "A=1&\x9A"
       "a=&\x9A"
       "A=2&a=",
       4,
       {{"\x9A"
         "a",
         "1^^2"},
        {"A", ""}}},
  };
  for (const Case& c : cases) {
    std::vector<FormPair> pairs;
    EXPECT_EQ(ParseFormData(c.data, pairs), c.pair_count) << "case at line " << c.line;
  }
  // The same through the request intake, with GetFormField.
  for (const Case& c : cases) {
    SetRequest("GET", c.data);
    ReadCgiEnvironment(state_);
    ReadFormData(state_);
    EXPECT_EQ(state_.form.PairCount(), c.pair_count) << "case at line " << c.line;
    for (const Lookup& l : c.lookups) {
      EXPECT_EQ(state_.FormField(l.name), l.value) << "case at line " << c.line << ", " << l.name;
    }
  }
}

TEST_F(GatewayTest, PostBodyIsReadWholeAcrossShortReads) {
  std::string body = "ErrorDesc=" + std::string(5000, 'x') + "&Error=53";
  SetRequest("POST", "Error=from-query",
             {{"CONTENT_LENGTH", std::to_string(body.size())}, {"CONTENT_TYPE", "x"}});
  cgi_.input = body;
  cgi_.input_chunk = 7;  // every read returns at most 7 bytes, as a slow pipe does
  ReadCgiEnvironment(state_);
  ReadFormData(state_);
  EXPECT_EQ(state_.form.Data(), body);
  EXPECT_EQ(state_.FormField("Error"), "53");  // the query string of a POST is not read
  EXPECT_EQ(state_.FormField("ErrorDesc").size(), 5000u);
}

// CONTENT_LENGTH says how much of standard input is the form. A form the program cannot take
// whole is refused before anything is recorded: its table stays empty and the settings file as
// it was.
TEST_F(GatewayTest, FormIsTakenWholeOrRefused) {
  struct Case {
    int line;
    std::string method;
    std::string content_length;
    std::string input;
    std::string query;
    std::string form_data;  // when taken in
    int refused;            // the failure number, 0 when taken in
  };
  const std::string limit(kMaxFormBytes, 'z');
  std::string fields;
  for (int i = 0; i < kMaxFormFields; ++i) fields += "f" + std::to_string(i) + "=&";
  const Case cases[] = {
      {__LINE__, "POST", "-5", "a=1", "q=1", "", 0},
      {__LINE__, "POST", "", "a=1", "q=1", "", 0},
      {__LINE__, "POST", "abc", "a=1", "q=1", "", 0},
      {__LINE__, "POST", "2", "a=1", "q=1", "a=", 0},  // bytes after the body are not read
      {__LINE__, "GET", "3", "a=1", "q=1", "q=1", 0},
      {__LINE__, "post", "3", "a=1", "q=1", "q=1", 0},  // the method must be "POST" exactly
      {__LINE__, "POST", std::to_string(limit.size()), limit, "", limit, 0},
      {__LINE__, "POST", std::to_string(fields.size()), fields, "", fields, 0},
      // The client went away: fewer bytes than announced.
      {__LINE__, "POST", "4", "a=1", "q=1", "", err::kInputPastEnd},
      {__LINE__, "POST", "", "", "", "", 0},
      {__LINE__, "POST", "1", "", "q=1", "", err::kInputPastEnd},
      // Over the size limit: refused without reading the body.
      {__LINE__, "POST", std::to_string(limit.size() + 1), limit + "z", "", "", err::kOverflow},
      {__LINE__, "POST", "99999999999", "a=1", "", "", err::kOverflow},
      {__LINE__, "GET", "", "", limit + "z", "", err::kOverflow},
      // One field too many, in a body or in a query string.
      {__LINE__, "POST", std::to_string(fields.size() + 2), fields + "x=", "", "", err::kOverflow},
      {__LINE__, "GET", "", "", fields + "x=", "", err::kOverflow},
  };
  const std::string ini = "[Main]\r\n[Debug]\r\nREQUEST_METHOD=before\r\n";
  for (const Case& c : cases) {
    tvr::testing::WriteFile(Ini(), ini);
    SetRequest(c.method, c.query, {{"CONTENT_LENGTH", c.content_length}});
    cgi_.input = c.input;
    cgi_.input_pos = 0;
    ReadCgiEnvironment(state_);
    const auto failure = tvr::testing::FailureOf([this] { ReadFormData(state_); });
    if (c.refused == 0) {
      ASSERT_FALSE(failure) << "case at line " << c.line << ": " << failure->description();
      EXPECT_EQ(state_.form.Data(), c.form_data) << "case at line " << c.line;
      EXPECT_NE(ReadFile(Ini()), ini) << "case at line " << c.line << " was not recorded";
      continue;
    }
    ASSERT_TRUE(failure) << "case at line " << c.line;
    EXPECT_EQ(failure->number(), c.refused) << "case at line " << c.line;
    EXPECT_NE(failure->description().find("nothing was stored"), std::string::npos)
        << failure->description();
    EXPECT_EQ(state_.form.Data(), "") << "case at line " << c.line;
    EXPECT_EQ(state_.form.PairCount(), 0) << "case at line " << c.line;
    EXPECT_EQ(state_.FormField("a"), "") << "case at line " << c.line;
    EXPECT_EQ(ReadFile(Ini()), ini) << "case at line " << c.line;
    if (c.method == "POST" &&
        static_cast<std::size_t>(ParseContentLength(c.content_length)) > kMaxFormBytes) {
      EXPECT_EQ(cgi_.input_pos, 0u) << "case at line " << c.line << " read the body";
    }
  }
}

TEST_F(GatewayTest, CookieFallsBackToHttpCookie) {
  SetRequest("GET", "", {{"COOKIE", ""}, {"HTTP_COOKIE", "s=1"}});
  ReadCgiEnvironment(state_);
  EXPECT_EQ(state_.variables.CGI_Cookie, "s=1");
  SetRequest("GET", "", {{"COOKIE", "c=2"}, {"HTTP_COOKIE", "s=1"}});
  ReadCgiEnvironment(state_);
  EXPECT_EQ(state_.variables.CGI_Cookie, "c=2");
}

// The recorded section holds the request variables in order, then the fields; no passwords.
TEST_F(GatewayTest, RequestIsRecordedWithoutPasswords) {
  tvr::testing::WriteFile(Ini(), "[Main]\r\nLog=0\r\n[Debug]\r\nStale=1\r\n");
  SetRequest("GET",
             "Client=acme&AdminPassword=s1&Client=b&TulvarPassword=s2&newpassword=s3&x%3Dy=1"
             "&%5BMain%5D=2&Note=a%0D%0A%5BMain%5D%0D%0AAdminDir%3D%2Ftmp&PATH_INFO=extra",
             {{"PATH_INFO", "/LoadTab"}, {"HTTP_USER_AGENT", "UA"}, {"HTTP_COOKIE", "s=1"}});
  ReadCgiEnvironment(state_);
  ReadFormData(state_);
  EXPECT_EQ(state_.FormField("AdminPassword"), "s1");  // still there for the request itself
  EXPECT_EQ(ReadFile(Ini()),
            "[Main]\r\nLog=0\r\n[Debug]\r\n"
            "SERVER_SOFTWARE=\r\nSERVER_NAME=\r\nREQUEST_METHOD=GET\r\nHTTP_REFERER=\r\n"
            "REMOTE_HOST=\r\nREMOTE_ADDR=\r\nHTTP_USER_AGENT=UA\r\nCONTENT_LENGTH=\r\n"
            "SCRIPT_NAME=/cgi-bin/tvrweb.exe\r\nSERVER_URL=\r\nGATEWAY_INTERFACE=CGI/1.1\r\n"
            "SERVER_PROTOCOL=\r\nSERVER_PORT=\r\nCONTENT_TYPE=\r\n"
            "QUERY_STRING=Client=acme&AdminPassword=********&Client=b&TulvarPassword=********"
            "&newpassword=********&x%3Dy=1&%5BMain%5D=2"
            "&Note=a%0D%0A%5BMain%5D%0D%0AAdminDir%3D%2Ftmp&PATH_INFO=extra\r\n"
            "PATH_INFO=/LoadTab^extra\r\nCOOKIE=s=1\r\n"
            "Client=acme^b\r\nNote=a\r\n");

  // The replay sees the recorded request.
  cgi_.env.clear();
  state_.debug_mode = true;
  ReadCgiEnvironment(state_);
  EXPECT_EQ(state_.variables.CGI_PathInfo, "/LoadTab^extra");
  EXPECT_EQ(state_.variables.CGI_ScriptName, "/cgi-bin/tvrweb.exe");
  EXPECT_EQ(state_.FormField("client"), "acme^b");
  EXPECT_EQ(state_.FormField("TulvarPassword"), "");
  EXPECT_EQ(state_.FormField("AdminPassword"), "");
  EXPECT_EQ(state_.FormField(""), "");
}

TEST_F(GatewayTest, FieldsBeforeABadEscapeAreRecordedAndTheFailureGoesOn) {
  SetRequest("GET", "a=1&b=%G1&c=3");
  ReadCgiEnvironment(state_);
  EXPECT_FAILURE(ReadFormData(state_), err::kTypeMismatch);
  EXPECT_EQ(settings::GetSetting("Debug", "a"), "1");
  EXPECT_EQ(settings::GetSetting("Debug", "c"), "");
  EXPECT_EQ(settings::GetSetting("Debug", "QUERY_STRING"), "a=1&b=%G1&c=3");
}

}  // namespace
}  // namespace tvr::gateway
