// Documents from outside the application shown in its browser frame:
// archived copies of web pages and live pages. Each is served sandboxed
// without the application's origin, so nothing it carries can reach the
// application; its own scripts are refused by its policy, and only the
// frame agent of the application (web/js/frame_agent.js), named with a
// nonce, runs in it to carry out the word bar's commands.
#ifndef QORA_SHELL_FRAME_DOCUMENTS_H_
#define QORA_SHELL_FRAME_DOCUMENTS_H_

#include <string>
#include <string_view>

namespace qora {

// The path of the frame agent among the front's files.
inline constexpr char kFrameAgentPath[] = "/web/js/frame_agent.js";

// A new nonce: 32 random hexadecimal digits.
std::string NewNonce();

// The Content-Security-Policy of an HTML document from outside: a sandbox
// that allows scripts and modal dialogs (printing) but not the
// application's origin, forms, pop-ups or navigating the window, and a
// script policy that lets only scripts carrying `nonce` run (no inline
// script of the page, no script it loads, no event-handler attribute, no
// "javascript:" address). Plug-ins are refused.
std::string FramedDocumentPolicy(std::string_view nonce);

// The policy of anything else from outside (images, text, PDF): a sandbox
// allowing nothing.
inline constexpr char kFramedFilePolicy[] = "sandbox";

// `text` with &, <, >, " and ' written as character references, for an
// attribute value or element text.
std::string HtmlEscaped(std::string_view text);

// `html` with the frame agent's script element (src `agent_url`, nonce
// `nonce`) and, when `base` is not empty, a <base href="base"> after it,
// both put right after the opening head tag; after the opening html tag
// when there is no head tag; at the start when there is neither. Tags are
// found without regard to case; nothing else of `html` changes.
std::string WithFrameAgent(std::string_view html, std::string_view agent_url,
                           std::string_view nonce, std::string_view base);

// A small page that says `message` (escaped), for a live page that could
// not be fetched.
std::string FramedMessagePage(std::string_view message);

// Whether a fetched page of content type `type` (as the server sent it;
// "" when none) is shown as an HTML document: "text/html",
// "application/xhtml+xml", or no type at all.
bool IsHtmlType(std::string_view type);

// The content type an HTML live page of type `type` is served with:
// "text/html", with the charset parameter of `type` when it has one made
// only of letters, digits and "-_.:".
std::string HtmlType(std::string_view type);

// The content type a live page of type `type` that is not HTML is served
// with: the plain type (parameters dropped, lower case) when it is one of
// text/plain, image/png, image/jpeg, image/gif, image/webp and
// application/pdf; else "text/plain", so that nothing of another type is
// interpreted.
std::string SafeFileType(std::string_view type);

}  // namespace qora

#endif  // QORA_SHELL_FRAME_DOCUMENTS_H_
