#include "settings/Text.h"

bool TextBuffer::Reserve(size_t capacity) {
  if (capacity < capacity_) return true;  // room for the NUL too
  if (capacity >= SIZE_MAX / 2) {
    ok_ = false;
    return false;
  }
  // Doubling keeps a long run of appends linear.
  size_t grown = capacity_ ? capacity_ * 2 : 64;
  if (grown < capacity + 1) grown = capacity + 1;
  char* bytes = static_cast<char*>(std::realloc(bytes_, grown));
  if (!bytes) {
    ok_ = false;
    return false;
  }
  bytes_ = bytes;
  capacity_ = grown;
  bytes_[size_] = '\0';
  return true;
}

bool TextBuffer::Resize(size_t size) {
  if (!Reserve(size)) return false;
  if (size > size_) std::memset(bytes_ + size_, 0, size - size_);
  size_ = size;
  bytes_[size_] = '\0';
  return true;
}

void TextBuffer::Append(TextView text) {
  if (!ok_ || !Reserve(size_ + text.size)) return;
  std::memcpy(bytes_ + size_, text.data, text.size);
  size_ += text.size;
  bytes_[size_] = '\0';
}

void TextBuffer::AppendNumber(int64_t value) {
  char digits[24];
  size_t at = sizeof digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) digits[--at] = '-';
  Append(TextView(digits + at, sizeof digits - at));
}

TextView Trim(TextView text) {
  while (!text.Empty() && (text.Front() == ' ' || text.Front() == '\t')) text.DropFront(1);
  while (!text.Empty() && (text.Back() == ' ' || text.Back() == '\t')) text.DropBack(1);
  return text;
}

TextView TakeWord(TextView& rest) {
  rest = Trim(rest);
  size_t end = 0;
  while (end < rest.size && rest[end] != ' ' && rest[end] != '\t') ++end;
  const TextView word = rest.Sub(0, end);
  rest = Trim(rest.Sub(end));
  return word;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(TextView a, TextView b) { return a.size == b.size && CompareNoCase(a, b) == 0; }

int CompareNoCase(TextView a, TextView b) {
  const size_t n = a.size < b.size ? a.size : b.size;
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<uint8_t>(LowerAscii(a[i]));
    const auto y = static_cast<uint8_t>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
}
