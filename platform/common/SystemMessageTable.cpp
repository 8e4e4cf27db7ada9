// The project's own table of English system messages for the error codes the component
// produces, as the Windows message tables publish them (FormatMessage appends CR LF).
#include <algorithm>
#include <iterator>

#include "platform/common/SystemMessageTable.h"

namespace zyq::platform::common {
namespace {

struct Message {
  SysError code;
  const char* text;
};

// Sorted by code.
constexpr Message kMessages[] = {
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {13, "The data is invalid."},
    {14, "Not enough memory resources are available to complete this operation."},
    {24, "The program issued a command but the command length is incorrect."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {33,
     "The process cannot access the file because another process has locked a portion of the "
     "file."},
    {39, "The disk is full."},
    {50, "The request is not supported."},
    {53, "The network path was not found."},
    {80, "The file exists."},
    {86, "The specified network password is not correct."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {161, "The specified path is invalid."},
    {170, "The requested resource is in use."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {223, "The file size exceeds the limit allowed and cannot be saved."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {267, "The directory name is invalid."},
    {1004, "Invalid flags."},
    {1015,
     "The registry is corrupted. The structure of one of the files containing registry data "
     "is corrupted, or the system's memory image of the file is corrupted, or the file "
     "could not be recovered because the alternate copy or log was absent or corrupted."},
    {1016,
     "An I/O operation initiated by the registry failed unrecoverably. The registry could "
     "not read in, or write out, or flush, one of the files that contain the system's image "
     "of the registry."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1062, "The service has not been started."},
    {1117, "The request could not be performed because of an I/O device error."},
    {1223, "The operation was canceled by the user."},
    {1312, "A specified logon session does not exist. It may already have been terminated."},
    {1326, "The user name or password is incorrect."},
    {0x80004005, "Unspecified error"},
    {0x8007000E, "Not enough memory resources are available to complete this operation."},
    {0x80070057, "The parameter is incorrect."},
    {0x80090001, "Bad UID."},
    {0x80090002, "Bad Hash."},
    {0x80090003, "Bad Key."},
    {0x80090004, "Bad Length."},
    {0x80090005, "Bad Data."},
    {0x80090006, "Invalid Signature."},
    {0x80090008, "Invalid algorithm specified."},
    {0x80090009, "Invalid flags specified."},
    {0x8009000A, "Invalid type specified."},
    {0x8009000B, "Key not valid for use in specified state."},
    {0x8009000D, "Key does not exist."},
    {0x8009000E, "Insufficient memory available for the operation."},
    {0x8009000F, "Object already exists."},
    {0x80090010, "Access denied."},
    {0x80090011, "Object was not found."},
    {0x80090013, "Invalid provider specified."},
    {0x80090014, "Invalid provider type specified."},
    {0x80090016, "Keyset does not exist"},
    {0x80090017, "Provider type not defined."},
    {0x80090019, "The keyset is not defined."},
    {0x8009001A, "Keyset as registered is invalid."},
    {0x8009001E, "Provider DLL could not be found."},
    {0x8009001F, "The Keyset parameter is invalid."},
    {0x80090020, "An internal error occurred."},
    {0x80090027, "The parameter is incorrect."},
    {0x80090028, "The buffer supplied to a function was too small."},
    {0x80090029, "The requested operation is not supported."},
    {0x80091001, "An error occurred while performing an operation on a cryptographic message."},
    {0x80091002, "Unknown cryptographic algorithm."},
    {0x80091004, "Invalid cryptographic message type."},
    {0x80091005, "Unexpected cryptographic message encoding."},
    {0x80092002, "An error occurred during encode or decode operation."},
    {0x80092003, "An error occurred while reading or writing to a file."},
    {0x80092004, "Cannot find object or property."},
    {0x80092005, "The object or property already exists."},
    {0x80092006, "No provider was specified for the store or object."},
    {0x80092007, "The specified certificate is self signed."},
    {0x80092008, "The previous certificate or CRL context was deleted."},
    {0x80092009, "Cannot find the requested object."},
    {0x8009200A, "The certificate does not have a property that references a private key."},
    {0x8009200B, "Cannot find the certificate and private key for decryption."},
    {0x8009200C, "Cannot find the certificate and private key to use for decryption."},
    {0x8009200D, "Cannot find the signer certificate."},
    {0x8009200E, "Cannot find the signer certificate."},
    {0x80092010, "The certificate is revoked."},
    {0x80092023,
     "The string contains an invalid X500 name attribute key, oid, value or delimiter."},
    {0x80093100, "ASN1 Certificate encode/decode error code base."},
    {0x80093102, "ASN1 unexpected end of data."},
    {0x80093103, "ASN1 corrupted data."},
    {0x80093104, "ASN1 value too large."},
    {0x8009310B, "ASN1 bad tag value met."},
    {0x80093201, "ASN1 bad arguments to function call."},
    {0x80096002, "The certificate for the signer of the message is invalid or not found."},
    {0x800B0101,
     "A required certificate is not within its validity period when verifying "
     "against the current system clock or the timestamp in the signed file."},
    {0x800B0109,
     "A certificate chain processed, but terminated in a root certificate which is "
     "not trusted by the trust provider."},
    {0x800B010A, "A certificate chain could not be built to a trusted root authority."},
    {0x8010006B, "The card cannot be accessed because the wrong PIN was presented."},
    {0x8010006C,
     "The card cannot be accessed because the maximum number of PIN entry attempts "
     "has been reached."},
    {0x8010006E, "The action was canceled by the user."},
};

}  // namespace

std::string PublishedSystemMessage(SysError code) {
  const auto* end = std::end(kMessages);
  const auto* it = std::lower_bound(std::begin(kMessages), end, code,
                                    [](const Message& m, SysError c) { return m.code < c; });
  if (it == end || it->code != code) return std::string();
  return std::string(it->text) + "\r\n";
}

}  // namespace zyq::platform::common
