#include "trace/stack/progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace trace {
namespace {

// A clock the test moves and a window that records the values shown on it.
struct FakeSystem {
  uint32_t now = 1000;
  int opened = 0;
  std::vector<int> shown;

  class Window : public ProgressDisplay {
   public:
    explicit Window(FakeSystem* system) : system_(system) {}
    void Show(int value) override { system_->shown.push_back(value); }

   private:
    FakeSystem* system_;
  };

  ProgressSystem system() {
    return {[this] { return now; },
            [this]() -> std::unique_ptr<ProgressDisplay> {
              ++opened;
              return std::make_unique<Window>(this);
            }};
  }
};

// Frees the progress at the end of a test.
struct ProgressOwner {
  TProgress* progress;
  ~ProgressOwner() { FreeProgress(progress); }
};

TEST(ProgressTest, AreasOfDifferentWeights) {
  FakeSystem fake;
  ProgressOwner owner{NewProgress(fake.system())};
  TProgress& p = *owner.progress;
  EXPECT_EQ(p.start_tick, 1000u);
  AddProgressArea(&p, 1);
  AddProgressArea(&p, 3);
  AddProgressArea(&p, -5);  // counts as 0
  AddProgressArea(&p, 6);
  ASSERT_EQ(p.areas.size(), 4u);
  EXPECT_EQ(p.areas[1].start, 1);
  EXPECT_EQ(p.areas[3].start, 4);
  EXPECT_EQ(p.areas[2].weight, 0);
  EXPECT_EQ(p.total, 10);

  EXPECT_EQ(ProgressValue(ProgressPosition(p, 500), 0, p.total), 0);  // 1 * 500 / 1000 = 0
  EXPECT_EQ(ProgressPosition(p, 1000), 1);
  NextProgressArea(&p);
  EXPECT_EQ(p.current_area, 1);
  EXPECT_EQ(ProgressPosition(p, 0), 1);
  EXPECT_EQ(ProgressPosition(p, 667), 3);
  EXPECT_EQ(ProgressValue(ProgressPosition(p, 1000), 0, p.total), 400);
  // Per mille outside 0..1000 stays within the area.
  EXPECT_EQ(ProgressPosition(p, 5000), 4);
  EXPECT_EQ(ProgressPosition(p, -20), 1);
  NextProgressArea(&p);
  NextProgressArea(&p);
  EXPECT_EQ(ProgressPosition(p, 500), 7);
  NextProgressArea(&p);
  // Past the last area everything is done, however often it is moved on.
  NextProgressArea(&p);
  EXPECT_EQ(p.current_area, 4);
  EXPECT_EQ(ProgressPosition(p, 0), 10);
  EXPECT_EQ(fake.opened, 0);  // no time passed
}

TEST(ProgressTest, GuardedDivisions) {
  EXPECT_EQ(ProgressValue(0, 0, 0), 1000);  // no work at all
  EXPECT_EQ(ProgressValue(5, 5, 5), 1000);  // nothing left after the offset
  EXPECT_EQ(ProgressValue(3, 5, 4), 1000);  // offset past the total
  EXPECT_EQ(ProgressValue(2, 5, 10), 0);    // before the offset
  EXPECT_EQ(ProgressValue(7, 5, 10), 400);
  EXPECT_EQ(ProgressValue(30, 5, 10), 1000);  // past the total

  // A progress with no areas never opens a window, as nothing is left to do.
  FakeSystem fake;
  ProgressOwner owner{NewProgress(fake.system())};
  fake.now += 5000;
  SetProgress(owner.progress, 0);
  NextProgressArea(owner.progress);
  EXPECT_EQ(owner.progress->current_area, 0);
  EXPECT_EQ(fake.opened, 0);
  // An index set past the end, or negative, reads as the total.
  AddProgressArea(owner.progress, 4);
  owner.progress->current_area = 9;
  EXPECT_EQ(ProgressPosition(*owner.progress, 0), 4);
  owner.progress->current_area = -1;
  EXPECT_EQ(ProgressPosition(*owner.progress, 0), 4);
}

TEST(ProgressTest, HalfDoneWithinTheDelayNeverShowsTheWindow) {
  FakeSystem fake;
  ProgressOwner owner{NewProgress(fake.system())};
  TProgress* p = owner.progress;
  for (int i = 0; i < 4; ++i)
    AddProgressArea(p, 10);
  NextProgressArea(p);
  fake.now += 700;
  NextProgressArea(p);  // 50 % within the delay
  fake.now += 51;
  SetProgress(p, 0);  // still 50 % when the delay has passed
  fake.now += 10000;
  SetProgress(p, 500);
  NextProgressArea(p);
  NextProgressArea(p);
  EXPECT_EQ(fake.opened, 0);
  EXPECT_TRUE(fake.shown.empty());
  EXPECT_EQ(p->window, nullptr);
}

TEST(ProgressTest, ClockWrapsAround) {
  FakeSystem fake;
  fake.now = 0xFFFFFF00u;
  ProgressOwner owner{NewProgress(fake.system())};
  AddProgressArea(owner.progress, 1);
  fake.now = 0x200;  // 0x300 = 768 ms later
  SetProgress(owner.progress, 0);
  EXPECT_EQ(fake.opened, 1);
}

TEST(ProgressTest, DisplayOffsetAfterTheWindowAppears) {
  FakeSystem fake;
  ProgressOwner owner{NewProgress(fake.system())};
  TProgress* p = owner.progress;
  AddProgressArea(p, 100);
  AddProgressArea(p, 300);
  SetProgress(p, 400);  // 40 of 400, at once
  EXPECT_EQ(fake.opened, 0);
  fake.now += 800;
  SetProgress(p, 800);  // 80 of 400: slow, and 200 per mille done
  ASSERT_EQ(fake.opened, 1);
  EXPECT_EQ(p->display_offset, 80);
  SetProgress(p, 900);  // 90: 10 of the 320 left
  NextProgressArea(p);  // 100
  SetProgress(p, 700);  // 310
  NextProgressArea(p);  // 400
  EXPECT_EQ(fake.shown, (std::vector<int>{0, 31, 62, 718, 1000}));
  // Only one window, however slow it gets.
  fake.now += 5000;
  SetProgress(p, 0);
  EXPECT_EQ(fake.opened, 1);
}

TEST(ProgressTest, NoWindowWhenItCannotOpen) {
  FakeSystem fake;
  ProgressSystem system = fake.system();
  int tries = 0;
  system.open_window = [&tries]() -> std::unique_ptr<ProgressDisplay> {
    ++tries;
    return nullptr;
  };
  ProgressOwner owner{NewProgress(system)};
  AddProgressArea(owner.progress, 10);
  fake.now += 1000;
  SetProgress(owner.progress, 200);
  EXPECT_EQ(tries, 1);
  EXPECT_EQ(owner.progress->display_offset, 0);  // kept until a window shows
  // Without a clock time stands, without a window factory nothing opens.
  ProgressOwner still{NewProgress({})};
  AddProgressArea(still.progress, 10);
  SetProgress(still.progress, 100);
  EXPECT_EQ(still.progress->window, nullptr);
}

TEST(ProgressTest, RedrawOnlyWhenBarWidthOrPercentChanges) {
  EXPECT_EQ(ProgressBarWidth(1200, 500), 500);
  EXPECT_EQ(ProgressBarWidth(500, -8), 0);
  EXPECT_EQ(ProgressPercent(4), 0);
  EXPECT_EQ(ProgressPercent(995), 100);

  EXPECT_TRUE(ProgressNeedsRedraw(-1, 0, 500));  // nothing drawn yet
  EXPECT_FALSE(ProgressNeedsRedraw(0, 0, 500));
  // 500 pixels: 2 per mille a pixel; 200 and 201 share pixel and percentage.
  EXPECT_FALSE(ProgressNeedsRedraw(200, 201, 500));
  EXPECT_TRUE(ProgressNeedsRedraw(201, 202, 500));  // next pixel, same 20 %
  // 50 pixels: 20 per mille a pixel; 205 rounds to 21 % on the same pixel.
  EXPECT_FALSE(ProgressNeedsRedraw(200, 204, 50));
  EXPECT_TRUE(ProgressNeedsRedraw(204, 205, 50));
}

TEST(ProgressTest, NullProgressAccepted) {
  AddProgressArea(nullptr, 5);
  SetProgress(nullptr, 500);
  NextProgressArea(nullptr);
  FreeProgress(nullptr);
}

}  // namespace
}  // namespace trace
