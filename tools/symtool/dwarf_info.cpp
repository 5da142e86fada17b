#include "tools/symtool/dwarf_info.h"

#include <algorithm>
#include <string_view>

#include "tools/symtool/byte_cursor.h"
#include "tools/symtool/dwarf_abbrev.h"

namespace symtool {
namespace {

constexpr uint64_t kNone = ~uint64_t{0};

// Tags.
enum : uint64_t {
  kTagClass = 0x02,
  kTagStructure = 0x13,
  kTagUnion = 0x17,
  kTagCompileUnit = 0x11,
  kTagSubprogram = 0x2e,
  kTagNamespace = 0x39,
  kTagPartialUnit = 0x3c,
  kTagSkeletonUnit = 0x4a,
};

// Attributes.
enum : uint64_t {
  kAtName = 0x03,
  kAtStmtList = 0x10,
  kAtLowPc = 0x11,
  kAtHighPc = 0x12,
  kAtAbstractOrigin = 0x31,
  kAtDeclaration = 0x3c,
  kAtSpecification = 0x47,
  kAtRanges = 0x55,
  kAtLinkageName = 0x6e,
  kAtStrOffsetsBase = 0x72,
  kAtAddrBase = 0x73,
  kAtRnglistsBase = 0x74,
  kAtMipsLinkageName = 0x2007,
};

// Unit types of version 5 headers.
enum : uint8_t {
  kUnitType = 0x02,
  kUnitSkeleton = 0x04,
  kUnitSplitCompile = 0x05,
  kUnitSplitType = 0x06,
};

// The value of one attribute, as far as it is understood.
struct Value {
  enum Kind : uint8_t {
    kAbsent,
    kUnsigned,      // constants, flags, section offsets
    kSigned,        // DW_FORM_sdata, DW_FORM_implicit_const
    kAddress,       // DW_FORM_addr
    kAddressIndex,  // DW_FORM_addrx*: index into .debug_addr
    kString,        // resolved text
    kStringIndex,   // DW_FORM_strx*: index into .debug_str_offsets
    kReference,     // offset of an entry in .debug_info
    kRangeIndex,    // DW_FORM_rnglistx
    kOther,         // blocks and references into other files: read past, not used
  };
  Kind kind = kAbsent;
  uint64_t number = 0;
  std::string_view text;
};

// What the walk keeps of every entry.
struct Entry {
  uint64_t offset = 0;
  uint32_t parent = 0;  // index + 1 of the parent entry, 0 for a unit's top entry
  uint16_t tag = 0;
  std::string_view name;
  std::string_view linkage_name;
  uint64_t declaration = kNone;  // the declaration this entry completes
  uint64_t origin = kNone;
};

// A function entry with code, waiting for its names until every unit has been read.
struct PendingFunction {
  uint32_t entry = 0;
  uint32_t unit = 0;
  std::vector<AddressRange> ranges;
};

// The fixed facts of the unit being read.
struct UnitContext {
  uint64_t offset = 0;  // of the unit header in .debug_info
  uint16_t version = 0;
  uint8_t address_size = 4;
  uint8_t offset_size = 4;
  uint64_t str_offsets_base = 0;
  uint64_t addr_base = 0;
  uint64_t rnglists_base = 0;
  uint64_t base_address = 0;
};

std::string_view StringAt(std::string_view section, uint64_t offset) {
  if (offset >= section.size()) return {};
  ByteCursor cursor(section, static_cast<size_t>(offset));
  const std::string_view text = cursor.CString();
  return cursor.ok() ? text : std::string_view();
}

class InfoReader {
 public:
  explicit InfoReader(const DwarfSections& sections) : s_(sections) {}

  DwarfInfo Read() {
    ByteCursor units(s_.info);
    while (!units.at_end()) {
      const size_t unit_offset = units.position();
      uint64_t length = units.U32();
      uint8_t offset_size = 4;
      if (length == 0xFFFFFFFF) {
        length = units.U64();
        offset_size = 8;
      }
      if (!units.ok() || length > units.remaining()) {
        ++info_.malformed_units;
        break;
      }
      const size_t unit_end = units.position() + static_cast<size_t>(length);
      ByteCursor cursor(s_.info.substr(0, unit_end), units.position());
      UnitContext unit;
      unit.offset = unit_offset;
      unit.offset_size = offset_size;
      if (!ReadUnit(cursor, unit)) ++info_.malformed_units;
      units.Seek(unit_end);
    }
    ResolveNames();
    return std::move(info_);
  }

 private:
  // Reads one unit after its length field; false at the first fault.
  bool ReadUnit(ByteCursor& cursor, UnitContext& unit) {
    unit.version = cursor.U16();
    if (!cursor.ok() || unit.version < 2 || unit.version > 5) return false;
    uint64_t abbrev_offset = 0;
    if (unit.version >= 5) {
      const uint8_t type = cursor.U8();
      unit.address_size = cursor.U8();
      abbrev_offset = cursor.Fixed(unit.offset_size);
      if (type == kUnitType || type == kUnitSplitType) cursor.Skip(8 + unit.offset_size);
      if (type == kUnitSkeleton || type == kUnitSplitCompile) cursor.Skip(8);
    } else {
      abbrev_offset = cursor.Fixed(unit.offset_size);
      unit.address_size = cursor.U8();
    }
    if (!cursor.ok() || unit.address_size == 0 || unit.address_size > 8) return false;
    if (abbrev_offset != abbrev_offset_ || !abbrevs_) {
      abbrevs_ = AbbrevTable::Read(s_.abbrev, abbrev_offset);
      abbrev_offset_ = abbrev_offset;
    }
    if (!abbrevs_) return false;

    std::vector<uint32_t> parents;  // index + 1 of the open entries with children
    std::vector<std::pair<const AbbrevAttribute*, Value>> values;
    bool first = true;
    uint32_t unit_index = 0;
    while (!cursor.at_end()) {
      const uint64_t offset = cursor.position();
      const uint64_t code = cursor.Uleb();
      if (!cursor.ok()) return false;
      if (code == 0) {
        if (!parents.empty()) parents.pop_back();
        continue;
      }
      const Abbrev* abbrev = abbrevs_->Find(code);
      if (!abbrev) return false;
      values.clear();
      for (const AbbrevAttribute& attribute : abbrev->attributes) {
        Value value;
        if (!ReadValue(cursor, attribute.form, attribute.implicit_value, unit, value, 0))
          return false;
        values.emplace_back(&attribute, value);
      }
      if (first) {
        // The unit's bases may follow the attributes that need them, so they come first.
        for (auto& [attribute, value] : values) {
          if (attribute->name == kAtStrOffsetsBase) unit.str_offsets_base = value.number;
          if (attribute->name == kAtAddrBase) unit.addr_base = value.number;
          if (attribute->name == kAtRnglistsBase) unit.rnglists_base = value.number;
        }
      }
      Entry entry;
      entry.offset = offset;
      entry.parent = parents.empty() ? 0 : parents.back();
      entry.tag = static_cast<uint16_t>(std::min<uint64_t>(abbrev->tag, 0xFFFF));
      std::optional<uint64_t> low_pc, high_pc, high_offset, ranges_at, stmt_list;
      std::optional<uint64_t> range_index;
      bool declaration = false;
      for (auto& [attribute, value] : values) {
        switch (attribute->name) {
          case kAtName:
            entry.name = Text(value, unit);
            break;
          case kAtLinkageName:
          case kAtMipsLinkageName:
            entry.linkage_name = Text(value, unit);
            break;
          case kAtSpecification:
            if (value.kind == Value::kReference) entry.declaration = value.number;
            break;
          case kAtAbstractOrigin:
            if (value.kind == Value::kReference) entry.origin = value.number;
            break;
          case kAtDeclaration:
            declaration = value.number != 0;
            break;
          case kAtLowPc:
            low_pc = Address(value, unit);
            break;
          case kAtHighPc:
            if (value.kind == Value::kAddress || value.kind == Value::kAddressIndex)
              high_pc = Address(value, unit);
            else if (value.kind == Value::kUnsigned || value.kind == Value::kSigned)
              high_offset = value.number;
            break;
          case kAtRanges:
            if (value.kind == Value::kUnsigned) ranges_at = value.number;
            if (value.kind == Value::kRangeIndex) range_index = value.number;
            break;
          case kAtStmtList:
            if (value.kind == Value::kUnsigned) stmt_list = value.number;
            break;
        }
      }
      if (low_pc && high_offset) high_pc = *low_pc + *high_offset;
      if (range_index) ranges_at = RangeListOffset(*range_index, unit);

      const bool is_unit = entry.tag == kTagCompileUnit || entry.tag == kTagPartialUnit ||
                           entry.tag == kTagSkeletonUnit;
      if (first) {
        first = false;
        if (!is_unit) return false;
        unit.base_address = low_pc.value_or(0);
        DwarfUnit out;
        out.name = std::string(entry.name);
        out.line_offset = stmt_list;
        out.address_size = unit.address_size;
        out.version = unit.version;
        out.ranges = CodeRanges(low_pc, high_pc, ranges_at, unit);
        unit_index = static_cast<uint32_t>(info_.units.size());
        info_.units.push_back(std::move(out));
      } else if (entry.tag == kTagSubprogram && !declaration) {
        std::vector<AddressRange> code = CodeRanges(low_pc, high_pc, ranges_at, unit);
        if (!code.empty())
          pending_.push_back({static_cast<uint32_t>(entries_.size()), unit_index, std::move(code)});
      }
      entries_.push_back(entry);
      if (abbrev->has_children) parents.push_back(static_cast<uint32_t>(entries_.size()));
    }
    return cursor.ok();
  }

  // Reads a value of the form; false when the form is unknown or its bytes run out.
  bool ReadValue(ByteCursor& c, uint64_t form, int64_t implicit_value, const UnitContext& unit,
                 Value& v, int depth) {
    const uint8_t offset_size = unit.offset_size;
    switch (form) {
      case 0x01:  // addr
        v = {Value::kAddress, c.Fixed(unit.address_size), {}};
        break;
      case 0x03:  // block2
        c.Skip(c.U16());
        v.kind = Value::kOther;
        break;
      case 0x04:  // block4
        c.Skip(c.U32());
        v.kind = Value::kOther;
        break;
      case 0x05:  // data2
        v = {Value::kUnsigned, c.U16(), {}};
        break;
      case 0x06:  // data4
        v = {Value::kUnsigned, c.U32(), {}};
        break;
      case 0x07:  // data8
        v = {Value::kUnsigned, c.U64(), {}};
        break;
      case 0x08:  // string
        v = {Value::kString, 0, c.CString()};
        break;
      case 0x09:  // block
      case 0x18:  // exprloc
        c.Skip(c.Uleb());
        v.kind = Value::kOther;
        break;
      case 0x0a:  // block1
        c.Skip(c.U8());
        v.kind = Value::kOther;
        break;
      case 0x0b:  // data1
      case 0x0c:  // flag
        v = {Value::kUnsigned, c.U8(), {}};
        break;
      case 0x0d:  // sdata
        v = {Value::kSigned, static_cast<uint64_t>(c.Sleb()), {}};
        break;
      case 0x0e:  // strp
        v = {Value::kString, 0, StringAt(s_.str, c.Fixed(offset_size))};
        break;
      case 0x0f:  // udata
        v = {Value::kUnsigned, c.Uleb(), {}};
        break;
      case 0x10:  // ref_addr: an offset in the section (the address size in version 2)
        v = {Value::kReference, c.Fixed(unit.version <= 2 ? unit.address_size : offset_size), {}};
        break;
      case 0x11:  // ref1
        v = {Value::kReference, unit.offset + c.U8(), {}};
        break;
      case 0x12:  // ref2
        v = {Value::kReference, unit.offset + c.U16(), {}};
        break;
      case 0x13:  // ref4
        v = {Value::kReference, unit.offset + c.U32(), {}};
        break;
      case 0x14:  // ref8
        v = {Value::kReference, unit.offset + c.U64(), {}};
        break;
      case 0x15:  // ref_udata
        v = {Value::kReference, unit.offset + c.Uleb(), {}};
        break;
      case 0x16: {  // indirect: the form comes first
        const uint64_t actual = c.Uleb();
        if (depth >= 4 || actual == 0x16 || actual == 0x21) return false;
        return ReadValue(c, actual, implicit_value, unit, v, depth + 1);
      }
      case 0x17:  // sec_offset
        v = {Value::kUnsigned, c.Fixed(offset_size), {}};
        break;
      case 0x19:  // flag_present
        v = {Value::kUnsigned, 1, {}};
        break;
      case 0x1a:    // strx
      case 0x1f02:  // GNU_str_index
        v = {Value::kStringIndex, c.Uleb(), {}};
        break;
      case 0x1b:    // addrx
      case 0x1f01:  // GNU_addr_index
        v = {Value::kAddressIndex, c.Uleb(), {}};
        break;
      case 0x1c:  // ref_sup4
        c.Skip(4);
        v.kind = Value::kOther;
        break;
      case 0x1d:    // strp_sup
      case 0x1f20:  // GNU_ref_alt
      case 0x1f21:  // GNU_strp_alt
        c.Skip(offset_size);
        v.kind = Value::kOther;
        break;
      case 0x1e:  // data16
        c.Skip(16);
        v.kind = Value::kOther;
        break;
      case 0x1f:  // line_strp
        v = {Value::kString, 0, StringAt(s_.line_str, c.Fixed(offset_size))};
        break;
      case 0x20:  // ref_sig8
      case 0x24:  // ref_sup8
        c.Skip(8);
        v.kind = Value::kOther;
        break;
      case 0x21:  // implicit_const
        v = {Value::kSigned, static_cast<uint64_t>(implicit_value), {}};
        break;
      case 0x22:  // loclistx
        c.Uleb();
        v.kind = Value::kOther;
        break;
      case 0x23:  // rnglistx
        v = {Value::kRangeIndex, c.Uleb(), {}};
        break;
      case 0x25:  // strx1
      case 0x26:  // strx2
      case 0x27:  // strx3
      case 0x28:  // strx4
        v = {Value::kStringIndex, c.Fixed(form - 0x24), {}};
        break;
      case 0x29:  // addrx1
      case 0x2a:  // addrx2
      case 0x2b:  // addrx3
      case 0x2c:  // addrx4
        v = {Value::kAddressIndex, c.Fixed(form - 0x28), {}};
        break;
      default:
        return false;
    }
    return c.ok();
  }

  std::string_view Text(const Value& value, const UnitContext& unit) const {
    if (value.kind == Value::kString) return value.text;
    if (value.kind != Value::kStringIndex) return {};
    const uint64_t size = unit.offset_size;
    if (value.number > s_.str_offsets.size() / size) return {};
    const uint64_t at = unit.str_offsets_base + value.number * size;
    if (at > s_.str_offsets.size() || s_.str_offsets.size() - at < size) return {};
    ByteCursor cursor(s_.str_offsets, static_cast<size_t>(at));
    return StringAt(s_.str, cursor.Fixed(size));
  }

  std::optional<uint64_t> Address(const Value& value, const UnitContext& unit) const {
    if (value.kind == Value::kAddress || value.kind == Value::kUnsigned) return value.number;
    if (value.kind != Value::kAddressIndex) return std::nullopt;
    uint64_t address = 0;
    if (!AddressIndex(s_.addr, unit.addr_base, unit.address_size).Lookup(value.number, address))
      return std::nullopt;
    return address;
  }

  // The offset in .debug_rnglists of list number index of the unit's offset table.
  std::optional<uint64_t> RangeListOffset(uint64_t index, const UnitContext& unit) const {
    const uint64_t size = unit.offset_size;
    if (index > s_.rnglists.size() / size) return std::nullopt;
    const uint64_t at = unit.rnglists_base + index * size;
    if (at > s_.rnglists.size() || s_.rnglists.size() - at < size) return std::nullopt;
    ByteCursor cursor(s_.rnglists, static_cast<size_t>(at));
    return unit.rnglists_base + cursor.Fixed(size);
  }

  std::vector<AddressRange> CodeRanges(std::optional<uint64_t> low, std::optional<uint64_t> high,
                                       std::optional<uint64_t> list, const UnitContext& unit) {
    std::vector<AddressRange> ranges;
    if (list) {
      bool ok = false;
      if (unit.version >= 5) {
        const AddressIndex addresses(s_.addr, unit.addr_base, unit.address_size);
        ranges =
            ReadRngList(s_.rnglists, *list, unit.address_size, unit.base_address, addresses, ok);
      } else {
        ranges = ReadRangeList(s_.ranges, *list, unit.address_size, unit.base_address, ok);
      }
    } else if (low && high && *high > *low) {
      ranges.push_back({*low, *high});
    }
    if (ranges.size() > kMaxTotalRanges - total_ranges_) ranges.clear();
    total_ranges_ += ranges.size();
    return ranges;
  }

  const Entry* Find(uint64_t offset) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), offset,
                                     [](const Entry& e, uint64_t o) { return e.offset < o; });
    return it != entries_.end() && it->offset == offset ? &*it : nullptr;
  }

  // The name of the scopes around entry, each followed by "::".
  std::string Scope(const Entry& entry) const {
    std::vector<std::string_view> scopes;
    uint32_t parent = entry.parent;
    for (int depth = 0; parent != 0 && depth < 64; ++depth) {
      const Entry& p = entries_[parent - 1];
      if (p.tag == kTagNamespace) {
        scopes.push_back(p.name.empty() ? "(anonymous namespace)" : p.name);
      } else if (p.tag == kTagClass || p.tag == kTagStructure || p.tag == kTagUnion) {
        if (!p.name.empty()) scopes.push_back(p.name);
      } else {
        break;
      }
      parent = p.parent;
    }
    std::string text;
    for (auto it = scopes.rbegin(); it != scopes.rend(); ++it) {
      text.append(*it);
      text.append("::");
    }
    return text;
  }

  void ResolveNames() {
    for (PendingFunction& pending : pending_) {
      DwarfFunction function;
      function.unit = pending.unit;
      function.ranges = std::move(pending.ranges);
      // Out-of-line copies and definitions name themselves through the entries they refer
      // to; the chain is followed a few steps at most, so a loop of references ends.
      const Entry* entry = &entries_[pending.entry];
      const Entry* named = nullptr;
      for (int hops = 0; entry && hops < 8; ++hops) {
        if (function.linkage_name.empty() && !entry->linkage_name.empty())
          function.linkage_name = std::string(entry->linkage_name);
        if (!named && !entry->name.empty()) named = entry;
        if (named && !function.linkage_name.empty()) break;
        const uint64_t next = entry->declaration != kNone ? entry->declaration : entry->origin;
        entry = next != kNone ? Find(next) : nullptr;
      }
      if (named) function.name = Scope(*named) + std::string(named->name);
      info_.functions.push_back(std::move(function));
    }
  }

  const DwarfSections& s_;
  DwarfInfo info_;
  std::vector<Entry> entries_;  // every entry of every unit, by offset
  std::vector<PendingFunction> pending_;
  std::optional<AbbrevTable> abbrevs_;
  uint64_t abbrev_offset_ = kNone;
  size_t total_ranges_ = 0;
};

}  // namespace

DwarfInfo ReadDwarfInfo(const DwarfSections& sections) {
  return InfoReader(sections).Read();
}

}  // namespace symtool
