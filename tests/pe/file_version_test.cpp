#include "trace/pe/file_version.h"

#include <gtest/gtest.h>

namespace trace {
namespace {

TEST(FileVersionTest, DottedText) {
  EXPECT_EQ(FileVersionText(MakeFileVersion(6, 1, 7601, 17514)), "6.1.7601.17514");
  EXPECT_EQ(FileVersionText(0), "0.0.0.0");
  EXPECT_EQ(FileVersionText(~uint64_t{0}), "65535.65535.65535.65535");
  EXPECT_EQ(FileVersionText(0x0001000200030004), "1.2.3.4");
}

}  // namespace
}  // namespace trace
