#include "shell/frame_documents.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

TEST(FrameDocumentsTest, TheAgentGoesRightAfterTheHeadTag) {
  EXPECT_EQ(
      WithFrameAgent("<!DOCTYPE html><HTML><Head lang=\"x\"><title>t</title></head><body>b</body>",
                     "http://127.0.0.1:9/web/js/frame_agent.js", "n0",
                     "http://a.org/d/p?q=1&r=\"2\""),
      "<!DOCTYPE html><HTML><Head lang=\"x\"><script nonce=\"n0\" "
      "src=\"http://127.0.0.1:9/web/js/frame_agent.js\"></script>"
      "<base "
      "href=\"http://a.org/d/p?q=1&amp;r=&quot;2&quot;\"><title>t</title></head><body>b</body>");
  // "<header>" is not a head tag; without head the html tag is taken.
  EXPECT_EQ(
      WithFrameAgent("<html><body><header>h</header></body></html>", "/a.js", "n", ""),
      "<html><script nonce=\"n\" src=\"/a.js\"></script><body><header>h</header></body></html>");
  EXPECT_EQ(WithFrameAgent("plain <b>text</b>", "/a.js", "n", ""),
            "<script nonce=\"n\" src=\"/a.js\"></script>plain <b>text</b>");
  EXPECT_EQ(WithFrameAgent("<head", "/a.js", "n", ""),
            "<script nonce=\"n\" src=\"/a.js\"></script><head");
  EXPECT_EQ(WithFrameAgent("", "/a.js", "n", ""), "<script nonce=\"n\" src=\"/a.js\"></script>");
}

TEST(FrameDocumentsTest, ThePolicyRunsOnlyScriptsWithTheNonceAndKeepsTheOriginOut) {
  const std::string nonce = NewNonce();
  EXPECT_EQ(nonce.size(), 32u);
  EXPECT_NE(nonce, NewNonce());
  const std::string policy = FramedDocumentPolicy(nonce);
  EXPECT_EQ(policy, "sandbox allow-scripts allow-modals; script-src 'nonce-" + nonce +
                        "'; object-src 'none'");
  EXPECT_EQ(policy.find("allow-same-origin"), std::string::npos);
  EXPECT_EQ(policy.find("unsafe"), std::string::npos);
}

TEST(FrameDocumentsTest, TypesOfLivePages) {
  EXPECT_TRUE(IsHtmlType("text/html; charset=ISO-8859-1"));
  EXPECT_TRUE(IsHtmlType(" Application/XHTML+XML"));
  EXPECT_TRUE(IsHtmlType(""));
  EXPECT_FALSE(IsHtmlType("image/svg+xml"));
  EXPECT_EQ(HtmlType("text/html; charset=ISO-8859-1"), "text/html; charset=iso-8859-1");
  EXPECT_EQ(HtmlType("text/html; charset=\"x\r\nSet-Cookie: a\""), "text/html");
  EXPECT_EQ(HtmlType("text/html"), "text/html");
  EXPECT_EQ(SafeFileType("IMAGE/PNG; x=y"), "image/png");
  EXPECT_EQ(SafeFileType("image/svg+xml"), "text/plain");
  EXPECT_EQ(SafeFileType("application/javascript"), "text/plain");
  EXPECT_EQ(FramedMessagePage("<b>&'\"").find("<b>"), std::string::npos);
  EXPECT_NE(FramedMessagePage("<b>&").find("&lt;b&gt;&amp;"), std::string::npos);
}

}  // namespace
}  // namespace qora
