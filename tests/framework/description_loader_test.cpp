// Building components from a description: classes by name, properties by
// name, ownership and parents, events bound to published handlers, and a
// refusal that names the line of the first fault.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/component_registry.h"
#include "framework/description_loader.h"
#include "framework/exception.h"

namespace fw {
namespace {

// A component that keeps what it was told.
class TRecorder : public TComponent {
 public:
  using TComponent::TComponent;
  std::string ClassName() const override { return "TRecorder"; }
  bool SetProperty(std::string_view name, const PropertyValue& value) override {
    if (name == "Number" && value.kind == PropertyValue::Kind::kInteger) {
      number = value.integer;
      return true;
    }
    if (name == "OnClick" && value.kind == PropertyValue::Kind::kIdentifier) {
      on_click = FindMethod(value.text);
      return static_cast<bool>(on_click);
    }
    return TComponent::SetProperty(name, value);
  }
  void SetParentComponent(TComponent* parent) override { parent_component = parent; }
  void Loaded() override { loaded = true; }

  int number = 0;
  TNotifyEvent on_click;
  TComponent* parent_component = nullptr;
  bool loaded = false;
};

class TRoot : public TRecorder {
 public:
  using TRecorder::TRecorder;
  std::string ClassName() const override { return "TRoot"; }
};

class DescriptionLoader : public ::testing::Test {
 protected:
  void SetUp() override { RegisterComponentClass("TRecorder", CreateComponent<TRecorder>); }
};

TEST_F(DescriptionLoader, CreatesOwnedChildrenAndSetsProperties) {
  TRoot root(nullptr);
  int clicks = 0;
  root.PublishMethod("Clicked", [&](TObject*) { ++clicks; });
  LoadDescriptionText(&root,
                      "object Main: TRoot\n"
                      "  Number = 7\n"
                      "  object A: TRecorder\n"
                      "    Number = -3\n"
                      "    OnClick = Clicked\n"
                      "    object B: TRecorder\n"
                      "    end\n"
                      "  end\n"
                      "end\n");
  EXPECT_EQ(root.Name(), "Main");
  EXPECT_EQ(root.number, 7);
  EXPECT_TRUE(root.loaded);
  ASSERT_EQ(root.Components().size(), 2u);
  auto* a = dynamic_cast<TRecorder*>(root.FindComponent("A"));
  auto* b = dynamic_cast<TRecorder*>(root.FindComponent("B"));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Owner(), &root);
  EXPECT_EQ(b->Owner(), &root);
  EXPECT_EQ(a->parent_component, &root);
  EXPECT_EQ(b->parent_component, a);
  EXPECT_EQ(a->number, -3);
  EXPECT_TRUE(a->loaded && b->loaded);
  ASSERT_TRUE(a->on_click);
  a->on_click(a);
  EXPECT_EQ(clicks, 1);
}

TEST_F(DescriptionLoader, RefusesWithTheLineOfTheFault) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"object M: TOther end", "line 1: the description is of class TOther, not TRoot"},
      {"object M: TRoot\n  Colour = 5\nend", "line 2: property Colour of M (TRoot) is unknown"},
      {"object M: TRoot\n  Number = \"7\"\nend", "line 2: property Number of M (TRoot)"},
      {"object M: TRoot\n\n object X: TNoSuch end end", "line 3: class TNoSuch is not registered"},
      {"object M: TRoot object X: TRecorder OnClick = Nobody end end",
       "line 1: property OnClick of X"},
      {"object M: TRoot object X: TRecorder end\n object X: TRecorder end end",
       "line 2: a second component X"},
      {"object M: TRoot", "line 1: \"end\" of object M is missing"},
  };
  for (const Case& c : cases) {
    TRoot root(nullptr);
    try {
      LoadDescriptionText(&root, c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message().rfind(c.error, 0), 0u) << e.Message();
    }
  }
}

TEST(Component, OwnerFreesWhatItOwnsAndForgetsWhatGoesFirst) {
  static std::vector<std::string> freed;
  class TNoisy : public TComponent {
   public:
    TNoisy(TComponent* owner, std::string name) : TComponent(owner) { SetName(std::move(name)); }
    ~TNoisy() override { freed.push_back(Name()); }
  };
  freed.clear();
  {
    TComponent owner(nullptr);
    new TNoisy(&owner, "first");
    auto* second = new TNoisy(&owner, "second");
    new TNoisy(second, "grandchild");
    delete new TNoisy(&owner, "gone early");
    EXPECT_EQ(owner.Components().size(), 2u);
  }
  EXPECT_EQ(freed, (std::vector<std::string>{"gone early", "second", "grandchild", "first"}));
}

}  // namespace
}  // namespace fw
