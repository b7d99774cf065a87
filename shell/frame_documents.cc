#include "shell/frame_documents.h"

#include <random>

#include "util/ascii.h"

namespace qora {
namespace {

// The position just after the opening tag `name` ("<head" followed by a
// blank, "/" or ">", up to its ">"), or npos. `lower` is the lower-case copy
// of the document.
size_t AfterOpeningTag(std::string_view lower, std::string_view name) {
  for (size_t at = lower.find(name); at != std::string_view::npos; at = lower.find(name, at + 1)) {
    const size_t next = at + name.size();
    if (next >= lower.size()) return std::string_view::npos;
    const char c = lower[next];
    if (c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
      const size_t close = lower.find('>', next);
      return close == std::string_view::npos ? std::string_view::npos : close + 1;
    }
  }
  return std::string_view::npos;
}

// The media type of `type` without parameters and blanks, in lower case.
std::string MediaType(std::string_view type) {
  const size_t semicolon = type.find(';');
  std::string media = AsciiLower(type.substr(0, semicolon));
  std::string trimmed;
  for (char c : media) {
    if (c != ' ' && c != '\t') trimmed.push_back(c);
  }
  return trimmed;
}

}  // namespace

std::string NewNonce() {
  std::random_device device;
  static const char kDigits[] = "0123456789abcdef";
  std::string nonce;
  for (int i = 0; i < 32; ++i) nonce.push_back(kDigits[device() % 16]);
  return nonce;
}

std::string FramedDocumentPolicy(std::string_view nonce) {
  std::string policy = "sandbox allow-scripts allow-modals; script-src 'nonce-";
  policy += nonce;
  policy += "'; object-src 'none'";
  return policy;
}

std::string HtmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string WithFrameAgent(std::string_view html, std::string_view agent_url,
                           std::string_view nonce, std::string_view base) {
  std::string added = "<script nonce=\"";
  added += HtmlEscaped(nonce);
  added += "\" src=\"";
  added += HtmlEscaped(agent_url);
  added += "\"></script>";
  if (!base.empty()) {
    added += "<base href=\"";
    added += HtmlEscaped(base);
    added += "\">";
  }
  const std::string lower = AsciiLower(html);
  size_t at = AfterOpeningTag(lower, "<head");
  if (at == std::string_view::npos) at = AfterOpeningTag(lower, "<html");
  if (at == std::string_view::npos) at = 0;
  std::string out;
  out.reserve(html.size() + added.size());
  out.append(html.substr(0, at));
  out.append(added);
  out.append(html.substr(at));
  return out;
}

std::string FramedMessagePage(std::string_view message) {
  std::string page =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>QORA</title></head>"
      "<body style=\"font-family: sans-serif\"><p class=\"qora-message\">";
  page += HtmlEscaped(message);
  page += "</p></body></html>";
  return page;
}

bool IsHtmlType(std::string_view type) {
  const std::string media = MediaType(type);
  return media.empty() || media == "text/html" || media == "application/xhtml+xml";
}

std::string HtmlType(std::string_view type) {
  const std::string lower = AsciiLower(type);
  const size_t at = lower.find("charset=");
  if (at == std::string::npos) return "text/html";
  std::string charset;
  for (size_t i = at + 8; i < lower.size(); ++i) {
    const char c = lower[i];
    if (c == ';' || c == ' ') break;
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '-' && c != '_' && c != '.' && c != ':') {
      return "text/html";
    }
    charset.push_back(c);
  }
  if (charset.empty()) return "text/html";
  return "text/html; charset=" + charset;
}

std::string SafeFileType(std::string_view type) {
  const std::string media = MediaType(type);
  for (const char* safe :
       {"text/plain", "image/png", "image/jpeg", "image/gif", "image/webp", "application/pdf"}) {
    if (media == safe) return media;
  }
  return "text/plain";
}

}  // namespace qora
