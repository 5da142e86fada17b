#include "crash/report/report_sections.h"

#include <gtest/gtest.h>

namespace crash {
namespace {

ReportedException Exception(std::vector<std::string> classes, std::string message) {
  return ReportedException{std::move(classes), std::move(message)};
}

TEST(ExceptionLines, ClassAndMessageEndingInOnePeriod) {
  const auto violation = Exception({"EAccessViolation", "EExternal", "Exception"},
                                   "Access violation at address 0040F1A2. Read of address 0.");
  EXPECT_EQ(ExceptionLines(false, "", &violation),
            "exception class   : EAccessViolation\r\n"
            "exception message : Access violation at address 0040F1A2. Read of address 0.");
  const auto shouting = Exception({"EMine", "Exception"}, "Stop!!");
  EXPECT_EQ(ExceptionLines(false, "", &shouting),
            "exception class   : EMine\r\nexception message : Stop.");
  const auto mixed = Exception({"KivException"}, "Runtime error 216.!.");
  EXPECT_EQ(ExceptionLines(false, "", &mixed),
            "exception class   : KivException\r\nexception message : Runtime error 216.");
  const auto nothing_left = Exception({"EMine", "Exception"}, "!.");
  EXPECT_EQ(ExceptionLines(false, "", &nothing_left),
            "exception class   : EMine\r\nexception message : .");
}

TEST(ExceptionLines, NoMessageLineWhenTheMessageIsTheClassName) {
  // A class outside the Exception tree shows its class name as message.
  const auto foreign = Exception({"std::runtime_error"}, "ignored");
  EXPECT_EQ(ExceptionLines(false, "", &foreign), "exception class   : std::runtime_error");
  const auto same = Exception({"EAbort", "Exception"}, "EAbort");
  EXPECT_EQ(ExceptionLines(false, "", &same), "exception class   : EAbort");
  EXPECT_EQ(ExceptionLines(false, "", nullptr), "exception class   : Unknown");
  // The comparison is case-sensitive.
  const auto cased = Exception({"EAbort", "Exception"}, "eabort");
  EXPECT_EQ(ExceptionLines(false, "", &cased),
            "exception class   : EAbort\r\nexception message : eabort.");
}

TEST(ExceptionLines, FrozenShowsTheFrozenTextOnly) {
  const auto ignored = Exception({"EMine", "Exception"}, "text");
  EXPECT_EQ(ExceptionLines(true, "Not responding", &ignored), "exception message : Not responding");
}

ThreadLookup Entry(uint32_t id, std::string name, bool full = false, std::string class_name = "",
                   uint32_t creation = 0, uint32_t creator = 0) {
  ThreadLookup lookup;
  lookup.registry_available = true;
  lookup.entry =
      RegisteredThread{id, std::move(name), std::move(class_name), creation, creator, full};
  return lookup;
}

TEST(ThreadTitle, NamesClassesAndHiddenThreads) {
  EXPECT_EQ(MakeThreadTitle(0x1a4, false, Entry(0x1a4, "main thread")).text, "main thread ($1a4)");
  EXPECT_EQ(MakeThreadTitle(0x1a4, false, ThreadLookup{true, std::nullopt}).text, "thread $1a4");
  const ThreadTitle object =
      MakeThreadTitle(0x20, false, Entry(0x20, "", true, "TDownLoadThread", 0x401234, 0x1a4));
  EXPECT_EQ(object.text, "thread $20 (TDownLoadThread)");
  EXPECT_EQ(object.creation_address, 0x401234u);
  EXPECT_EQ(object.creator_id, 0x1a4u);
  // A short entry carries no creation facts.
  const ThreadTitle short_entry =
      MakeThreadTitle(0x20, false, Entry(0x20, "worker", false, "", 5, 6));
  EXPECT_EQ(short_entry.text, "worker ($20)");
  EXPECT_EQ(short_entry.creation_address, 0u);

  // "-" hides a thread unless it is allowed; then it reads as an unnamed one.
  EXPECT_EQ(MakeThreadTitle(0x30, false, Entry(0x30, "-")).text, "");
  EXPECT_EQ(MakeThreadTitle(0x30, true, Entry(0x30, "-", true, "TMine")).text,
            "thread $30 (TMine)");

  // Without the registry: the plain title, even for a thread that would be hidden.
  ThreadLookup unavailable = Entry(0x30, "-", true, "TMine", 1, 2);
  unavailable.registry_available = false;
  const ThreadTitle plain = MakeThreadTitle(0x30, false, unavailable);
  EXPECT_EQ(plain.text, "thread $30");
  EXPECT_EQ(plain.creation_address, 0u);
}

TEST(ThreadSection, HeadBodyAndFallbacks) {
  const ThreadTitle main{"main thread ($e20)", 0, 0};
  EXPECT_EQ(ThreadSection(main, false, 0, std::string("00401000 a.exe x.cpp 1 F"), ""),
            "\r\n\r\nmain thread ($e20):\r\n00401000 a.exe x.cpp 1 F");
  EXPECT_EQ(ThreadSection(main, true, 0x40f1a2, std::nullopt, ""),
            "\r\n\r\nmain thread ($e20):\r\n- ??? ($40f1a2)\r\n");
  EXPECT_EQ(ThreadSection(main, false, 0x40f1a2, std::string(), ""),
            "\r\n\r\nmain thread ($e20):\r\n- ???\r\n");
  EXPECT_EQ(ThreadSection(ThreadTitle{}, false, 0, std::string("x"), ""), "");
}

TEST(ThreadSection, CreationLineGoesAboveTheBodysLastLine) {
  const ThreadTitle worker{"worker ($20)", 0x401500, 0xe20};
  EXPECT_EQ(ThreadSection(worker, false, 0, std::string("inner\r\nmiddle\r\ncreation"),
                          "main thread ($e20)"),
            "\r\n\r\nworker ($20):\r\ninner\r\nmiddle\r\n>> created by main thread ($e20) "
            "at:\r\ncreation");
  // A one-line body has no CR to insert before.
  EXPECT_EQ(ThreadSection(worker, false, 0, std::string("creation"), "main thread ($e20)"),
            "\r\n\r\nworker ($20):\r\ncreation");
}

TEST(ModulesSection, AlignsNameAndVersionColumns) {
  std::vector<ModuleRecord> modules(3);
  modules[0].base = 0x400000;
  SplitModulePath("C:\\Setup\\install.exe", modules[0].directory, modules[0].name);
  modules[0].version = "1.0.0.0";
  modules[1] = {0x10000000, "nover.dll", "", "C:\\Setup"};
  modules[2] = {0x77e60000, "kernel32.dll", "5.1.2600.1106", "C:\\WINDOWS\\system32"};
  EXPECT_EQ(ModulesSection(modules),
            "modules:\r\n"
            "00400000 install.exe  1.0.0.0       C:\\Setup\r\n"
            "10000000 nover.dll                  C:\\Setup\r\n"
            "77e60000 kernel32.dll 5.1.2600.1106 C:\\WINDOWS\\system32");
  EXPECT_EQ(ModulesSection({}), "modules:");
}

TEST(ReportTail, DisassemblyAndFailureTexts) {
  EXPECT_EQ(DisassemblySection(""), "");
  EXPECT_EQ(DisassemblySection("listing"), "\r\n\r\ndisassembling:\r\nlisting");
  EXPECT_EQ(CompositionFailureText(std::nullopt),
            "\r\n\r\nAn exception occurred during composing the bug report.");
  EXPECT_EQ(CompositionFailureText(0x401a2bu),
            "\r\n\r\nAn exception occurred during composing the bug report. $401a2b");
}

}  // namespace
}  // namespace crash
