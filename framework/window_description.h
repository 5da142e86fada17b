// Window descriptions: the text form of a window's component tree and the
// property values of each component.
//
//   # comment to the end of the line
//   object Form1: TForm1
//     Caption = "Tomewright Installation"
//     ClientWidth = 497
//     BorderIcons = []
//     Font.Color = clNavy
//     Picture.Data = { FFD8FFE0 ... }
//     object Label1: TLabel
//       Left = 16
//     end
//   end
//
// Values are integers (decimal, optionally negative, or 0x hexadecimal),
// strings in double quotes (escapes \" \\ \n \r \t \xHH), identifiers
// (true, clNavy, bsSingle, Button1Click), sets of identifiers in brackets and
// binary data as hexadecimal digits in braces. Layout is free: objects end
// with "end", and line breaks only end comments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// One property value of a description.
struct PropertyValue {
  // The kind of value, which tells which member holds it.
  enum class Kind { kInteger, kString, kIdentifier, kSet, kBinary };

  Kind kind = Kind::kInteger;        // which member below holds the value
  std::int32_t integer = 0;          // kInteger
  std::string text;                  // kString and kIdentifier
  std::vector<std::string> set;      // kSet: the identifiers in order
  std::vector<std::uint8_t> binary;  // kBinary

  // An integer value.
  static PropertyValue Integer(std::int32_t value);
  // A string value.
  static PropertyValue String(std::string value);
  // An identifier value.
  static PropertyValue Identifier(std::string name);
  // A set of identifiers.
  static PropertyValue Set(std::vector<std::string> names);
  // Binary data.
  static PropertyValue Binary(std::vector<std::uint8_t> bytes);

  // Equal kind and equal value.
  bool operator==(const PropertyValue&) const = default;
};

// A property assignment: "Font.Height = -11".
struct PropertyDescription {
  std::string name;     // the property name, possibly dotted ("Font.Height")
  PropertyValue value;  // the assigned value
  int line = 0;         // the line it was read from (1-based), 0 when made in code

  // Equal name and value; the line is not compared.
  bool operator==(const PropertyDescription& other) const {
    return name == other.name && value == other.value;
  }
};

// An object with its properties and the objects nested in it.
struct ObjectDescription {
  std::string name;                             // the component name ("Label1")
  std::string class_name;                       // its class ("TLabel")
  std::vector<PropertyDescription> properties;  // in the order written
  std::vector<ObjectDescription> children;      // in the order written
  int line = 0;                                 // the line of "object", 0 when made in code

  // Equal names, properties and children; lines are not compared.
  bool operator==(const ObjectDescription& other) const {
    return name == other.name && class_name == other.class_name && properties == other.properties &&
           children == other.children;
  }
  // The property of that name, or null.
  const PropertyDescription* FindProperty(std::string_view property_name) const;
  // The direct child of that name, or null.
  const ObjectDescription* FindChild(std::string_view child_name) const;
};

// Limits that keep a hostile description from costing much.
struct DescriptionLimits {
  std::size_t max_text_bytes = 4u << 20;  // the whole text
  int max_depth = 16;                     // nesting of objects
  std::size_t max_objects = 4096;         // objects in total
  std::size_t max_properties = 65536;     // properties in total
};

// The result of reading a description: the root object, or an error.
struct DescriptionReadResult {
  bool ok = false;         // true when root holds the description
  ObjectDescription root;  // the root object when ok
  std::string error;       // "line N: what was wrong" when not ok
};

// Reads a description holding exactly one root object.
DescriptionReadResult ReadWindowDescription(std::string_view text,
                                            const DescriptionLimits& limits = {});

// Writes a description that ReadWindowDescription reads back to an equal object.
std::string WriteWindowDescription(const ObjectDescription& root);

}  // namespace fw
