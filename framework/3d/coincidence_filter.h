#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// Tells a primitive that would cover the same pixels, within an eighth of a
// pixel, at the same depth, in the same colour as one drawn a moment before
// in the same frame: drawing it again changes nothing in the picture. Bodies
// of a million charges pack thousands of spheres and outline segments onto
// each pixel (the charges of a ring of two million lie a thousandth of a
// pixel apart); only one of each such heap is drawn.
//
// The keys are the primitive's quantised screen place, size and depth. A
// small table of the keys seen last, indexed by the key's hash, finds the
// neighbours a scene's order brings close together; a key it has forgotten
// costs only a primitive drawn twice.
class CoincidenceFilter {
public:
  using Key = std::array<std::int64_t, 6>;

  // Starts a frame: what earlier frames saw is forgotten.
  void clear() { ++frame_; }
  // Whether the key was seen lately in this frame; remembers it if not.
  bool seen(const Key& key) {
    Slot& slot = slots_[hash(key) & (kSlots - 1)];
    if (slot.frame == frame_ && slot.key == key) return true;
    slot = {key, frame_};
    return false;
  }

  // A screen length (pixels) in eighths; values far off screen all fall in one bin.
  static std::int64_t eighths(double pixels) {
    constexpr double kLimit = 1e12;
    const double v = pixels * 8.0;
    if (!(v > -kLimit)) return static_cast<std::int64_t>(-kLimit);
    if (!(v < kLimit)) return static_cast<std::int64_t>(kLimit);
    // Rounded down, without a call to floor: a scene asks this millions of times a frame.
    const auto whole = static_cast<std::int64_t>(v);
    return static_cast<double>(whole) > v ? whole - 1 : whole;
  }
  // A positive depth to about a part in a thousand (its float's exponent and
  // first ten bits of mantissa), which grow with the depth.
  static std::int64_t thousandths(double depth) {
    return static_cast<std::int64_t>(std::bit_cast<std::uint32_t>(static_cast<float>(depth)) >> 13);
  }

private:
  static constexpr std::size_t kSlots = 4096;
  struct Slot {
    Key key{};
    std::uint64_t frame = 0;
  };
  static std::uint64_t hash(const Key& key) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (const std::int64_t v : key) h = (h ^ static_cast<std::uint64_t>(v)) * 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
  }
  std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
  std::uint64_t frame_ = 1;
};
