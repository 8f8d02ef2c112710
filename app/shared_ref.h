// SharedRef<T>: the engine's reference-counted pointer. A separate count
// block holds the object pointer and the count; the count is atomic because
// shared objects cross threads (sound library, installer). The last
// reference deletes the object through the type it was made with, so a
// SharedRef<Base> made from a SharedRef<Derived> deletes a Derived.
#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace shared_ref_detail {

struct Block {
  std::atomic<long> count{1};
  virtual ~Block() = default;
};

template <class T>
struct BlockOf final : Block {
  explicit BlockOf(T* p) : object(p) {}
  ~BlockOf() override { delete object; }
  T* object;
};

}  // namespace shared_ref_detail

template <class T>
class SharedRef {
 public:
  SharedRef() noexcept = default;
  SharedRef(std::nullptr_t) noexcept {}
  // Takes ownership; a null pointer gives an empty reference.
  template <class U>
    requires std::is_convertible_v<U*, T*>
  explicit SharedRef(U* object) {
    if (object) {
      block_ = new shared_ref_detail::BlockOf<U>(object);
      ptr_ = object;
    }
  }

  SharedRef(const SharedRef& other) noexcept : block_(other.block_), ptr_(other.ptr_) { retain(); }
  template <class U>
    requires std::is_convertible_v<U*, T*>
  SharedRef(const SharedRef<U>& other) noexcept : block_(other.block_), ptr_(other.ptr_) {
    retain();
  }
  SharedRef(SharedRef&& other) noexcept
      : block_(std::exchange(other.block_, nullptr)), ptr_(std::exchange(other.ptr_, nullptr)) {}

  SharedRef& operator=(SharedRef other) noexcept {
    std::swap(block_, other.block_);
    std::swap(ptr_, other.ptr_);
    return *this;
  }

  ~SharedRef() { release(); }

  void reset() noexcept { SharedRef().swap(*this); }
  void swap(SharedRef& other) noexcept {
    std::swap(block_, other.block_);
    std::swap(ptr_, other.ptr_);
  }

  T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  T& operator*() const noexcept { return *ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  // Number of references to the object; 0 for an empty reference.
  long useCount() const noexcept { return block_ ? block_->count.load() : 0; }

  friend bool operator==(const SharedRef& a, const SharedRef& b) noexcept { return a.ptr_ == b.ptr_; }

 private:
  template <class U>
  friend class SharedRef;

  void retain() noexcept {
    if (block_) block_->count.fetch_add(1, std::memory_order_relaxed);
  }
  void release() noexcept {
    if (block_ && block_->count.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block_;
    block_ = nullptr;
    ptr_ = nullptr;
  }

  shared_ref_detail::Block* block_ = nullptr;
  T* ptr_ = nullptr;
};

template <class T, class... A>
SharedRef<T> MakeSharedRef(A&&... args) {
  return SharedRef<T>(new T(std::forward<A>(args)...));
}
