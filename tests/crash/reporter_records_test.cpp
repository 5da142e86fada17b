// The records the reporter passes between its threads and instances, and what it tells of
// an exception: the 28-byte request, the history and its automatic rule, the message rule,
// the description of a C++ exception.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "crash/cpp_exception.h"
#include "crash/exception_history.h"
#include "crash/exception_request.h"
#include "crash/reported_exception.h"
#include "framework/exception.h"

namespace {

using crash::ExceptionHistory;
using crash::ExceptionRequest;
using crash::ReportedException;

TEST(ExceptionRequest, TwentyEightLittleEndianBytesWithZeroPadding) {
  ExceptionRequest request;
  request.event = 0x11223344;
  request.thread_id = 0x1a4;
  request.frozen = true;
  request.exception = 0x00c0ffee;
  request.address = 0x0040f1a2;
  request.can_continue = true;
  request.stack_frame = 0x0012ff00;
  const std::array<uint8_t, 28> bytes = request.Bytes();
  const std::array<uint8_t, 28> expected = {0x44, 0x33, 0x22, 0x11, 0xa4, 0x01, 0,    0,    1,    0,
                                            0,    0,    0xee, 0xff, 0xc0, 0,    0xa2, 0xf1, 0x40, 0,
                                            1,    0,    0,    0,    0,    0xff, 0x12, 0};
  EXPECT_EQ(bytes, expected);
  const auto back = ExceptionRequest::Read(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Bytes(), bytes);
  // Anything but exactly 28 bytes is no request.
  EXPECT_FALSE(ExceptionRequest::Read(std::span<const uint8_t>(bytes.data(), 27)));
  // The stop request is all zero.
  EXPECT_EQ(ExceptionRequest{}.Bytes(), (std::array<uint8_t, 28>{}));
}

TEST(ExceptionHistory, TheRuleNeedsTenExceptionsWithinItsSeconds) {
  ExceptionHistory history;
  EXPECT_FALSE(history.RuleHolds(0, 1000));
  EXPECT_TRUE(history.RuleHolds(1, 1000));
  for (uint64_t t = 991; t < 1000; ++t)
    history.Push(t);
  EXPECT_FALSE(history.RuleHolds(5, 1000)) << "nine exceptions";
  history.Push(1000);
  EXPECT_EQ(history.seconds[0], 1000u);
  EXPECT_EQ(history.seconds[9], 991u);
  EXPECT_FALSE(history.RuleHolds(5, 1000)) << "the oldest is 9 seconds old";
  EXPECT_TRUE(history.RuleHolds(9, 1000));
  EXPECT_FALSE(history.RuleHolds(9, 1001));
  // A clock set back makes entries from the future; they count as recent.
  EXPECT_TRUE(history.RuleHolds(9, 995));

  std::array<uint8_t, 80> bytes{};
  history.Write(bytes);
  EXPECT_EQ(bytes[0], 0xe8);  // 1000, low byte first
  EXPECT_EQ(bytes[1], 0x03);
  EXPECT_EQ(ExceptionHistory::Read(bytes).seconds, history.seconds);
}

ReportedException Exception(std::vector<std::string> names, std::string message) {
  ReportedException exception;
  exception.class_names = std::move(names);
  exception.message = std::move(message);
  return exception;
}

TEST(ReportedException, MessageRule) {
  ReportedException framework = Exception({"EReadError", "Exception"}, "bad description");
  EXPECT_EQ(crash::ExceptionMessageOf(&framework), "bad description");
  ReportedException plain = Exception({"TWidget"}, "ignored");
  EXPECT_EQ(crash::ExceptionMessageOf(&plain), "TWidget");
  ReportedException empty = Exception({"Exception"}, "");
  EXPECT_EQ(crash::ExceptionMessageOf(&empty), "Unknown");
  EXPECT_EQ(crash::ExceptionMessageOf(nullptr), "Unknown");
  EXPECT_EQ(ReportedException{}.ClassName(), "Unknown");
  EXPECT_EQ(crash::RuntimeError("Abnormal program termination").ClassName(), "KivException");
  EXPECT_EQ(crash::SystemExceptionClasses(0xC0000094),
            (std::vector<std::string>{"EDivByZero", "EIntError", "EExternal", "Exception"}));
  EXPECT_EQ(crash::SystemExceptionClasses(0xC000001D).front(), "EExternalException");
}

TEST(ReportedException, SystemMessages) {
  EXPECT_EQ(fw::SystemExceptionMessage(0xC0000005, 0x40f1a2, "install.exe", false, 0),
            "Access violation at address $40f1a2 in module 'install.exe'. Read of address $0");
  EXPECT_EQ(fw::SystemExceptionMessage(0xC0000005, 0x7c000000, "", true, 0x10),
            "Access violation at address $7c000000. Write of address $10");
  EXPECT_EQ(fw::SystemExceptionMessage(0xC00000FD, 0, "", false, 0), "Stack overflow");
  EXPECT_EQ(fw::SystemExceptionMessage(0xC000001D, 0, "", false, 0), "External exception C000001D");
}

class OwnError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <class E>
ReportedException Describe(const E& thrown) {
  try {
    throw thrown;
  } catch (...) {
    return crash::DescribeCppException(std::current_exception());
  }
}

TEST(CppException, ClassChainAndMessage) {
  const ReportedException own = Describe(OwnError("went wrong"));
  EXPECT_EQ(own.class_names, (std::vector<std::string>{"(anonymous namespace)::OwnError",
                                                       "std::runtime_error", "std::exception"}));
  EXPECT_EQ(crash::ExceptionMessageOf(&own), "went wrong");
  const ReportedException framework = Describe(fw::EDivByZero("Division by zero"));
  EXPECT_TRUE(framework.InheritsFrom("EExternal"));
  EXPECT_EQ(crash::ExceptionMessageOf(&framework), "Division by zero");
  const ReportedException number = Describe(42);
  EXPECT_EQ(number.class_names, std::vector<std::string>{"int"});
  EXPECT_EQ(crash::ExceptionMessageOf(&number), "int");
  EXPECT_TRUE(crash::DescribeCppException(nullptr).class_names.empty());
}

}  // namespace
