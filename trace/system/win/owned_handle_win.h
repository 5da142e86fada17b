// Move-only owners of a kernel handle and of a mapped view of a file.
#pragma once

#include <windows.h>

#include <utility>

namespace trace {

// Closes its handle (null or INVALID_HANDLE_VALUE means none) when destroyed.
class OwnedHandle {
 public:
  // Takes ownership of handle.
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  // Closes the handle.
  ~OwnedHandle() { Reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  // Takes over other's handle.
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  // Closes its own handle and takes over other's.
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }

  // The handle, still owned.
  HANDLE get() const { return handle_; }
  // True when a handle is held.
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  // Closes the handle now.
  void Reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// Unmaps its view of a file when destroyed.
class OwnedView {
 public:
  // Takes ownership of a view returned by MapViewOfFile.
  explicit OwnedView(const void* view = nullptr) : view_(view) {}
  // Unmaps the view.
  ~OwnedView() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
  }
  OwnedView(const OwnedView&) = delete;
  OwnedView& operator=(const OwnedView&) = delete;
  // Takes over other's view.
  OwnedView(OwnedView&& other) noexcept : view_(std::exchange(other.view_, nullptr)) {}
  OwnedView& operator=(OwnedView&&) = delete;

  // The first byte of the view.
  const unsigned char* bytes() const { return static_cast<const unsigned char*>(view_); }

 private:
  const void* view_;
};

}  // namespace trace
