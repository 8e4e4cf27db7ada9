// zyqsec native-host: the component behind a browser extension, over the browsers' native
// messaging protocol (cli/NativeFrames.h). A browser starts one host process for each port its
// extension opens, so each connection has the process-wide engine to itself.
//
// Request: {"id": any, "origin": "https://...", "op": "SignPkcs7", "args": [...]}
// Answer:  {"id": the same, "result": text, integer or null, "code": int, "capi": int,
//           "message": text}
//
// "origin" is the page's origin as the extension got it from the browser. The first request
// fixes the connection's origin; a request naming another is refused. Operations run only for
// origins on the allow-list (cli/OriginPolicy.h), as their class permits
// (cli/OperationClasses.h); GetVersion runs for every origin. Dialogs shown while a request
// runs name the origin (ZYQSEC_PAGE_ORIGIN).
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/OriginPolicy.h"

namespace zyq::cli {

// The host's own result codes, beside the engine's.
namespace host_code {
inline constexpr int32_t kOriginRefused = 9001;     // origin not allowed this class of operation
inline constexpr int32_t kHostOnly = 9002;          // never reachable from a page
inline constexpr int32_t kUnknownOperation = 9003;  // no such operation
inline constexpr int32_t kBadRequest = 9004;        // not a well-formed request
inline constexpr int32_t kTooLarge = 9005;          // request or answer over the frame limits
inline constexpr int32_t kOriginChanged = 9006;     // another origin than the connection's
inline constexpr int32_t kDemoRefused = 9007;       // the demonstration authority refused
}  // namespace host_code

// The operation that only the host offers: the demonstration authority.
inline constexpr const char* kDemoIssueOperation = "DemoIssue";

// Answers frames until the input ends. Returns 0 when it ended between frames, 1 when a frame
// was cut short or too large (answered, then the connection ends).
int RunNativeHost(std::istream& in, std::ostream& out, const OriginPolicy& policy);

// `zyqsec native-host [caller...]`: the host on standard input and output with the allow-lists
// of this machine. The browser's arguments (the caller's identity) are not needed.
int RunNativeHostCommand(const std::vector<std::string>& args);

}  // namespace zyq::cli
