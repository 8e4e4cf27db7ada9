// What a web page may ask of the component, operation by operation.
//
//   harmless      reads nothing of the user's and changes nothing outside the connection's own
//                 engine: the version, result codes and messages, digests of given text, the
//                 connection's returned certificate, the providers' names
//   user-consent  uses or changes the user's keys, files or identity: enrollment and its
//                 settings, registration, signing, export and import, password change, the
//                 mobile record, file digests, the machine's names and addresses
//   host-only     the registry helpers and the folder picker: never reachable from a page
#pragma once

#include <string_view>

namespace zyq::cli {

enum class OperationClass { kHarmless, kUserConsent, kHostOnly };

// The class of an operation, by its engine name (GetVersion, SignPkcs7, ...). Names the table
// does not hold are host-only.
OperationClass ClassOf(std::string_view engineName);

// The class's name as the allow-list and the documentation write it.
std::string_view ClassName(OperationClass operationClass);

}  // namespace zyq::cli
