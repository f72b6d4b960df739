#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace talvo {

// A small set of key codes stored inline, so that copying a keyboard sample or the
// hotkey machine never touches the heap. Real keyboards report far fewer keys at once
// than the capacity; codes beyond it are dropped.
class KeySet {
public:
  static constexpr std::size_t capacity = 32;

  constexpr KeySet() = default;
  constexpr KeySet(std::initializer_list<uint16_t> codes) {
    for (uint16_t code : codes) insert(code);
  }

  constexpr bool contains(uint16_t code) const { return std::binary_search(begin(), end(), code); }
  constexpr const uint16_t* begin() const { return codes_.data(); }
  constexpr const uint16_t* end() const { return codes_.data() + size_; }

  constexpr void insert(uint16_t code) {
    auto* at = std::lower_bound(codes_.data(), codes_.data() + size_, code);
    if (at != end() && *at == code) return;
    if (size_ == capacity) return;
    std::copy_backward(at, codes_.data() + size_, codes_.data() + size_ + 1);
    *at = code;
    ++size_;
  }

  template <typename Pred>
  constexpr void eraseIf(Pred pred) {
    auto* last = std::remove_if(codes_.data(), codes_.data() + size_, pred);
    size_ = static_cast<std::size_t>(last - codes_.data());
  }

  constexpr bool operator==(const KeySet& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
  }

private:
  std::array<uint16_t, capacity> codes_{};
  std::size_t size_ = 0;
};

}  // namespace talvo
