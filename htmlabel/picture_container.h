// TPictureContainer: a component holding named pictures that markup shows
// by name (IMG SRC="name", BODY BACKGROUND="name").
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/component.h"
#include "htmlabel/html_picture.h"

namespace htmlabel {

class TPictureContainer;

// A named picture of a container.
class TPictureItem : public fw::TObject {
 public:
  TPictureItem() = default;
  TPictureItem(const TPictureItem&) = delete;
  TPictureItem& operator=(const TPictureItem&) = delete;

  // The picture (owned).
  THTMLPicture& Picture() { return picture_; }
  // The picture (owned).
  const THTMLPicture& Picture() const { return picture_; }
  // Copies the data of picture into this item's picture.
  void SetPicture(const THTMLPicture& picture) { picture_.Assign(&picture); }
  // The name markup finds the picture by.
  const std::string& Name() const { return name_; }
  // Renames the item.
  void SetName(std::string name) { name_ = std::move(name); }
  // A number for the program's own use.
  int Tag() const { return tag_; }
  // Sets Tag.
  void SetTag(int tag) { tag_ = tag; }
  // Copies name, tag and picture of source.
  void Assign(const TPictureItem& source);

 private:
  THTMLPicture picture_;
  std::string name_;
  int tag_ = 0;
};

// The items of a container, owned by it.
class TPictureCollection {
 public:
  // A collection whose owner is container.
  explicit TPictureCollection(TPictureContainer* container) : owner_(container) {}
  TPictureCollection(const TPictureCollection&) = delete;
  TPictureCollection& operator=(const TPictureCollection&) = delete;

  // Appends an empty item and returns it.
  TPictureItem& Add();
  // The number of items.
  std::size_t Count() const { return items_.size(); }
  // Item index (below Count()).
  TPictureItem& Item(std::size_t index) { return *items_[index]; }
  // Item index (below Count()).
  const TPictureItem& Item(std::size_t index) const { return *items_[index]; }
  // Frees every item.
  void Clear() { items_.clear(); }
  // The container the items belong to.
  TPictureContainer* Owner() const { return owner_; }

 private:
  TPictureContainer* owner_;
  std::vector<std::unique_ptr<TPictureItem>> items_;
};

// Items this many or more are not made from descriptions.
constexpr std::size_t kMaxPictureItems = 4096;

class TPictureContainer : public fw::TComponent {
 public:
  // An empty container owned by owner.
  explicit TPictureContainer(fw::TComponent* owner) : fw::TComponent(owner), items_(this) {}

  // "TPictureContainer".
  std::string ClassName() const override { return "TPictureContainer"; }
  // Items.N.Name, Items.N.Tag, Items.N.Picture.Data (the file's bytes) and
  // Items.N.Picture.Resource (a raw-data resource); item N is made when the
  // description first names it, items being numbered from 0 in order.
  bool SetProperty(std::string_view name, const fw::PropertyValue& value) override;

  // The items.
  TPictureCollection& Items() { return items_; }
  // The picture of the first item whose name equals name without regard to
  // case, or null.
  THTMLPicture* PictureByName(std::string_view name);

 private:
  TPictureCollection items_;
};

// Registers TPictureContainer with the framework's component classes.
void RegisterPictureContainer();

}  // namespace htmlabel
