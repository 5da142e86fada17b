// The symbol data of one module: its unit segments, public symbols and source lines with
// absolute addresses, and the answers by address (unit, public, line).
//
// Segments are kept sorted by kind (code before data) and start; publics by address (the
// readers deliver them so or sort them); lines are appended in address order. The three
// arrays grow by a fixed rule: to 16 entries while they hold 7 or fewer, else by half.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

// A unit's run of code or data.
struct TMfSegment {
  uint8_t valid = 0;  // 1 for a found segment
  uint8_t code = 0;   // 1 = code, 0 = data
  uint32_t start = 0;
  uint32_t length = 0;
  std::string unit_name;
};

// A public symbol (function or variable).
struct TMfPublic {
  uint8_t valid = 0;  // 1 for a found public
  uint8_t code = 0;   // 1 = code, 0 = data
  std::string name;
  uint32_t address = 0;
};

// The source line whose code starts at address.
struct TMfLine {
  int32_t line = 0;
  uint32_t address = 0;
};

// A vector whose capacity grows by the arrays' rule: 16 while it is 7 or less, else by half.
template <class T>
class GrowingArray {
 public:
  // Appends value, growing the capacity first when it is reached.
  void Append(T value) {
    Grow();
    items_.push_back(std::move(value));
  }
  // Inserts value before index, growing the capacity first when it is reached.
  void Insert(size_t index, T value) {
    Grow();
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(value));
  }
  // The entries.
  const std::vector<T>& items() const { return items_; }
  // The entries, for sorting and fix-ups that keep their count.
  std::vector<T>& mutable_items() { return items_; }
  // The number of entries the array holds room for.
  size_t capacity() const { return capacity_; }

 private:
  void Grow() {
    if (items_.size() < capacity_) return;
    capacity_ = capacity_ <= 7 ? 16 : capacity_ + capacity_ / 2;
    items_.reserve(capacity_);
  }

  std::vector<T> items_;
  size_t capacity_ = 0;
};

class TMapFile {
 public:
  // An invalid map without symbols: every query answers "not found".
  TMapFile() = default;

  // The module's handle (base address) and file name; the symbol file name starts as it.
  void SetModule(uint32_t module, std::string module_file_name);
  // The code range [start, end) and the data range [start, end) of the module.
  void SetRanges(uint32_t code_start, uint32_t code_end, uint32_t data_start, uint32_t data_end);
  // Marks the map as holding symbol data that was found and read.
  void set_valid(bool valid) { valid_ = valid; }
  // Names the file the symbol data was read from.
  void set_symbol_file_name(std::string name) { symbol_file_name_ = std::move(name); }
  // The module's program entry point.
  void set_entry_point(uint32_t address) { entry_point_ = address; }

  // The absolute address of an offset of the given kind (added to code or data start).
  uint32_t Absolute(bool code, uint32_t offset) const {
    return (code ? code_start_ : data_start_) + offset;
  }

  // Inserts a segment among those of its kind by start (after equal starts, data after
  // code); returns its index.
  size_t AddSegment(bool code, uint32_t start, uint32_t length, std::string unit_name);
  // Appends a public; the caller keeps the order by address (or calls SortPublics).
  void AppendPublic(bool code, std::string name, uint32_t address);
  // Appends a line.
  void AppendLine(int32_t line, uint32_t address);
  // Sorts the publics by address (stable).
  void SortPublics();
  // Sorts the lines by address (stable).
  void SortLines();
  // The segments, for the fix-ups of the readers that keep their order.
  std::vector<TMfSegment>& mutable_segments() { return segments_.mutable_items(); }
  // Index of the segment added last; segments().size() when none was added.
  size_t last_added_segment() const { return last_added_; }

  // The segment of kind code that contains address, among the 8 that start nearest at or
  // below it; none (index segments().size()) otherwise.
  size_t SegmentIndexOf(bool code, uint32_t address) const;

  // A copy of the segment that contains address (start <= address < start + length), or one
  // with valid 0.
  TMfSegment SegmentAt(uint32_t address) const;
  // A copy of the public with the greatest address not above address, when address is below
  // the next public's address (code end for the last one); else one with valid 0.
  TMfPublic PublicAt(uint32_t address) const;
  // The line number of the code at address when the segment there also holds that line's
  // start; 0 when none.
  int32_t LineAt(uint32_t address) const;
  // The address of the first public of kind code named name (case-sensitively or not) within
  // a segment of that kind whose unit is unit (ignoring case); 0 when none.
  uint32_t FindPublic(bool code, std::string_view unit, bool case_sensitive,
                      std::string_view name) const;
  // The name of the public that starts exactly at address; empty when none does.
  std::string ExactName(uint32_t address) const;

  const std::vector<TMfSegment>& segments() const { return segments_.items(); }
  const std::vector<TMfPublic>& publics() const { return publics_.items(); }
  const std::vector<TMfLine>& lines() const { return lines_.items(); }
  // Room for entries in each of the three arrays.
  size_t segment_capacity() const { return segments_.capacity(); }
  size_t public_capacity() const { return publics_.capacity(); }
  size_t line_capacity() const { return lines_.capacity(); }

  uint32_t entry_point() const { return entry_point_; }
  uint32_t data_start() const { return data_start_; }
  uint32_t data_end() const { return data_end_; }
  uint32_t module() const { return module_; }
  bool valid() const { return valid_; }
  uint32_t code_start() const { return code_start_; }
  uint32_t code_end() const { return code_end_; }
  const std::string& module_file_name() const { return module_file_name_; }
  const std::string& symbol_file_name() const { return symbol_file_name_; }

 private:
  // Index of the public for address, or publics().size().
  size_t PublicIndexOf(uint32_t address) const;

  GrowingArray<TMfSegment> segments_;
  GrowingArray<TMfPublic> publics_;
  GrowingArray<TMfLine> lines_;
  size_t last_added_ = 0;
  uint32_t entry_point_ = 0;
  uint32_t data_start_ = 0;
  uint32_t data_end_ = 0;
  uint32_t module_ = 0;
  bool valid_ = false;
  uint32_t code_start_ = 0;
  uint32_t code_end_ = 0;
  std::string module_file_name_;
  std::string symbol_file_name_;
};

}  // namespace trace
