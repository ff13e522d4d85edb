#pragma once
// Byte views, a growable byte buffer and a growable array for the settings
// module. The module is loaded and freed for every call, so it carries no
// C++ run-time library: a statically linked one leaves a thread-local slot
// and two handles behind at every unload. These types use the C heap, never
// throw, and report a failed growth through Ok().
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

constexpr size_t kNoPos = SIZE_MAX;

// A piece of text that something else owns; never NUL-terminated by itself.
struct TextView {
  const char* data = "";
  size_t size = 0;

  constexpr TextView() = default;
  constexpr TextView(const char* bytes, size_t length) : data(bytes), size(length) {}
  TextView(const char* text) : data(text), size(std::strlen(text)) {}  // NOLINT: literals read naturally

  bool Empty() const { return size == 0; }
  char Front() const { return data[0]; }
  char Back() const { return data[size - 1]; }
  char operator[](size_t i) const { return data[i]; }
  // From pos, at most n bytes; out-of-range positions give an empty view.
  TextView Sub(size_t pos, size_t n = kNoPos) const {
    if (pos > size) return TextView(data + size, 0);
    const size_t rest = size - pos;
    return TextView(data + pos, n < rest ? n : rest);
  }
  size_t Find(char c, size_t from = 0) const {
    for (size_t i = from; i < size; ++i) {
      if (data[i] == c) return i;
    }
    return kNoPos;
  }
  void DropFront(size_t n) { *this = Sub(n); }
  void DropBack(size_t n) { size = n < size ? size - n : 0; }
  bool operator==(TextView other) const { return size == other.size && std::memcmp(data, other.data, size) == 0; }
  bool operator!=(TextView other) const { return !(*this == other); }
};

// Growable bytes, always followed by a NUL in memory (not counted).
class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer() { std::free(bytes_); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  TextBuffer(TextBuffer&& other) noexcept { Swap(other); }
  TextBuffer& operator=(TextBuffer&& other) noexcept {
    Swap(other);
    return *this;
  }

  bool Reserve(size_t capacity);
  // Sets the length, growing with zero bytes when needed; false when it cannot grow.
  bool Resize(size_t size);
  void Append(TextView text);
  void Append(char c) { Append(TextView(&c, 1)); }
  void AppendNumber(int64_t value);
  void Clear() { size_ = 0; if (bytes_) bytes_[0] = '\0'; }

  // Writable after a successful Reserve or Resize; null before any.
  char* Data() { return bytes_; }
  const char* Data() const { return bytes_ ? bytes_ : ""; }
  const char* CString() const { return Data(); }
  size_t Size() const { return size_; }
  TextView View() const { return TextView(Data(), size_); }
  bool Ok() const { return ok_; }

 private:
  void Swap(TextBuffer& other) {
    std::swap(bytes_, other.bytes_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    std::swap(ok_, other.ok_);
  }
  char* bytes_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool ok_ = true;
};

// A growable array on the C heap. Elements are moved, never copied.
template <class T>
class Array {
 public:
  Array() = default;
  ~Array() { Release(); }
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;
  Array(Array&& other) noexcept { Swap(other); }
  Array& operator=(Array&& other) noexcept {
    Swap(other);
    return *this;
  }

  bool Reserve(size_t capacity) {
    if (capacity <= capacity_) return true;
    if (capacity > SIZE_MAX / sizeof(T)) return false;
    T* items = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (!items) return false;
    for (size_t i = 0; i < size_; ++i) {
      new (&items[i]) T(std::move(items_[i]));
      items_[i].~T();
    }
    std::free(items_);
    items_ = items;
    capacity_ = capacity;
    return true;
  }
  // False, with nothing appended, when the array cannot grow.
  bool Append(T&& item) {
    if (size_ == capacity_ && !Reserve(capacity_ ? capacity_ * 2 : 4)) return false;
    new (&items_[size_]) T(std::move(item));
    ++size_;
    return true;
  }
  bool Append(const T& item) {
    T copy(item);
    return Append(std::move(copy));
  }
  // Puts item before position at (at most Size()); false, with nothing
  // changed, when the array cannot grow or at lies beyond the end.
  bool Insert(size_t at, T&& item) {
    if (at > size_ || !Append(std::move(item))) return false;
    for (size_t i = size_ - 1; i > at; --i) std::swap(items_[i], items_[i - 1]);
    return true;
  }
  bool Insert(size_t at, const T& item) {
    T copy(item);
    return Insert(at, std::move(copy));
  }
  void Erase(size_t at) {
    if (at >= size_) return;
    for (size_t i = at; i + 1 < size_; ++i) std::swap(items_[i], items_[i + 1]);
    items_[--size_].~T();
  }
  void Clear() {
    for (size_t i = 0; i < size_; ++i) items_[i].~T();
    size_ = 0;
  }

  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }
  T* Data() { return items_; }
  const T* Data() const { return items_; }
  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }

 private:
  void Release() {
    Clear();
    std::free(items_);
    items_ = nullptr;
    capacity_ = 0;
  }
  void Swap(Array& other) {
    std::swap(items_, other.items_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }
  T* items_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Spaces and tabs off both ends.
TextView Trim(TextView text);

// The first word (up to a space or tab), with the rest trimmed into rest.
TextView TakeWord(TextView& rest);

char LowerAscii(char c);
bool EqualsNoCase(TextView a, TextView b);
// Orders as the lower-case ASCII forms do: <0, 0, >0.
int CompareNoCase(TextView a, TextView b);
