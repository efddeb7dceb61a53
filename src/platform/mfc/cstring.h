#pragma once
// The converter's string: 8-bit text of any length, formatted printf-style, cut from the left.

#include <string>

#include "platform/mfc/win_types.h"

class CString {
 public:
  CString() = default;
  /// A null pointer gives the empty string.
  CString(const char* text) : m_str(text ? text : "") {}
  CString(std::string text) : m_str(std::move(text)) {}

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }

  /// The first n bytes: Left(3) of "shot.avi" is "sho". A count below zero gives the empty
  /// string, one past the end the whole string.
  CString Left(int n) const;

  /// Replaces the contents with printf-style output: Format("Saving Video Frame %d", 12).
  /// Text arguments are passed as const char* (a CString converts implicitly); the result has
  /// no length limit.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const char* GetString() const { return m_str.c_str(); }
  operator const char*() const { return m_str.c_str(); }
  const std::string& str() const { return m_str; }

  CString& operator+=(const CString& other) {
    m_str += other.m_str;
    return *this;
  }
  friend CString operator+(CString a, const CString& b) { return a += b; }
  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator!=(const CString& a, const CString& b) { return a.m_str != b.m_str; }
  friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

 private:
  std::string m_str;
};
