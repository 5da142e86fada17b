// Character entities of the markup: the ones replaced in the whole text before
// layout, and "&nbsp;", "&lt;", "&gt;", replaced only inside a text run so that
// they never start or end a tag.
#pragma once

#include <string>
#include <string_view>

namespace htmlabel {

// Replaces "&amp;" (by "&&", one ampersand once drawn), "&quot;", "&sect;",
// "&permil;", "&reg;", "&copy;", "&para;", "&trade;" and "&euro;" (Windows-1252
// codes), regardless of case, until none is left; an ampersand produced by
// "&amp;" can start a further entity with the text after it.
std::string ReplaceLayoutEntities(std::string_view text);

// Replaces "&nbsp;" by a blank, "&lt;" by "<" and "&gt;" by ">", regardless of case.
std::string ReplaceRunEntities(std::string_view run);

// The markup as laid out: layout entities replaced; at the first "<#" the "<"
// and the first ">" after it removed (the enclosed text is shown); every
// carriage return turned into "<BR>" and every line feed dropped.
std::string PrepareMarkup(std::string_view source);

}  // namespace htmlabel
