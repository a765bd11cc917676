// Fixed-capacity texts: the records and reply buffers of the terminal keep at most
// their capacity less one character; what does not fit is cut, never written past.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// A writable view of a caller-owned character buffer of a known capacity (terminator included).
struct TextSpan {
  char* data = nullptr;
  size_t capacity = 0;

  TextSpan() = default;
  TextSpan(char* d, size_t cap) : data(d), capacity(cap) {}
  template <size_t N>
  TextSpan(char (&arr)[N]) : data(arr), capacity(N) {}

  const char* c_str() const { return data; }
  size_t size() const { return data ? std::strlen(data) : 0; }
  void Clear() {
    if (capacity) data[0] = '\0';
  }
  // Replaces the text, cut at capacity - 1.
  void Assign(std::string_view s) {
    if (!capacity) return;
    size_t n = s.size() < capacity - 1 ? s.size() : capacity - 1;
    std::memcpy(data, s.data(), n);
    data[n] = '\0';
  }
  // Appends what fits.
  void Append(std::string_view s) {
    if (!capacity) return;
    size_t len = std::strlen(data);
    if (len >= capacity - 1) return;
    size_t room = capacity - 1 - len;
    size_t n = s.size() < room ? s.size() : room;
    std::memcpy(data + len, s.data(), n);
    data[len + n] = '\0';
  }
  std::string_view view() const { return std::string_view(data, size()); }
};

template <size_t N>
struct FixedText {
  static_assert(N >= 1);
  char buf[N] = {};

  FixedText() = default;
  FixedText(std::string_view s) { Assign(s); }
  FixedText& operator=(std::string_view s) {
    Assign(s);
    return *this;
  }

  static constexpr size_t Capacity() { return N; }
  const char* c_str() const { return buf; }
  char* data() { return buf; }
  size_t size() const { return strnlen(buf, N); }
  bool empty() const { return buf[0] == '\0'; }
  void Clear() { buf[0] = '\0'; }
  void Assign(std::string_view s) { Span().Assign(s); }
  void Append(std::string_view s) { Span().Append(s); }
  TextSpan Span() { return TextSpan(buf, N); }
  operator TextSpan() { return Span(); }
  std::string_view view() const { return std::string_view(buf, size()); }
  std::string str() const { return std::string(view()); }
  bool operator==(std::string_view s) const { return view() == s; }
  template <size_t M>
  bool operator==(const FixedText<M>& o) const {
    return view() == o.view();
  }
};
