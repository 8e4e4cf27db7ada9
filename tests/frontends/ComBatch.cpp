// The batch protocol of `zyqsec --batch`, spoken through the COM object: every request line
// (a JSON array: the method's name, then its arguments) becomes a late-bound call through
// IDispatch (GetIDsOfNames, then Invoke), and every answer line gives the result and the code
// that GetErrorCode reads afterwards. One object serves the whole input, as one object serves
// a web page.
#include <cstdio>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "cli/JsonLine.h"
#include "tests/com/ComClient.h"

namespace zyq::test {
namespace {

using cli::JsonNull;
using cli::JsonString;
using cli::JsonValue;

// Owns the VARIANT arguments of one call, in Invoke's order (the last parameter first).
class Arguments {
 public:
  Arguments(const ComClient& lib, const std::vector<JsonValue>& values) : lib_(lib) {
    for (size_t i = values.size(); i-- > 1;) {
      VARIANT v{};
      if (const auto* number = std::get_if<int64_t>(&values[i])) {
        v.vt = VT_I4;
        v.lVal = static_cast<LONG>(*number);
      } else {
        // A JSON null is the null BSTR, which COM reads as empty text.
        v.vt = VT_BSTR;
        if (const auto* text = std::get_if<std::u16string>(&values[i])) {
          v.bstrVal = lib.sysAllocString(text->c_str());
        }
      }
      values_.push_back(v);
    }
    params_.rgvarg = values_.empty() ? nullptr : values_.data();
    params_.cArgs = static_cast<UINT>(values_.size());
  }
  ~Arguments() {
    for (VARIANT& v : values_) {
      if (v.vt == VT_BSTR && v.bstrVal != nullptr) lib_.sysFreeString(v.bstrVal);
    }
  }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  DISPPARAMS* params() { return &params_; }

 private:
  const ComClient& lib_;
  std::vector<VARIANT> values_;
  DISPPARAMS params_{};
};

std::string Answer(const ComClient& lib, IZYQapi* api, const std::vector<JsonValue>& values) {
  const auto* name = values.empty() ? nullptr : std::get_if<std::u16string>(&values[0]);
  if (name == nullptr) return "{\"error\": \"the first element must be the name of a method\"}";
  LPOLESTR names[] = {const_cast<LPOLESTR>(name->c_str())};
  DISPID id = 0;
  if (api->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) != S_OK) {
    return "{\"error\": \"unknown method\"}";
  }
  Arguments args(lib, values);
  VARIANT result{};
  UINT argError = 0;
  const HRESULT hr = api->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.params(),
                                 &result, nullptr, &argError);
  if (hr != S_OK) {
    char text[64];
    std::snprintf(text, sizeof text, "{\"error\": \"Invoke failed: 0x%08X\"}",
                  static_cast<unsigned>(hr));
    return text;
  }
  std::string shown;
  if (result.vt == VT_BSTR) {
    const auto text = lib.Take(result.bstrVal);
    shown = text ? JsonString(std::u16string_view(*text)) : "null";
  } else if (result.vt == VT_I4) {
    shown = std::to_string(result.lVal);
  } else {
    return "{\"error\": \"unexpected result type " + std::to_string(result.vt) + "\"}";
  }
  LONG code = 0, capi = 0;
  api->GetErrorCode(&code);
  api->GetCapiErrorCode(&capi);
  return "{\"result\": " + shown + ", \"code\": " + std::to_string(code) +
         ", \"capi\": " + std::to_string(capi) + "}";
}

int Run() {
  ComClient lib;
  // Late binding needs the type library's registration, as on a machine where the server is
  // installed.
  if (lib.registerServer() != S_OK) {
    std::cerr << "DllRegisterServer failed\n";
    return 1;
  }
  {
    ComPtr<IZYQapi> api = lib.Create();
    std::string line;
    while (std::getline(std::cin, line)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      std::string why;
      const auto values = cli::ParseJsonArray(line, &why);
      std::cout << (values ? Answer(lib, api.get(), *values)
                           : "{\"error\": " + JsonString(why) + "}")
                << std::endl;
    }
  }
  return lib.canUnloadNow() == S_OK ? 0 : 1;
}

}  // namespace
}  // namespace zyq::test

int main() {
  try {
    return zyq::test::Run();
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
