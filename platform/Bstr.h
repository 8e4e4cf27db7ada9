// Owning handle for a BSTR: the text type that crosses every front-end.
//
// A BSTR points at UTF-16 code units; the 32-bit byte length is stored just before them and
// two zero bytes follow them, the layout OLE Automation defines. A null BSTR is a valid value
// and means "no text"; its length is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zyq::platform {

using BstrChars = char16_t*;

// Raw allocation functions with the semantics of their OLE Automation namesakes.
BstrChars AllocBstr(const char16_t* text);                      // copies up to the first NUL
BstrChars AllocBstrLen(const char16_t* text, uint32_t length);  // text may be null: zero-filled
uint32_t BstrLength(const char16_t* bstr);                      // code units; 0 for null
void FreeBstr(char16_t* bstr);                                  // null is allowed

class Bstr {
 public:
  Bstr() = default;
  // Takes ownership of a raw BSTR.
  static Bstr Adopt(BstrChars raw) {
    Bstr b;
    b.chars_ = raw;
    return b;
  }
  // Copies a NUL-terminated wide text, as SysAllocString does (null gives a null BSTR).
  static Bstr FromWide(const char16_t* text) { return Adopt(AllocBstr(text)); }
  static Bstr FromView(std::u16string_view text) {
    return Adopt(AllocBstrLen(text.data(), static_cast<uint32_t>(text.size())));
  }
  // Converts ANSI text of the process's code page to a new BSTR (always non-null).
  static Bstr FromAnsi(std::string_view ansi);

  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : chars_(other.chars_) { other.chars_ = nullptr; }
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      FreeBstr(chars_);
      chars_ = other.chars_;
      other.chars_ = nullptr;
    }
    return *this;
  }
  ~Bstr() { FreeBstr(chars_); }

  bool IsNull() const { return chars_ == nullptr; }
  uint32_t Length() const { return BstrLength(chars_); }
  bool Empty() const { return Length() == 0; }
  const char16_t* Get() const { return chars_; }
  std::u16string_view View() const {
    return chars_ ? std::u16string_view(chars_, Length()) : std::u16string_view();
  }
  // The text up to its first NUL, as the ANSI conversion of the engine sees it.
  std::u16string_view UpToNul() const;
  // The text in the process's ANSI code page, up to the first NUL.
  std::string ToAnsi() const;
  // Hands the raw BSTR to the caller, who then owns it.
  BstrChars Release() {
    BstrChars raw = chars_;
    chars_ = nullptr;
    return raw;
  }
  // Overwrites the characters with zeros (for passwords) before they are freed.
  void Wipe();

 private:
  BstrChars chars_ = nullptr;
};

}  // namespace zyq::platform
