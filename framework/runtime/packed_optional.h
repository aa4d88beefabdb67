#pragma once

#include <optional>
#include <utility>

// An optional value, its flag right after the value, whose class is no
// plain aggregate: declared [[no_unique_address]], it leaves the room after
// its flag to the next member of the class, where std::optional keeps that
// room as padding. For fields of objects a scene holds by the million.
// Reads like std::optional.
template <class T>
class PackedOptional {
public:
  PackedOptional() noexcept {}
  PackedOptional(std::nullopt_t) noexcept {}  // NOLINT(google-explicit-constructor)
  PackedOptional(const T& v) : value_(v), has_(true) {}  // NOLINT(google-explicit-constructor)
  PackedOptional& operator=(std::nullopt_t) noexcept {
    reset();
    return *this;
  }
  PackedOptional& operator=(const T& v) {
    value_ = v;
    has_ = true;
    return *this;
  }

  [[nodiscard]] bool has_value() const noexcept { return has_; }
  explicit operator bool() const noexcept { return has_; }
  void reset() noexcept {
    value_ = T{};
    has_ = false;
  }

  [[nodiscard]] T& value() {
    if (!has_) throw std::bad_optional_access();
    return value_;
  }
  [[nodiscard]] const T& value() const {
    if (!has_) throw std::bad_optional_access();
    return value_;
  }
  T& operator*() noexcept { return value_; }
  const T& operator*() const noexcept { return value_; }
  T* operator->() noexcept { return &value_; }
  const T* operator->() const noexcept { return &value_; }

  friend bool operator==(const PackedOptional& a, std::nullopt_t) noexcept { return !a.has_; }
  // As std::optional: a value compares equal only to an engaged optional holding it.
  friend bool operator==(const PackedOptional& a, const T& v) { return a.has_ && a.value_ == v; }

private:
  T value_{};
  bool has_ = false;
};
