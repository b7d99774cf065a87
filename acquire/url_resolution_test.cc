#include "acquire/url_resolution.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qora {
namespace {

UrlParts Parse(std::string_view address) {
  UrlParts parts;
  ParseUrl(address, &parts);
  return parts;
}

std::string Normalized(std::string path) {
  NormalizePath(&path);
  return path;
}

// The full address `link` resolves to on `base`.
std::string Resolve(std::string_view link, std::string_view base) {
  UrlParts parts;
  bool leaves = false;
  EXPECT_EQ(ResolveLink(link, base, &parts, &leaves), 0);
  return parts.full;
}

bool LeavesHost(std::string_view link, std::string_view base) {
  UrlParts parts;
  bool leaves = false;
  ResolveLink(link, base, &parts, &leaves);
  return leaves;
}

TEST(DefaultPortTest, KnownSchemesAndTheRest) {
  EXPECT_EQ(DefaultPort("http"), 80);
  EXPECT_EQ(DefaultPort("https"), 443);
  EXPECT_EQ(DefaultPort("ftp"), 21);
  EXPECT_EQ(DefaultPort("gopher"), 70);
  EXPECT_EQ(DefaultPort("file"), 0);
  EXPECT_EQ(DefaultPort("mailto"), 80);
  EXPECT_EQ(DefaultPort(""), 80);
  // Scheme names are compared case-sensitively.
  EXPECT_EQ(DefaultPort("HTTPS"), 80);
  EXPECT_EQ(DefaultPort("File"), 80);
}

TEST(CleanAddressTest, CutsAtTheFirstBlankOrLineBreak) {
  EXPECT_EQ(CleanAddress("http://h/a b"), "http://h/a");
  EXPECT_EQ(CleanAddress("http://h/a\tb c"), "http://h/a");
  EXPECT_EQ(CleanAddress("http://h/a\r\n"), "http://h/a");
  EXPECT_EQ(CleanAddress("http://h/a\nb"), "http://h/a");
  EXPECT_EQ(CleanAddress(" http://h/"), "");
}

TEST(CleanAddressTest, DropsTheFragmentButKeepsAQueryAfterIt) {
  EXPECT_EQ(CleanAddress("page.htm#top"), "page.htm");
  EXPECT_EQ(CleanAddress("page#s?q=1"), "page?q=1");
  EXPECT_EQ(CleanAddress("c.htm?x=1#top"), "c.htm?x=1");
  EXPECT_EQ(CleanAddress("#top"), "");
  // The blank cut comes first: a fragment behind a blank is already gone.
  EXPECT_EQ(CleanAddress("a#b ?q"), "a");
}

TEST(ParseUrlTest, FillsEveryPartOfAPlainAddress) {
  UrlParts parts = Parse("http://www.host.org/dir/page.htm?x=1");
  EXPECT_EQ(parts.scheme, "http");
  EXPECT_EQ(parts.host, "www.host.org");
  EXPECT_EQ(parts.user, "");
  EXPECT_EQ(parts.port, 80);
  EXPECT_EQ(parts.path, "/dir/page.htm?x=1");
  EXPECT_FALSE(parts.opaque);
  EXPECT_EQ(parts.full, "http://www.host.org/dir/page.htm?x=1");
}

TEST(ParseUrlTest, PortRules) {
  UrlParts explicit_port = Parse("http://h:8080/x");
  EXPECT_EQ(explicit_port.host, "h");
  EXPECT_EQ(explicit_port.port, 8080);
  EXPECT_EQ(explicit_port.full, "http://h:8080/x");

  UrlParts default_port = Parse("http://h:80/x");
  EXPECT_EQ(default_port.port, 80);
  EXPECT_EQ(default_port.full, "http://h/x");

  EXPECT_EQ(Parse("http://h:0/x").port, 80);
  EXPECT_EQ(Parse("http://h:0/x").full, "http://h/x");
  EXPECT_EQ(Parse("http://h:/x").port, 80);
  EXPECT_EQ(Parse("http://h:-3/x").port, 80);
  EXPECT_EQ(Parse("https://h:443/x").full, "https://h/x");
  EXPECT_EQ(Parse("https://h:80/x").full, "https://h:80/x");
  EXPECT_EQ(Parse("https://h/x").port, 443);
  EXPECT_EQ(Parse("ftp://h/x").port, 21);
  // A ":" after the first "/" belongs to the path, not to the host.
  UrlParts colon_in_path = Parse("http://h/a:b");
  EXPECT_EQ(colon_in_path.host, "h");
  EXPECT_EQ(colon_in_path.port, 80);
  EXPECT_EQ(colon_in_path.path, "/a:b");
}

TEST(ParseUrlTest, HostWithoutPathGetsTheRootPath) {
  UrlParts bare = Parse("http://h");
  EXPECT_EQ(bare.host, "h");
  EXPECT_EQ(bare.path, "/");
  EXPECT_EQ(bare.full, "http://h/");
  UrlParts with_port = Parse("http://h:8080");
  EXPECT_EQ(with_port.host, "h");
  EXPECT_EQ(with_port.port, 8080);
  EXPECT_EQ(with_port.path, "/");
  EXPECT_EQ(with_port.full, "http://h:8080/");
}

TEST(ParseUrlTest, UserInformationBeforeTheHost) {
  UrlParts parts = Parse("ftp://anna@files.org:2121/pub");
  EXPECT_EQ(parts.user, "anna");
  EXPECT_EQ(parts.host, "files.org");
  EXPECT_EQ(parts.port, 2121);
  EXPECT_EQ(parts.full, "ftp://anna@files.org:2121/pub");
  EXPECT_EQ(Parse("http://a@b@c/").user, "a");
  EXPECT_EQ(Parse("http://a@b@c/").host, "b@c");
}

TEST(ParseUrlTest, APasswordIsReadAsThePort) {
  // user:password@host splits at its first ":": the user name becomes the
  // host and the non-numeric "port" falls back to the default.
  UrlParts parts = Parse("http://anna:secret@h/x");
  EXPECT_EQ(parts.host, "anna");
  EXPECT_EQ(parts.user, "");
  EXPECT_EQ(parts.port, 80);
  EXPECT_EQ(parts.path, "/x");
  EXPECT_EQ(parts.full, "http://anna/x");
}

TEST(ParseUrlTest, OpaqueAddresses) {
  UrlParts script = Parse("javascript:f()");
  EXPECT_TRUE(script.opaque);
  EXPECT_EQ(script.scheme, "javascript");
  EXPECT_EQ(script.host, "");
  EXPECT_EQ(script.port, 0);
  EXPECT_EQ(script.path, "f()");
  EXPECT_EQ(script.full, "");  // left for the resolver to rebuild
  BuildUrl(&script);
  EXPECT_EQ(script.full, "javascript://f()");

  UrlParts mail = Parse("mailto:someone");
  EXPECT_TRUE(mail.opaque);
  BuildUrl(&mail);
  EXPECT_EQ(mail.full, "mailto:someone");

  // Without ":" the scheme is "http", and without "//" the text is opaque.
  UrlParts bare = Parse("www.host.org/x");
  EXPECT_EQ(bare.scheme, "http");
  EXPECT_TRUE(bare.opaque);
  EXPECT_EQ(bare.path, "www.host.org/x");
  EXPECT_EQ(bare.host, "");
}

TEST(ParseUrlTest, ClearsPartsLeftFromAnEarlierAddress) {
  UrlParts parts = Parse("http://u@h:81/x");
  ParseUrl("news:group", &parts);
  EXPECT_EQ(parts.user, "");
  EXPECT_EQ(parts.host, "");
  EXPECT_EQ(parts.port, 0);
  EXPECT_EQ(parts.full, "");
  EXPECT_TRUE(parts.opaque);
  ParseUrl("http://h/", &parts);
  EXPECT_FALSE(parts.opaque);
}

TEST(ParseUrlTest, FileAddresses) {
  UrlParts local = Parse("file:///C:/dir/f.htm");
  EXPECT_EQ(local.host, "localhost");
  EXPECT_EQ(local.port, 0);
  EXPECT_EQ(local.path, "/C:/dir/f.htm");
  EXPECT_EQ(local.full, "file:///C:/dir/f.htm");

  UrlParts named = Parse("file://localhost/C:/x");
  EXPECT_EQ(named.host, "localhost");
  EXPECT_EQ(named.path, "/C:/x");
  EXPECT_EQ(named.full, "file:///C:/x");

  // Any first segment is dropped, whatever it names.
  EXPECT_EQ(Parse("file://server/share/a.htm").path, "/share/a.htm");
  EXPECT_EQ(Parse("file://server").path, "/");
}

TEST(ParseUrlTest, CleansAndNormalizes) {
  EXPECT_EQ(Parse("http://h/a b").full, "http://h/a");
  EXPECT_EQ(Parse("http://h/a/./b/../c#frag").full, "http://h/a/c");
  EXPECT_EQ(Parse("http://h/a#f?q=1").full, "http://h/a?q=1");
}

TEST(NormalizePathTest, DotDotRemovesTheSegmentBefore) {
  EXPECT_EQ(Normalized("/a/b/../c"), "/a/c");
  EXPECT_EQ(Normalized("/a/b/c/../../d"), "/a/d");
  EXPECT_EQ(Normalized("/../x"), "/x");
  EXPECT_EQ(Normalized("/../../x"), "/x");
  // No "/" before the "/../": only "/.." goes.
  EXPECT_EQ(Normalized("a/../b"), "a/b");
}

TEST(NormalizePathTest, FinalDotDot) {
  EXPECT_EQ(Normalized("/a/b/.."), "/a/");
  EXPECT_EQ(Normalized("/a/.."), "/");
  EXPECT_EQ(Normalized("/.."), "/");
  EXPECT_EQ(Normalized("a/.."), "/");
  EXPECT_EQ(Normalized("/a/b/../.."), "/");
}

TEST(NormalizePathTest, DotSegmentsDoubleSlashesAndTilde) {
  EXPECT_EQ(Normalized("/a//b/./c/%7Euser"), "/a/b/c/~user");
  EXPECT_EQ(Normalized("/a/%7euser"), "/a/%7euser");
  EXPECT_EQ(Normalized("/a/././b"), "/a/b");
  EXPECT_EQ(Normalized("/a/."), "/a/");
  EXPECT_EQ(Normalized("///a////b"), "/a/b");
  EXPECT_EQ(Normalized("/a/%7E%7Eb"), "/a/~~b");
  EXPECT_EQ(Normalized(""), "");
  EXPECT_EQ(Normalized("/"), "/");
}

TEST(NormalizePathTest, TheQueryIsNeverChanged) {
  EXPECT_EQ(Normalized("/a/../b?x=/../y//z/./%7E"), "/b?x=/../y//z/./%7E");
  EXPECT_EQ(Normalized("/a/b/..?q"), "/a/?q");
  EXPECT_EQ(Normalized("?q=//"), "?q=//");
}

TEST(BuildUrlTest, AssemblesTheParts) {
  UrlParts parts;
  parts.scheme = "http";
  parts.host = "h";
  parts.user = "u";
  parts.port = 8080;
  parts.path = "/p";
  BuildUrl(&parts);
  EXPECT_EQ(parts.full, "http://u@h:8080/p");
  parts.port = 80;
  BuildUrl(&parts);
  EXPECT_EQ(parts.full, "http://u@h/p");
  parts.port = 0;
  parts.user.clear();
  BuildUrl(&parts);
  EXPECT_EQ(parts.full, "http://h/p");

  // "news" and "mailto" have no "//"; "file" never shows user or host.
  parts.scheme = "news";
  parts.host = "";
  parts.path = "comp.lang";
  BuildUrl(&parts);
  EXPECT_EQ(parts.full, "news:comp.lang");
  parts.scheme = "file";
  parts.host = "localhost";
  parts.user = "u";
  parts.path = "/C:/f";
  BuildUrl(&parts);
  EXPECT_EQ(parts.full, "file:///C:/f");
}

TEST(ResolveLinkTest, RelativeLinks) {
  const char kBase[] = "http://h/a/b/page.htm";
  EXPECT_EQ(Resolve("../c.htm", kBase), "http://h/a/c.htm");
  EXPECT_EQ(Resolve("c.htm?x=1#top", kBase), "http://h/a/b/c.htm?x=1");
  EXPECT_EQ(Resolve("./././c.htm", kBase), "http://h/a/b/c.htm");
  EXPECT_EQ(Resolve("/root.htm", kBase), "http://h/root.htm");
  EXPECT_EQ(Resolve("sub/../d.htm", kBase), "http://h/a/b/d.htm");
  EXPECT_EQ(Resolve("../../../../x", kBase), "http://h/x");
  // A query alone replaces the last segment (the system's own rule).
  EXPECT_EQ(Resolve("?x=1", kBase), "http://h/a/b/?x=1");
}

TEST(ResolveLinkTest, AQueryAfterTheFragmentSurvives) {
  UrlParts parts;
  ResolveLink("page#s?q=1", "http://h/a/", &parts, nullptr);
  EXPECT_TRUE(parts.path.ends_with("page?q=1")) << parts.path;
  EXPECT_EQ(parts.full, "http://h/a/page?q=1");
}

TEST(ResolveLinkTest, TheBaseQueryIsCutBeforeJoining) {
  EXPECT_EQ(Resolve("c", "http://h/a/b?q=/x/y"), "http://h/a/c");
  EXPECT_EQ(Resolve("c", "http://h/?q=/x/y"), "http://h/c");
  EXPECT_EQ(Resolve("c", "http://h"), "http://h/c");
  EXPECT_EQ(Resolve("c", "http://h/abc"), "http://h/c");
}

TEST(ResolveLinkTest, HttpWithoutSlashesIsRelative) {
  EXPECT_EQ(Resolve("http:c.htm", "http://h/a/b.htm"), "http://h/a/c.htm");
  EXPECT_EQ(Resolve("http:/c.htm", "http://h/a/b.htm"), "http://h/c.htm");
  // Capital letters make it a scheme of its own.
  UrlParts parts;
  ResolveLink("HTTP:c.htm", "http://h/a/b.htm", &parts, nullptr);
  EXPECT_EQ(parts.scheme, "HTTP");
  EXPECT_TRUE(parts.opaque);
}

TEST(ResolveLinkTest, KeepsTheBaseSchemePortAndUser) {
  EXPECT_EQ(Resolve("c.htm", "https://u@h:8443/a/b.htm"), "https://u@h:8443/a/c.htm");
  EXPECT_EQ(Resolve("c.htm", "https://h/a/b.htm"), "https://h/a/c.htm");
}

TEST(ResolveLinkTest, SchemeRelativeLinksTakeTheBaseScheme) {
  UrlParts parts;
  bool leaves = false;
  ResolveLink("//other.org/x/../y", "https://h/a", &parts, &leaves);
  EXPECT_EQ(parts.full, "https://other.org/y");
  EXPECT_EQ(parts.port, 443);
  EXPECT_TRUE(leaves);
}

TEST(ResolveLinkTest, AbsoluteLinksAreParsedOnTheirOwn) {
  UrlParts parts;
  bool leaves = true;
  ResolveLink("http://h:8080/x/./y", "http://h/a", &parts, &leaves);
  EXPECT_EQ(parts.full, "http://h:8080/x/y");
  EXPECT_FALSE(leaves);  // the port does not count, only the host

  ResolveLink("mailto:someone", "http://h/a", &parts, &leaves);
  EXPECT_EQ(parts.full, "mailto:someone");
  EXPECT_TRUE(leaves);
  ResolveLink("javascript:f()", "http://h/a", &parts, &leaves);
  EXPECT_TRUE(parts.opaque);
  EXPECT_EQ(parts.full, "javascript://f()");
  EXPECT_EQ(Resolve("ftp://files.org/pub", "http://h/"), "ftp://files.org/pub");
}

TEST(ResolveLinkTest, LeavesHostComparesBytes) {
  EXPECT_TRUE(LeavesHost("http://other/x", "http://h/a"));
  EXPECT_FALSE(LeavesHost("x.htm", "http://h/a"));
  EXPECT_FALSE(LeavesHost("http://h/b", "http://h/a"));
  EXPECT_TRUE(LeavesHost("HTTP://H/", "http://h/"));
  EXPECT_TRUE(LeavesHost("http://H/", "http://h/"));
}

TEST(ResolveLinkTest, EmptyLinksResolveToTheBase) {
  UrlParts parts;
  bool leaves = true;
  ResolveLink("", "http://h/a/b.htm?q=1#f", &parts, &leaves);
  EXPECT_EQ(parts.full, "http://h/a/b.htm?q=1");
  EXPECT_EQ(parts.path, "/a/b.htm?q=1");
  EXPECT_FALSE(leaves);
  EXPECT_EQ(Resolve("#top", "http://h/a/b.htm"), "http://h/a/b.htm");
  EXPECT_EQ(Resolve(" x.htm", "http://h/a/b.htm"), "http://h/a/b.htm");
}

TEST(ResolveLinkTest, StartAddressesResolvedAgainstThemselves) {
  const char kAddress[] = "http://Host.org:80/a/./b.htm#x";
  EXPECT_EQ(Resolve(kAddress, kAddress), "http://Host.org/a/b.htm");
}

TEST(ResolveLinkTest, OpaqueBasesDoNotBreakResolution) {
  EXPECT_EQ(Resolve("x", "mailto:someone"), "mailto:x");
  EXPECT_EQ(Resolve("a/x", "javascript:f()"), "javascript://a/x");
  EXPECT_EQ(Resolve("", ""), "http://");
}

// Random texts over the characters the rules react to never fail, and the
// normalized part before the query never keeps what normalization removes.
TEST(UrlRobustnessTest, RandomTextsYieldParts) {
  const std::string alphabet = "/.:?#@%7Eeab~ \t0Hh";
  std::mt19937 random(20240607);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 24);
  auto random_text = [&] {
    std::string text;
    for (int i = length(random); i > 0; --i) text += alphabet[pick(random)];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string link = random_text();
    const std::string base = (round % 2 == 0 ? "http://h/" : "") + random_text();
    UrlParts parts;
    bool leaves = false;
    ASSERT_NO_THROW(EXPECT_EQ(ResolveLink(link, base, &parts, &leaves), 0))
        << "link '" << link << "' base '" << base << "'";
    EXPECT_TRUE(parts.full.starts_with(parts.scheme + ":"));

    std::string path = random_text();
    ASSERT_NO_THROW(NormalizePath(&path)) << path;
    const std::string head = path.substr(0, path.find('?'));
    EXPECT_EQ(head.find("//"), std::string::npos) << path;
    EXPECT_EQ(head.find("/./"), std::string::npos) << path;
    EXPECT_EQ(head.find("%7E"), std::string::npos) << path;
    EXPECT_FALSE(head.ends_with("/..")) << path;
  }
}

}  // namespace
}  // namespace qora
