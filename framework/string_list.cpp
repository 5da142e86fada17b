#include "framework/string_list.h"

#include "framework/exception.h"

namespace fw {

void TStringList::CheckIndex(std::size_t index, std::size_t limit) const {
  if (index >= limit) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Get(std::size_t index) const {
  CheckIndex(index, items_.size());
  return items_[index];
}

void TStringList::Put(std::size_t index, std::string value) {
  CheckIndex(index, items_.size());
  Changing();
  items_[index] = std::move(value);
  Changed();
}

std::size_t TStringList::Add(std::string value) {
  Insert(items_.size(), std::move(value));
  return items_.size() - 1;
}

void TStringList::Insert(std::size_t index, std::string value) {
  CheckIndex(index, items_.size() + 1);
  Changing();
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(value));
  Changed();
}

void TStringList::Delete(std::size_t index) {
  CheckIndex(index, items_.size());
  Changing();
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

long TStringList::IndexOf(std::string_view value) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == value) return static_cast<long>(i);
  }
  return -1;
}

std::string TStringList::Text() const {
  std::string text;
  for (const std::string& item : items_)
    text += item + "\r\n";
  return text;
}

void TStringList::SetText(std::string_view text) {
  BeginUpdate();
  Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    Add(std::string(text.substr(start, end - start)));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
  EndUpdate();
}

void TStringList::BeginUpdate() {
  if (update_count_++ == 0) changed_in_update_ = false;
}

void TStringList::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0 && changed_in_update_) {
    changed_in_update_ = false;
    if (OnChange) OnChange(this);
  }
}

void TStringList::Changing() {
  // Within a batch only the first change is announced.
  if (update_count_ > 0 && changed_in_update_) return;
  if (OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (update_count_ > 0) {
    changed_in_update_ = true;
    return;
  }
  if (OnChange) OnChange(this);
}

}  // namespace fw
