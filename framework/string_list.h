// A list of strings that tells its listeners before and after every change.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "framework/object.h"

namespace fw {

// An ordered list of strings with change notification. Between BeginUpdate
// and the matching EndUpdate, OnChanging fires before the first change and
// OnChange once at the end.
class TStringList : public TObject {
 public:
  // Raised before a change; the sender is the list.
  TNotifyEvent OnChanging;
  // Raised after a change; the sender is the list.
  TNotifyEvent OnChange;

  // The number of strings.
  std::size_t Count() const { return items_.size(); }
  // The string at index; throws EListError when out of range.
  const std::string& Get(std::size_t index) const;
  // Replaces the string at index; throws EListError when out of range.
  void Put(std::size_t index, std::string value);
  // Appends a string and returns its index.
  std::size_t Add(std::string value);
  // Inserts a string before index (index == Count appends).
  void Insert(std::size_t index, std::string value);
  // Removes the string at index.
  void Delete(std::size_t index);
  // Removes all strings (no events when already empty).
  void Clear();
  // The index of the first string equal to value, or -1.
  long IndexOf(std::string_view value) const;
  // All strings joined, each followed by CR LF.
  std::string Text() const;
  // Replaces the contents by the lines of text (CR LF, LF or CR separated).
  void SetText(std::string_view text);
  // Starts a batch of changes.
  void BeginUpdate();
  // Ends a batch; the outermost end raises the events once if anything changed.
  void EndUpdate();

 private:
  void Changing();
  void Changed();
  void CheckIndex(std::size_t index, std::size_t limit) const;

  std::vector<std::string> items_;
  int update_count_ = 0;
  bool changed_in_update_ = false;
};

}  // namespace fw
