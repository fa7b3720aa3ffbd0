#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace brinvale {

// An allocator whose value-initialising construct leaves a new element as
// default-initialisation does: bytes a read is about to fill are not
// cleared first.
template <typename T>
struct DefaultInitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  DefaultInitAllocator() = default;
  template <typename U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  template <typename U>
  void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

// Bytes read from a medium for a file: sizing this vector leaves its new
// bytes unset, so only what the reads fill may be handed on.
using ReadBytes = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;

}  // namespace brinvale
