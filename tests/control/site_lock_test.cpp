// Which pages may drive the control: reading a page's address, matching it
// against the built-in list and the administrator's policy.
#include <gtest/gtest.h>

#include <string>

#include "control/site_lock.h"
#include "control/session_values.h"

namespace dovrel {
namespace {

TEST(SiteLock, PageAddressesGiveSchemeAndHost) {
  const struct {
    const char* address;
    const char* scheme;
    const char* host;
  } cases[] = {
      {"https://Bank.Example/pay?x=1", "https", "bank.example"},
      {"HTTPS://bank.example:8443/", "https", "bank.example"},
      {"https://bank.example./", "https", "bank.example"},
      {"https://bank.example@evil.test/", "https", "evil.test"},    // the user name is not the host
      {"https://evil.test\\@bank.example/", "https", "evil.test"},  // a browser reads '\' as '/'
      {"https://[::1]:443/x", "https", "[::1]"},
      {"file:///C:/pages/pay.html", "file", ""},
  };
  for (const auto& c : cases) {
    std::string scheme, host;
    ASSERT_TRUE(ParsePageAddress(c.address, &scheme, &host)) << c.address;
    EXPECT_EQ(scheme, c.scheme) << c.address;
    EXPECT_EQ(host, c.host) << c.address;
  }
  std::string scheme, host;
  EXPECT_FALSE(ParsePageAddress("about:blank", &scheme, &host));
  EXPECT_FALSE(ParsePageAddress("", &scheme, &host));
}

TEST(SiteLock, ListEntriesMatchHostsAndSchemes) {
  const char* list = " bank.example;*.bank.example, http://intranet.bank.test  *.";
  const struct {
    const char* scheme;
    const char* host;
    bool allowed;
  } cases[] = {
      {"https", "bank.example", true},
      {"https", "www.bank.example", true},
      {"https", "a.b.bank.example", true},
      {"https", "bank.example.evil.test", false},  // a look-alike
      {"https", "evilbank.example", false},
      {"https", "example", false},
      {"http", "www.bank.example", false},  // https unless the entry says http
      {"http", "intranet.bank.test", true},
      {"https", "intranet.bank.test", false},
      {"https", "", false},
      {"https", "bank%2eexample", false},  // only plain host names match
      {"https", ".bank.example", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SiteListAllows(list, c.scheme, c.host), c.allowed) << c.scheme << "://" << c.host;
  }
  EXPECT_FALSE(SiteListAllows("", "https", "bank.example"));
}

TEST(SiteLock, ThePolicyOnlyNarrowsAndADamagedOneAllowsNothing) {
  const auto permitted = [](const char* builtIn, PolicyValue policy, const char* address) {
    PageAddresses page;
    page.addresses = {address};
    std::string refused;
    return PagePermitted(page, SiteLists{builtIn, std::move(policy)}, &refused);
  };
  using State = PolicyValue::State;
  const PolicyValue none{};
  const PolicyValue www{State::kText, "www.bank.example"};
  const PolicyValue evil{State::kText, "evil.test"};
  const PolicyValue damaged{State::kUnreadable, {}};
  EXPECT_TRUE(permitted(kEverySite, none, "https://evil.test/"));  // every site, by name
  EXPECT_FALSE(permitted("", none, "https://bank.example/"));      // a lost list: none
  EXPECT_TRUE(permitted("*.bank.example", none, "https://pay.bank.example/"));
  EXPECT_TRUE(permitted("*.bank.example", www, "https://www.bank.example/"));
  EXPECT_FALSE(permitted("*.bank.example", www, "https://pay.bank.example/"));  // narrowed
  EXPECT_FALSE(permitted("*.bank.example", evil, "https://evil.test/"));        // not widened
  EXPECT_TRUE(permitted(kEverySite, evil, "https://evil.test/"));  // narrows "every site"
  EXPECT_FALSE(permitted(kEverySite, evil, "https://bank.example/"));
  EXPECT_FALSE(permitted(kEverySite, damaged, "https://evil.test/"));
  EXPECT_FALSE(permitted("*.bank.example", damaged, "https://www.bank.example/"));
  EXPECT_FALSE(permitted("*.bank.example", none, "about:blank"));
}

TEST(SiteLock, EveryAddressMustBeAllowedAndNoAddressOnlyOutsideABrowser) {
  const SiteLists sites{"*.bank.example", {}};
  std::string refused;
  PageAddresses page;
  EXPECT_TRUE(PagePermitted(page, sites, &refused));  // a script host: local code
  page.hostShowsPages = true;                         // a browser's script made it without a page
  EXPECT_FALSE(PagePermitted(page, sites, &refused));
  EXPECT_EQ(refused, "");
  EXPECT_TRUE(PagePermitted(page, SiteLists{kEverySite, {}}, &refused));
  page.hostShowsPages = false;
  EXPECT_TRUE(PagePermitted(page, SiteLists{}, &refused));  // local code, even with no list

  page.addresses = {"https://www.bank.example/", "https://Evil.test:8443/x"};
  EXPECT_FALSE(PagePermitted(page, sites, &refused));
  EXPECT_EQ(refused, "evil.test");
  page.addresses = {"https://www.bank.example/", "https://pay.bank.example/frame"};
  EXPECT_TRUE(PagePermitted(page, sites, &refused));
}

// Addresses refused whatever the lists say, and what the refusal may show of them.
TEST(SiteLock, UnreadableAddressesAreRefusedAndNotShown) {
  const struct {
    const char* address;
    const char* shown;
  } cases[] = {
      {"https://b\xC4\x81nk.example/", ""},         // Unicode: no best-fit look-alike
      {"https://bank.example/\xC4\x81", ""},        // non-ASCII anywhere
      {"https://bank.example/\tx", ""},             // control characters
      {"", ""},                                     // a frame that would not tell
      {"about:blank#Call 1588-0000 now", ""},       // the page's own words
      {"https://call 1588-0000 now.example/", ""},  // not a plain host name
      {"https://evil.test/?https://bank.example/", "evil.test"},
  };
  for (const auto& c : cases) {
    PageAddresses page;
    page.addresses = {"https://bank.example/", c.address};
    std::string refused = "stale";
    EXPECT_FALSE(PagePermitted(page, SiteLists{"bank.example", {}}, &refused)) << c.address;
    EXPECT_EQ(refused, c.shown) << c.address;
  }
}

TEST(SiteLock, TheRefusalNamesTheHostWithinItsBuffer) {
  char text[kFailureTextSize];
  FormatSiteRefusal("evil.test", text, sizeof text);
  EXPECT_EQ(std::string(text), "evil.test" +
                                   AnsiText(" 사이트에서는 자료 수신을 사용할 수 없습니다") + "\n" +
                                   AnsiText("(허용되지 않은 사이트입니다)"));
  FormatSiteRefusal("", text, sizeof text);
  EXPECT_EQ(std::string(text).rfind(AnsiText("(알 수 없음)"), 0), 0u);
  FormatSiteRefusal(std::string("a\nb%s") + std::string(5000, 'x'), text, sizeof text);
  EXPECT_EQ(std::string(text).rfind("a?b%s", 0), 0u);  // no line break, no format taken
  EXPECT_LT(std::string(text).size(), 400u);
  char tiny[8];
  FormatSiteRefusal("evil.test", tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "evil.te");
}

}  // namespace
}  // namespace dovrel
