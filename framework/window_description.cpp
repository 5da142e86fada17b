#include "framework/window_description.h"

#include <cstdint>

namespace fw {

PropertyValue PropertyValue::Integer(std::int32_t value) {
  PropertyValue v;
  v.kind = Kind::kInteger;
  v.integer = value;
  return v;
}

PropertyValue PropertyValue::String(std::string value) {
  PropertyValue v;
  v.kind = Kind::kString;
  v.text = std::move(value);
  return v;
}

PropertyValue PropertyValue::Identifier(std::string name) {
  PropertyValue v;
  v.kind = Kind::kIdentifier;
  v.text = std::move(name);
  return v;
}

PropertyValue PropertyValue::Set(std::vector<std::string> names) {
  PropertyValue v;
  v.kind = Kind::kSet;
  v.set = std::move(names);
  return v;
}

PropertyValue PropertyValue::Binary(std::vector<std::uint8_t> bytes) {
  PropertyValue v;
  v.kind = Kind::kBinary;
  v.binary = std::move(bytes);
  return v;
}

const PropertyDescription* ObjectDescription::FindProperty(std::string_view property_name) const {
  for (const PropertyDescription& p : properties) {
    if (p.name == property_name) return &p;
  }
  return nullptr;
}

const ObjectDescription* ObjectDescription::FindChild(std::string_view child_name) const {
  for (const ObjectDescription& c : children) {
    if (c.name == child_name) return &c;
  }
  return nullptr;
}

namespace {

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A recursive-descent reader; every read checks the position against the end.
class Reader {
 public:
  Reader(std::string_view text, const DescriptionLimits& limits) : text_(text), limits_(limits) {}

  DescriptionReadResult Read() {
    DescriptionReadResult result;
    if (text_.size() > limits_.max_text_bytes) {
      result.error = "line 1: the description is larger than " +
                     std::to_string(limits_.max_text_bytes) + " bytes";
      return result;
    }
    SkipSpace();
    if (!ReadObject(&result.root, 1)) {
      result.error = "line " + std::to_string(error_line_) + ": " + error_;
      result.root = {};
      return result;
    }
    SkipSpace();
    if (pos_ != text_.size()) {
      result.error = "line " + std::to_string(line_) + ": text after the end of the root object";
      result.root = {};
      return result;
    }
    result.ok = true;
    return result;
  }

 private:
  bool Fail(std::string message) {
    if (error_.empty()) {
      error_ = std::move(message);
      error_line_ = line_;
    }
    return false;
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '#') {
        while (!AtEnd() && text_[pos_] != '\n')
          ++pos_;
      } else {
        break;
      }
    }
  }

  // An identifier; with dotted, also "Font.Name".
  bool ReadName(std::string* name, bool dotted) {
    if (!IsIdentStart(Peek())) return Fail("a name was expected");
    const std::size_t start = pos_;
    for (;;) {
      while (IsIdentChar(Peek()))
        ++pos_;
      if (!dotted || Peek() != '.') break;
      ++pos_;
      if (!IsIdentStart(Peek())) return Fail("a name was expected after '.'");
    }
    name->assign(text_.substr(start, pos_ - start));
    return true;
  }

  // The word at the position without consuming it.
  std::string_view PeekWord() const {
    std::size_t end = pos_;
    while (end < text_.size() && IsIdentChar(text_[end]))
      ++end;
    return text_.substr(pos_, end - pos_);
  }

  bool ReadObject(ObjectDescription* object, int depth) {
    if (depth > limits_.max_depth) return Fail("objects are nested too deeply");
    if (++objects_ > limits_.max_objects) return Fail("too many objects");
    if (PeekWord() != "object") return Fail("\"object\" was expected");
    object->line = line_;
    pos_ += 6;
    SkipSpace();
    if (!ReadName(&object->name, false)) return false;
    SkipSpace();
    if (Peek() != ':') return Fail("':' was expected after the object name");
    ++pos_;
    SkipSpace();
    if (!ReadName(&object->class_name, false)) return false;
    for (;;) {
      SkipSpace();
      if (AtEnd()) return Fail("\"end\" of object " + object->name + " is missing");
      const std::string_view word = PeekWord();
      if (word == "end") {
        pos_ += 3;
        return true;
      }
      if (word == "object") {
        object->children.emplace_back();
        if (!ReadObject(&object->children.back(), depth + 1)) return false;
        continue;
      }
      if (++properties_ > limits_.max_properties) return Fail("too many properties");
      PropertyDescription property;
      property.line = line_;
      if (!ReadName(&property.name, true)) return false;
      SkipSpace();
      if (Peek() != '=') return Fail("'=' was expected after " + property.name);
      ++pos_;
      SkipSpace();
      if (!ReadValue(&property.value)) return false;
      object->properties.push_back(std::move(property));
    }
  }

  bool ReadValue(PropertyValue* value) {
    const char c = Peek();
    if (c == '"') return ReadString(value);
    if (c == '[') return ReadSet(value);
    if (c == '{') return ReadBinary(value);
    if (c == '-' || (c >= '0' && c <= '9')) return ReadInteger(value);
    if (IsIdentStart(c)) {
      value->kind = PropertyValue::Kind::kIdentifier;
      return ReadName(&value->text, false);
    }
    return Fail("a value was expected");
  }

  bool ReadInteger(PropertyValue* value) {
    bool negative = false;
    if (Peek() == '-') {
      negative = true;
      ++pos_;
    }
    std::int64_t magnitude = 0;
    int digits = 0;
    const std::int64_t limit = negative ? 0x80000000LL : 0x7FFFFFFFLL;
    if (Peek() == '0' && pos_ + 1 < text_.size() &&
        (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
      pos_ += 2;
      // Hexadecimal values are bit patterns: up to 32 bits, e.g. 0x80000000.
      const std::int64_t hex_limit = negative ? limit : 0xFFFFFFFFLL;
      for (int d; (d = HexDigit(Peek())) >= 0; ++pos_, ++digits) {
        magnitude = magnitude * 16 + d;
        if (magnitude > hex_limit) return Fail("the number is out of range");
      }
    } else {
      for (; Peek() >= '0' && Peek() <= '9'; ++pos_, ++digits) {
        magnitude = magnitude * 10 + (Peek() - '0');
        if (magnitude > limit) return Fail("the number is out of range");
      }
    }
    if (digits == 0) return Fail("digits were expected");
    if (IsIdentChar(Peek())) return Fail("the number runs into a name");
    value->kind = PropertyValue::Kind::kInteger;
    value->integer =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? -magnitude : magnitude));
    return true;
  }

  bool ReadString(PropertyValue* value) {
    ++pos_;
    std::string text;
    for (;;) {
      if (AtEnd()) return Fail("the string has no closing quote");
      char c = text_[pos_++];
      if (c == '"') break;
      if (c == '\n') return Fail("a line break in a string (write \\n)");
      if (c == '\\') {
        if (AtEnd()) return Fail("the string has no closing quote");
        const char e = text_[pos_++];
        switch (e) {
          case '"':
            c = '"';
            break;
          case '\\':
            c = '\\';
            break;
          case 'n':
            c = '\n';
            break;
          case 'r':
            c = '\r';
            break;
          case 't':
            c = '\t';
            break;
          case 'x': {
            const int high = HexDigit(Peek());
            const int low = pos_ + 1 < text_.size() ? HexDigit(text_[pos_ + 1]) : -1;
            if (high < 0 || low < 0) return Fail("\\x needs two hexadecimal digits");
            pos_ += 2;
            c = static_cast<char>(high * 16 + low);
            break;
          }
          default:
            return Fail("unknown escape in a string");
        }
      }
      text.push_back(c);
    }
    value->kind = PropertyValue::Kind::kString;
    value->text = std::move(text);
    return true;
  }

  bool ReadSet(PropertyValue* value) {
    ++pos_;
    value->kind = PropertyValue::Kind::kSet;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipSpace();
      std::string name;
      if (!ReadName(&name, false)) return false;
      value->set.push_back(std::move(name));
      SkipSpace();
      if (Peek() == ']') {
        ++pos_;
        return true;
      }
      if (Peek() != ',') return Fail("',' or ']' was expected in a set");
      ++pos_;
    }
  }

  bool ReadBinary(PropertyValue* value) {
    ++pos_;
    value->kind = PropertyValue::Kind::kBinary;
    int high = -1;
    for (;;) {
      SkipSpace();
      if (AtEnd()) return Fail("the binary data has no closing brace");
      const char c = text_[pos_++];
      if (c == '}') break;
      const int d = HexDigit(c);
      if (d < 0) return Fail("a hexadecimal digit was expected in binary data");
      if (high < 0) {
        high = d;
      } else {
        value->binary.push_back(static_cast<std::uint8_t>(high * 16 + d));
        high = -1;
      }
    }
    if (high >= 0) return Fail("binary data has an odd number of digits");
    return true;
  }

  std::string_view text_;
  const DescriptionLimits& limits_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::size_t objects_ = 0;
  std::size_t properties_ = 0;
  std::string error_;
  int error_line_ = 0;
};

void WriteValue(const PropertyValue& value, const std::string& indent, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  switch (value.kind) {
    case PropertyValue::Kind::kInteger:
      *out += std::to_string(value.integer);
      break;
    case PropertyValue::Kind::kIdentifier:
      *out += value.text;
      break;
    case PropertyValue::Kind::kString:
      out->push_back('"');
      for (const char c : value.text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
          out->push_back('\\');
          out->push_back(c);
        } else if (c == '\n') {
          *out += "\\n";
        } else if (u < 0x20 || u == 0x7F) {
          *out += "\\x";
          out->push_back(kHex[u >> 4]);
          out->push_back(kHex[u & 15]);
        } else {
          out->push_back(c);
        }
      }
      out->push_back('"');
      break;
    case PropertyValue::Kind::kSet:
      out->push_back('[');
      for (std::size_t i = 0; i < value.set.size(); ++i) {
        if (i) *out += ", ";
        *out += value.set[i];
      }
      out->push_back(']');
      break;
    case PropertyValue::Kind::kBinary:
      out->push_back('{');
      for (std::size_t i = 0; i < value.binary.size(); ++i) {
        if (i % 32 == 0) *out += "\n" + indent + "  ";
        out->push_back(kHex[value.binary[i] >> 4]);
        out->push_back(kHex[value.binary[i] & 15]);
      }
      *out += "\n" + indent + "}";
      break;
  }
}

void WriteObject(const ObjectDescription& object, const std::string& indent, std::string* out) {
  *out += indent + "object " + object.name + ": " + object.class_name + "\n";
  const std::string inner = indent + "  ";
  for (const PropertyDescription& p : object.properties) {
    *out += inner + p.name + " = ";
    WriteValue(p.value, inner, out);
    out->push_back('\n');
  }
  for (const ObjectDescription& child : object.children)
    WriteObject(child, inner, out);
  *out += indent + "end\n";
}

}  // namespace

DescriptionReadResult ReadWindowDescription(std::string_view text,
                                            const DescriptionLimits& limits) {
  return Reader(text, limits).Read();
}

std::string WriteWindowDescription(const ObjectDescription& root) {
  std::string out;
  WriteObject(root, "", &out);
  return out;
}

}  // namespace fw
