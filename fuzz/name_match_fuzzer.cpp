// The name filter rules on two texts cut from the input at its first NUL byte (a filter and a
// certificate's subject): the split, both match rules, and the boundary-aware search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cert/NameComponents.h"

namespace {

void CheckComponents(const zyq::NameComponents& components) {
  for (const std::string& component : components) {
    // A CR or LF may stay: the byte after a lead byte of the code page is a trail byte, even
    // when it is not a valid one, and the split steps over both.
    if (component.empty()) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string_view filterText = input.substr(0, cut);
  const std::string_view subjectText =
      cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

  zyq::NameComponents filter{"left over"};
  zyq::NameComponents subject;
  zyq::SplitNameComponents(filterText, &filter);
  zyq::SplitNameComponents(subjectText, &subject);
  CheckComponents(filter);
  CheckComponents(subject);

  zyq::MatchNamesContaining(filter, subject);
  zyq::MatchNamesExact(filter, subject);
  zyq::MatchNamesContaining(subject, filter);

  const size_t at = zyq::AnsiFind(filterText, subjectText);
  if (at != std::string_view::npos) {
    if (at + subjectText.size() > filterText.size()) std::abort();
    if (filterText.substr(at, subjectText.size()) != subjectText) std::abort();
  }
  if (zyq::AnsiFind(filterText, {}) != 0) std::abort();
  return 0;
}
