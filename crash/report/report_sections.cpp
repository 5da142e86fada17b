#include "crash/report/report_sections.h"

#include <algorithm>

#include "crash/report/report_header.h"
#include "trace/text/ansi_text.h"
#include "trace/text/number_text.h"

namespace crash {

namespace {

std::string Hex(uint32_t value) {
  return trace::FormatHex(value, 1);
}

std::string EightHexDigits(uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[static_cast<size_t>(i)] = kDigits[value & 15];
  return text;
}

std::string PaddedTo(const std::string& text, size_t width) {
  std::string padded = text;
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

}  // namespace

std::string ExceptionLines(bool frozen, std::string_view frozen_text,
                           const ReportedException* exception) {
  if (frozen) return "exception message : " + std::string(frozen_text);
  const std::string class_name = exception ? exception->ClassName() : "Unknown";
  std::string lines = "exception class   : " + class_name;
  std::string message = ExceptionMessageOf(exception);
  if (message != class_name) {
    while (!message.empty() && (message.back() == '.' || message.back() == '!'))
      message.pop_back();
    lines += std::string(kCrLf) + "exception message : " + message + ".";
  }
  return lines;
}

ThreadTitle MakeThreadTitle(uint32_t thread_id, bool allow_hidden, const ThreadLookup& lookup) {
  ThreadTitle title;
  const std::string plain = "thread " + Hex(thread_id);
  if (!lookup.registry_available) {
    title.text = plain;
    return title;
  }
  std::string name;
  std::string class_name;
  if (lookup.entry) {
    name = lookup.entry->name;
    if (lookup.entry->full) {
      title.creation_address = lookup.entry->creation_address;
      title.creator_id = lookup.entry->creator_id;
      class_name = lookup.entry->class_name;
    }
  }
  if (name == "-" && !allow_hidden) {
    title = ThreadTitle{};
    return title;
  }
  if (!name.empty() && name != "-") {
    title.text = name + " (" + Hex(thread_id) + ")";
  } else {
    title.text = plain;
    if (!class_name.empty()) title.text += " (" + class_name + ")";
  }
  return title;
}

std::string InsertCreationLine(std::string body, std::string_view creator_title) {
  const size_t last_cr = body.rfind('\r');
  if (last_cr == std::string::npos) return body;
  body.insert(last_cr, std::string(kCrLf) + ">> created by " + std::string(creator_title) + " at:");
  return body;
}

std::string ThreadSection(const ThreadTitle& title, bool exception_thread,
                          uint32_t exception_address, const std::optional<std::string>& trace,
                          std::string_view creator_title) {
  if (title.text.empty()) return {};
  std::string section =
      std::string(kCrLf) + std::string(kCrLf) + title.text + ":" + std::string(kCrLf);
  // A thread whose stack could not be traced (no context, an unreadable stack) keeps the
  // fallback: an empty body would leave the section ending in its head's line break.
  if (!trace || trace->empty()) {
    section += exception_thread ? "- ??? (" + Hex(exception_address) + ")" : std::string("- ???");
    section += kCrLf;
    return section;
  }
  if (title.creation_address != 0) return section + InsertCreationLine(*trace, creator_title);
  return section + *trace;
}

void SplitModulePath(std::string_view path, std::string& directory, std::string& name) {
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string_view::npos) {
    directory.clear();
    name = std::string(path);
    return;
  }
  directory = std::string(path.substr(0, slash));
  name = std::string(path.substr(slash + 1));
}

std::string ModulesSection(const std::vector<ModuleRecord>& modules) {
  size_t name_width = 0;
  size_t version_width = 0;
  for (const ModuleRecord& module : modules) {
    name_width = std::max(name_width, module.name.size());
    version_width = std::max(version_width, module.version.size());
  }
  ++name_width;
  ++version_width;
  std::string section = "modules:";
  for (const ModuleRecord& module : modules) {
    section += kCrLf;
    section += EightHexDigits(module.base);
    section += ' ';
    section += PaddedTo(module.name, name_width);
    section += PaddedTo(module.version, version_width);
    section += module.directory;
  }
  return section;
}

std::string DisassemblySection(std::string_view listing) {
  if (listing.empty()) return {};
  return std::string(kCrLf) + std::string(kCrLf) + "disassembling:" + std::string(kCrLf) +
         std::string(listing);
}

std::string CompositionFailureText(std::optional<uint32_t> exception_address) {
  std::string text = std::string(kCrLf) + std::string(kCrLf) +
                     "An exception occurred during composing the bug report.";
  if (exception_address) text += " " + Hex(*exception_address);
  return text;
}

}  // namespace crash
