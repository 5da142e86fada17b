#include "trace/pe/export_name.h"

#include <gtest/gtest.h>

namespace trace {
namespace {

TEST(ExportNameTest, UnitQualifiedNamesBecomeDotted) {
  EXPECT_EQ(DemangleExportName("@Kivtools@GetFileVersion$qqrx17System@AnsiString"),
            "Kivtools.GetFileVersion");
  EXPECT_EQ(DemangleExportName("@Forms@TForm@Show$qqrv"), "Forms.TForm.Show");
  EXPECT_EQ(DemangleExportName("@Unit@Name"), "Unit.Name");  // nothing to cut
}

TEST(ExportNameTest, ConstructorsAndDestructorsGetTheirNames) {
  EXPECT_EQ(DemangleExportName("@Classes@TList@$bctr$qqrv"), "Classes.TList.Create");
  EXPECT_EQ(DemangleExportName("@Classes@TList@$bdtr$qqrv"), "Classes.TList.Destroy");
  // "d" must be the second byte after the "$".
  EXPECT_EQ(DemangleExportName("@Classes@TList@$dbtr$qqrv"), "Classes.TList.Create");
  EXPECT_EQ(DemangleExportName("@Classes@TList@$b"), "Classes.TList.Create");
}

TEST(ExportNameTest, DoubleColonsBecomeDotsWithoutRescan) {
  EXPECT_EQ(DemangleExportName("Outer::Inner::Run"), "Outer.Inner.Run");
  EXPECT_EQ(DemangleExportName(":::"), ".:");
  EXPECT_EQ(DemangleExportName("@Unit@A::B$qqrv"), "Unit.A.B");
}

TEST(ExportNameTest, OtherNamesStayAsTheyAre) {
  EXPECT_EQ(DemangleExportName("GetProcAddress"), "GetProcAddress");
  EXPECT_EQ(DemangleExportName("_Foo@12"), "_Foo@12");
  EXPECT_EQ(DemangleExportName("Foo$qqrv"), "Foo$qqrv");
  EXPECT_EQ(DemangleExportName(""), "");
  EXPECT_EQ(DemangleExportName("@"), "@");
  // Without a second "@" there is no unit; the rest rules still apply.
  EXPECT_EQ(DemangleExportName("@Foo$qqrv"), "@Foo");
}

}  // namespace
}  // namespace trace
