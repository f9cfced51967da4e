// Adding, listing, opening and deleting clients, and client passwords.
#include <string>

#include "admin/admin_cgi_fixture.h"
#include "gateway/html_escape.h"

namespace tvr::admin::testing {
namespace {

class ClientPagesTest : public AdminCgiTest {
 protected:
  ClientPagesTest() { SetAdminPassword("admin"); }
  std::string Proof() { return Setting("AdminPassword"); }
  // The payment rows of one client. (A request without a client code makes one payment row
  // with an empty code; it is no client's.)
  std::vector<Row> ClientPayments(const std::string& code,
                                  std::vector<std::string> columns = {"code"}) {
    std::vector<Row> rows;
    for (Row& row : Rows("payment", columns)) {
      if (row["code"] == code) rows.push_back(row);
    }
    return rows;
  }
};

TEST_F(ClientPagesTest, AddClientStoresTheDefaultsAndTheFirstPasswordAndOpensTheEditor) {
  std::string page = Post("/AddClient", {{"Command", "AddClient"}});
  EXPECT_TRUE(Has(page, "name=\"AdminPassword\"")) << page;  // the prompt
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Command\" value=\"AddClient\">"));

  // One form for the code and the first password.
  page = Post("/AddClient", {{"AdminPassword", Proof()}});
  EXPECT_TRUE(Has(page, "name=\"NewClient\"")) << page;
  EXPECT_TRUE(Has(page, "<input type=password name=\"Password1\" size=15 maxlength=15>"));
  EXPECT_TRUE(Has(page, "<input type=password name=\"Password2\" size=15 maxlength=15>"));

  page = Post("/AddClient", {{"AdminPassword", Proof()},
                             {"Step", "Create"},
                             {"NewClient", "ab-c 1"},
                             {"Password1", "pw1"},
                             {"Password2", "PW1"}});
  EXPECT_TRUE(Has(page, "Current Client: ABC1")) << page;
  EXPECT_TRUE(Has(page, "name=\"ClientPassword\" value=\"" +
                            gateway::EscapeHtmlAttribute(Encoded("pw1")) + "\""));

  auto clients = Rows("client", {"code", "password", "OutputDir", "OrderNo", "CGIBINDir",
                                 "TitleText", "NoInfoTxt", "SeperShip", "Cellpaddin"});
  ASSERT_EQ(clients.size(), 1u);
  EXPECT_EQ(clients[0], (Row{{"code", "ABC1"},
                             {"password", Encoded("pw1")},
                             {"OutputDir", "abc1-orders.txt"},
                             {"OrderNo", "001000"},
                             {"CGIBINDir", "/cgi-bin/"},
                             {"TitleText", "Shopping Cart System"},
                             {"NoInfoTxt", "(empty required field)"},
                             {"SeperShip", "False"},
                             {"Cellpaddin", "3"}}));
  auto payments = ClientPayments("ABC1", {"code", "B_All", "Amex"});
  ASSERT_EQ(payments.size(), 1u);
  EXPECT_EQ(payments[0]["code"], "ABC1");
  EXPECT_EQ(payments[0]["B_All"],
            "All~~~0~Billing Information~~-1~Arial,Helvetica~~Yes~No~(empty required field)~");
  EXPECT_EQ(payments[0]["Amex"],
            "Amex~Yes~Yes~5~American Express~30~-1~Arial,Helvetica~~No~No~~~Yes~AMEX");
}

// A client without a password (left so by another program) takes its first one only from the
// administrator: anybody can pick it from the client list.
TEST_F(ClientPagesTest, FirstPasswordOfAnExistingClientNeedsTheAdminPassword) {
  AppendRow("client", {{"code", "FRESH"}});
  std::string page = Post("/LoadTab", {{"Client", "FRESH"}, {"TabName", "General"}});
  EXPECT_TRUE(Has(page, "Please enter a password to use")) << page;
  EXPECT_TRUE(Has(page, "<input type=password name=\"AdminPassword\" size=15 maxlength=15>"));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"AdminPasswordNotEncrypted\" value=\"Y\">"));

  auto save = [&](const std::string& p1, const std::string& p2, const Form& proof) {
    Form form = {{"Client", "FRESH"},         {"TabName", "General"}, {"Step", "2"},
                 {"Action", "Save Password"}, {"Password1", p1},      {"Password2", p2}};
    form.insert(form.end(), proof.begin(), proof.end());
    return Post("/LoadTab", form);
  };
  const Form typed = {{"AdminPassword", "ADMIN"}, {"AdminPasswordNotEncrypted", "Y"}};
  const struct {
    int line;
    std::string p1, p2;
    Form proof;
    std::string says;
  } refused[] = {
      {__LINE__, "mine", "mine", {}, "Invalid Admin Password"},
      {__LINE__,
       "mine",
       "mine",
       {{"AdminPassword", "wrong"}, {"AdminPasswordNotEncrypted", "Y"}},
       "Invalid Admin Password"},
      {__LINE__, "mine", "mine", {{"AdminPassword", Encoded("wrong")}}, "Invalid Admin Password"},
      {__LINE__, "a", "b", typed, "Passwords did not match."},
      {__LINE__, " ", " ", typed, "You entered a blank password."},
  };
  for (const auto& r : refused) {
    page = save(r.p1, r.p2, r.proof);
    EXPECT_TRUE(Has(page, r.says)) << r.line << page;
    EXPECT_FALSE(Has(page, "Current Client:")) << r.line;
    EXPECT_EQ(Rows("client", {"password"})[0]["password"], "") << r.line;
  }

  page = save("pw1", "PW1", typed);
  EXPECT_TRUE(Has(page, "Current Client: FRESH")) << page;
  EXPECT_EQ(Rows("client", {"password"})[0]["password"], Encoded("pw1"));
  // Posted again the same password proves itself; another one is refused, even with the admin
  // password: this form never replaces a password.
  EXPECT_TRUE(Has(save("pw1", "pw1", {}), "Current Client: FRESH"));
  EXPECT_TRUE(Has(save("other", "other", typed), "<b>Invalid Password</b>"));
  EXPECT_EQ(Rows("client", {"password"})[0]["password"], Encoded("pw1"));

  // From an admin page the proved admin password is carried on instead of asked for.
  AppendRow("client", {{"code", "LATER"}});
  page = Post("/LoadTab", {{"Client", "LATER"}, {"AdminPassword", Proof()}});
  EXPECT_TRUE(Has(page, "Please enter a password to use")) << page;
  EXPECT_FALSE(Has(page, "<input type=password name=\"AdminPassword\""));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"AdminPassword\""));
}

TEST_F(ClientPagesTest, RefusedClientCodesAndPasswordsStoreNothing) {
  AddClient("ACME", "pw");
  const std::string letters_only =
      "A client code can hold only the letters A to Z, the digits 0 to 9 and the underscore (_).";
  const struct {
    int line;
    std::string entered, why;
    std::string p1 = "pw", p2 = "pw";
  } cases[] = {
      {__LINE__, "", "You entered an empty client code."},
      {__LINE__, " -/\\,^ ", "You entered an empty client code."},
      {__LINE__, "acme", "Client ACME already exists."},
      {__LINE__, "a-c-m-e", "Client ACME already exists."},
      {__LINE__, "AB\"C", "cannot contain a double quote"},
      {__LINE__, "ABCDEFGHIJKLMNOPQRSTU", "at most 20 characters"},
      // A code becomes a file name, a query literal and page text.
      {__LINE__, "acme<b>&co%;", letters_only},
      {__LINE__, "a.b", letters_only},
      {__LINE__, "x#1#", letters_only},
      {__LINE__, "caf\xe9", letters_only},
      {__LINE__, "tab\tcode", letters_only},
      {__LINE__, "..", letters_only},
      {__LINE__, "NEW", "Passwords did not match.", "one", "two"},
      {__LINE__, "NEW", "You entered a blank password.", "", ""},
      {__LINE__, "NEW", "You entered a blank password.", "  ", "  "},
  };
  for (const auto& c : cases) {
    std::string page = Post("/AddClient", {{"AdminPassword", Proof()},
                                           {"Step", "Create"},
                                           {"NewClient", c.entered},
                                           {"Password1", c.p1},
                                           {"Password2", c.p2}});
    EXPECT_TRUE(Has(page, c.why)) << c.line << page;
    EXPECT_TRUE(Has(page, "back button")) << c.line;
  }
  EXPECT_EQ(Rows("client", {"code"}).size(), 1u);
  EXPECT_EQ(ClientPayments("ACME").size(), 1u);
  EXPECT_EQ(ClientPayments("NEW").size(), 0u);
  // Twenty characters fit, and so do digits and "_".
  AddClient("ABCDEFGHIJKLMNOPQRST", "pw");
  AddClient("shop_2 ", "pw");
  EXPECT_EQ(Rows("client", {"code"}).size(), 3u);
  EXPECT_EQ(Rows("client", {"code"})[2]["code"], "SHOP_2");
}

TEST_F(ClientPagesTest, ClientListAndTheWayIntoTheEditor) {
  AddClient("ZED", "pw");
  // A code of an earlier version with characters a new code may not hold still works.
  AppendRow("client", {{"code", "A<B&C"}, {"password", Encoded("pw")}});
  AppendRow("client", {{"code", ""}});  // an empty code is deleted when the list is shown

  std::string list = Post("/ChooseClient", {});
  EXPECT_TRUE(Has(list, "<select name=\"Client\" multiple>")) << list;
  EXPECT_TRUE(Has(list,
                  "<option value=\"A&lt;B&amp;C\" SELECTED>A&lt;B&amp;C\r\n"
                  "<option value=\"ZED\">ZED\r\n"));
  EXPECT_TRUE(Has(list, "<form method=post action=\"/cgi-bin/tvrweb.exe/LoadTab\">"));
  EXPECT_EQ(Rows("client", {"code"}).size(), 2u);
  EXPECT_EQ(Setting("CurrentVersion"), "Tulvar v2.6");
  const std::string editor = Post("/LoadTab", {{"Client", "a<b&c"},
                                               {"ClientPassword", "PW"},
                                               {"ClientPasswordNotEncrypted", "Y"},
                                               {"TabName", "General"}});
  EXPECT_TRUE(Has(editor, "Current Client: A&lt;B&amp;C")) << editor;

  // 16 clients make the list scroll; 15 do not.
  for (int i = 3; i <= 15; ++i) AppendRow("client", {{"code", "C" + std::to_string(i)}});
  EXPECT_TRUE(Has(Post("", {}), "<select name=\"Client\" multiple>"));
  AppendRow("client", {{"code", "C16"}});
  EXPECT_TRUE(Has(Post("", {}), "<select name=\"Client\" multiple size=15>"));

  SetSetting("HideList", "1");
  list = Post("/ChooseClient", {});
  EXPECT_TRUE(Has(list,
                  "Enter Client Code: <input type=text name=\"Client\" size=20 "
                  "maxlength=20>"));
}

TEST_F(ClientPagesTest, ChangeClientPassword) {
  AddClient("ACME", "old");
  std::string form = Post("", {{"Action", "Change Client Password"},
                               {"Client", "ACME"},
                               {"ClientPassword", Encoded("old")}});
  EXPECT_TRUE(Has(form, "action=\"/cgi-bin/tvrweb.exe/SaveClientPassword\"")) << form;
  EXPECT_TRUE(Has(form, "name=\"ClientPassword\" value=\""));

  const Form proof = {{"Client", "ACME"}, {"ClientPassword", Encoded("old")}};
  auto save = [&](const std::string& fresh, const std::string& confirm) {
    Form f = proof;
    f.push_back({"NewPassword", fresh});
    f.push_back({"ConfirmPassword", confirm});
    return Post("/SaveClientPassword", f);
  };
  EXPECT_TRUE(Has(save("a", "b"), "Passwords did not match."));
  EXPECT_TRUE(Has(save("", ""), "You entered a blank password."));
  EXPECT_EQ(Rows("client", {"password"})[0]["password"], Encoded("old"));
  std::string page = save("new", "NEW");
  EXPECT_TRUE(Has(page, "Password Accepted")) << page;
  EXPECT_EQ(Rows("client", {"password"})[0]["password"], Encoded("new"));

  // The admin password is proof as well.
  page = Post("/SaveClientPassword", {{"Client", "ACME"},
                                      {"AdminPassword", Proof()},
                                      {"NewPassword", "third"},
                                      {"ConfirmPassword", "third"}});
  EXPECT_TRUE(Has(page, "Password Accepted")) << page;
  EXPECT_EQ(Rows("client", {"password"})[0]["password"], Encoded("third"));
}

TEST_F(ClientPagesTest, DeleteClientMarksItsRowsDeletedButKeepsThePaymentRow) {
  AddClient("ACME", "pw");
  AddClient("OTHER", "pw");
  for (const char* table : {"tax", "shiptype", "orders", "orditems", "customer", "plus"}) {
    AppendRow(table, {{"code", "ACME"}});
    AppendRow(table, {{"code", "OTHER"}});
  }

  // From the editor: a confirmation that asks for the admin password.
  std::string page = Post(
      "", {{"Action", "Delete Client"}, {"Client", "ACME"}, {"ClientPassword", Encoded("pw")}});
  EXPECT_TRUE(Has(page, "Delete client ACME?")) << page;
  EXPECT_TRUE(Has(page, "<input type=password maxlength=15 name=\"AdminPassword\">"));
  EXPECT_EQ(Rows("client", {"code"}).size(), 2u);

  page = Post("", {{"Action", "Delete Client"},
                   {"Client", "ACME"},
                   {"ConfirmDelete", "Y"},
                   {"AdminPassword", "Admin"},
                   {"AdminPasswordNotEncrypted", "Y"}});
  EXPECT_TRUE(Has(page, "Client ACME has been deleted.")) << page;
  EXPECT_EQ(Rows("client", {"code"}), (std::vector<Row>{{{"code", "OTHER"}}}));
  for (const char* table : {"tax", "shiptype", "orders", "orditems", "customer", "plus"}) {
    EXPECT_EQ(Rows(table, {"code"}), (std::vector<Row>{{{"code", "OTHER"}}})) << table;
  }
  EXPECT_EQ(ClientPayments("ACME").size(), 1u);

  // Without clients every page is the empty list again.
  Post("", {{"Action", "Delete Client"},
            {"Client", "OTHER"},
            {"ConfirmDelete", "Y"},
            {"AdminPassword", Proof()}});
  EXPECT_TRUE(Has(Post("/LoadTab", {}), "You currently have no clients setup in Tulvar."));

  // Created again, it gets a second payment row.
  AddClient("ACME", "pw");
  EXPECT_EQ(ClientPayments("ACME").size(), 2u);
}

}  // namespace
}  // namespace tvr::admin::testing
