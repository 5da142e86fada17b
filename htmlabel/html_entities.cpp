#include "htmlabel/html_entities.h"

#include <array>

namespace htmlabel {
namespace {

struct Entity {
  std::string_view name;  // without the leading "&", lower case
  std::string_view replacement;
};

constexpr std::array<Entity, 9> kLayoutEntities{{
    {"amp;", "&&"},
    {"quot;", "\""},
    {"sect;", "\xA7"},
    {"permil;", "\x89"},
    {"reg;", "\xAE"},
    {"copy;", "\xA9"},
    {"para;", "\xB6"},
    {"trade;", "\x99"},
    {"euro;", "\x80"},
}};

constexpr std::array<Entity, 3> kRunEntities{{
    {"nbsp;", " "},
    {"lt;", "<"},
    {"gt;", ">"},
}};

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when text at offset starts with name (lower case), regardless of case.
bool StartsWithName(std::string_view text, size_t offset, std::string_view name) {
  if (text.size() - offset < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (Lower(text[offset + i]) != name[i]) return false;
  }
  return true;
}

}  // namespace

// Entity matches never overlap (no name contains "&"), and a replacement can
// only create a new match at the second ampersand of "&&", from the text that
// follows it. Replacing until nothing is left therefore gives the same text
// whatever the order, and one scan that keeps such an ampersand pending finds it
// in linear time.
std::string ReplaceLayoutEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    ++i;  // an ampersand, pending until we know what follows it
    for (;;) {
      const Entity* found = nullptr;
      for (const Entity& entity : kLayoutEntities) {
        if (StartsWithName(text, i, entity.name)) {
          found = &entity;
          break;
        }
      }
      if (found == nullptr) {
        out += '&';
        break;
      }
      i += found->name.size();
      if (found->replacement == "&&") {
        out += '&';  // the second ampersand stays pending
        continue;
      }
      out += found->replacement;
      break;
    }
  }
  return out;
}

std::string ReplaceRunEntities(std::string_view run) {
  std::string out;
  out.reserve(run.size());
  size_t i = 0;
  while (i < run.size()) {
    if (run[i] == '&') {
      bool replaced = false;
      for (const Entity& entity : kRunEntities) {
        if (StartsWithName(run, i + 1, entity.name)) {
          out += entity.replacement;
          i += 1 + entity.name.size();
          replaced = true;
          break;
        }
      }
      if (replaced) continue;
    }
    out += run[i++];
  }
  return out;
}

std::string PrepareMarkup(std::string_view source) {
  std::string text = ReplaceLayoutEntities(source);
  const size_t open = text.find("<#");
  if (open != std::string::npos) {
    text.erase(open, 1);
    const size_t close = text.find('>', open);
    if (close != std::string::npos) text.erase(close, 1);
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r') {
      out += "<BR>";
    } else if (c != '\n') {
      out += c;
    }
  }
  return out;
}

}  // namespace htmlabel
