// The value types of the dialog seam, and the answers of a host that creates no dialog.
#include "platform/DialogHost.h"

namespace zyq::platform {
namespace {

bool IsContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

const std::string& FieldValues::Get(int id) const {
  static const std::string kEmpty;
  for (const auto& [key, value] : values_) {
    if (key == id) return value.str();
  }
  return kEmpty;
}

void FieldValues::Set(int id, std::string_view utf8) {
  for (auto& [key, value] : values_) {
    if (key == id) {
      value = SecretString(std::string(utf8));
      return;
    }
  }
  values_.emplace_back(id, SecretString(std::string(utf8)));
}

bool FieldValues::Has(int id) const {
  for (const auto& entry : values_) {
    if (entry.first == id) return true;
  }
  return false;
}

FormOutcome DialogHost::RunForm(const FormDialog&) {
  return {};
}

ListOutcome DialogHost::RunList(const ListDialog&) {
  return {};
}

PickerOutcome DialogHost::RunPicker(const PickerRequest&) {
  return {};
}

std::string CutToCharacters(std::string_view utf8, int limit) {
  if (limit <= 0) return std::string(utf8);
  size_t pos = 0;
  int count = 0;
  while (pos < utf8.size()) {
    if (count == limit) break;
    ++pos;
    while (pos < utf8.size() && IsContinuationByte(static_cast<unsigned char>(utf8[pos]))) ++pos;
    ++count;
  }
  return std::string(utf8.substr(0, pos));
}

int CountCharacters(std::string_view utf8) {
  int count = 0;
  for (char c : utf8) {
    if (!IsContinuationByte(static_cast<unsigned char>(c))) ++count;
  }
  return count;
}

}  // namespace zyq::platform
