// Lists of items in one text, separated by a single separator byte ("a,b,c").
#pragma once

#include <string>
#include <string_view>

namespace trace {

// Number of separator bytes plus 1; 0 for an empty text.
int ListItemCount(std::string_view list, char separator = ',');

// The index-th item (1-based); the last runs to the end; empty when there is no such item.
std::string ListItem(std::string_view list, int index, char separator = ',');

// True when item occurs in list, ignoring case, bounded by the list ends or separators.
bool ListContains(std::string_view list, std::string_view item, char separator = ',');

// Trims blanks and separators off the ends and blanks around every separator, in place.
void NormalizeList(std::string& list, char separator = ',');

}  // namespace trace
