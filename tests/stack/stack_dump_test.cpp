// The stack dump text: the request's keys, runs of dwords, comments, and the errors of text
// that is no dump, each with its line.

#include <gtest/gtest.h>

#include "trace/stack/stack_dump.h"

namespace trace {
namespace {

TEST(StackDump, KeysDwordsCommentsAndDefaults) {
  std::string error;
  const auto dump = ParseStackDump(
      "# thread 0x6c8 of install.exe\r\n"
      "current-address: 0x00401234\n"
      "\n"
      "exception-thread: yes   ; the faulting one\n"
      "external-exception: true\n"
      "  0012ff00: 00000001 DEADBEEF\t0x10\n"
      "0012ff0c: 0040a001\n"
      "0012ff40: 1 2  # a second run after a gap\n",
      error);
  ASSERT_TRUE(dump) << error;
  EXPECT_EQ(dump->request.current_address, 0x401234u);
  EXPECT_TRUE(dump->request.exception_thread);
  EXPECT_TRUE(dump->request.external_exception);
  EXPECT_EQ(dump->request.thread_start, 0u);
  // The range defaults to the dump's.
  EXPECT_EQ(dump->request.stack_begin, 0x12ff00u);
  EXPECT_EQ(dump->request.stack_end, 0x12ff48u);
  ASSERT_EQ(dump->blocks.size(), 2u);
  EXPECT_EQ(dump->blocks[0].base, 0x12ff00u);
  EXPECT_EQ(dump->blocks[0].bytes, (std::vector<uint8_t>{1, 0, 0, 0, 0xEF, 0xBE, 0xAD, 0xDE, 0x10,
                                                         0, 0, 0, 1, 0xA0, 0x40, 0}));
  EXPECT_EQ(dump->blocks[1].base, 0x12ff40u);
  EXPECT_EQ(dump->blocks[1].bytes.size(), 8u);
}

TEST(StackDump, LinesInAnyOrderJoinAndTheWriterIsReadBack) {
  std::string error;
  const auto dump = ParseStackDump(
      "stack-begin: 12fe00\nstack-end: 130000\nthread-start: 401000\n"
      "0012ff08: 3 4\n0012ff00: 1 2\n0012ff10: 5\nexception-thread: no\n",
      error);
  ASSERT_TRUE(dump) << error;
  ASSERT_EQ(dump->blocks.size(), 1u);
  EXPECT_EQ(dump->blocks[0].base, 0x12ff00u);
  EXPECT_EQ(dump->blocks[0].bytes.size(), 20u);
  EXPECT_EQ(dump->request.stack_begin, 0x12fe00u);
  EXPECT_EQ(dump->request.stack_end, 0x130000u);
  EXPECT_EQ(dump->request.thread_start, 0x401000u);

  const std::string text = FormatStackDump(*dump);
  const auto again = ParseStackDump(text, error);
  ASSERT_TRUE(again) << error << "\n" << text;
  EXPECT_EQ(again->blocks[0].base, dump->blocks[0].base);
  EXPECT_EQ(again->blocks[0].bytes, dump->blocks[0].bytes);
  EXPECT_EQ(again->request.stack_begin, dump->request.stack_begin);
  EXPECT_EQ(again->request.stack_end, dump->request.stack_end);
  EXPECT_EQ(again->request.thread_start, dump->request.thread_start);
  EXPECT_EQ(FormatStackDump(*again), text);
}

TEST(StackDump, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  for (const Case& c : {
           Case{"0012ff00: 1\nstack-top: 5\n", "line 2: unknown key: stack-top"},
           Case{"0012ff01: 1\n", "line 1: address 0012ff01 is not a multiple of 4"},
           Case{"0012ff00 1 2\n", "line 1: no ':' after the address or key"},
           Case{"0012ff00: 1 xyz\n", "line 1: not a hexadecimal dword: xyz"},
           Case{"0012ff00: 123456789\n", "line 1: not a hexadecimal dword: 123456789"},
           Case{"current-address: \n0012ff00: 1\n", "line 1: not a hexadecimal address: "},
           Case{"exception-thread: maybe\n", "line 1: not yes or no: maybe"},
           Case{"0012ff00: 1 2 3\n\n0012ff04: 9\n",
                "line 3: address 0012ff04 lies in the dwords of line 1"},
           Case{"0012ff00: 1\n0012ff00: 1\n", "line 2: address 0012ff00 was given on line 1"},
           // A run that goes on where one of an earlier line starts.
           Case{"0012ff08: 1\n0012ff00: 1\n0012ff04: 2 3\n",
                "line 3: the dword at 0012ff08 lies in the dwords of line 1"},
           Case{"0012ff08: 1\n0012ff00: 1 2\n0012ff08: 2\n",
                "line 3: address 0012ff08 was given on line 1"},
           Case{"0012ff08: 1\n0012ff00: 1 2 3\n",
                "line 2: the dword at 0012ff08 lies in the dwords of line 1"},
           Case{"fffffff8: 1 2\n", "line 1: the dword at fffffffc leaves the address space"},
           Case{"# nothing\n\n", "the dump holds no dwords"},
           Case{"stack-begin: 200\nstack-end: 100\n0: 1\n",
                "stack-begin 00000200 does not lie below stack-end 00000100"},
       }) {
    std::string error;
    EXPECT_FALSE(ParseStackDump(c.text, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(StackDump, StackIsCappedAtSixteenMegabytes) {
  // One line of 4 M dwords is the cap; one more dword is refused.
  std::string text = "00000000:";
  text.reserve(text.size() + (kMaxStackDumpBytes / 4 + 1) * 2);
  for (uint32_t i = 0; i < kMaxStackDumpBytes / 4; ++i)
    text += " 0";
  std::string error;
  const auto full = ParseStackDump(text, error);
  ASSERT_TRUE(full) << error;
  EXPECT_EQ(full->blocks[0].bytes.size(), kMaxStackDumpBytes);
  text += "\n01000000: 7\n";
  EXPECT_FALSE(ParseStackDump(text, error));
  EXPECT_EQ(error, "line 2: more than 16 MB of stack");
}

}  // namespace
}  // namespace trace
