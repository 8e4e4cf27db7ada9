// The vector fast path of the Base64 decoder: runs of 32 alphabet characters at a time.
#pragma once

namespace zyq::codec {

// Decodes runs of 32 characters of the standard alphabet from *p, 24 bytes each to *out, while
// at least 32 characters are left before end and a 32-byte store at *out ends at or before
// outLimit. Stops before the first run that holds any other character (padding, line breaks,
// foreign characters), which the caller's walk decodes; *p and *out are left after the last run
// decoded. Does nothing unless UseAvx2Bmi2().
void DecodeBase64Runs(const unsigned char** p, const unsigned char* end, unsigned char** out,
                      const unsigned char* outLimit);

}  // namespace zyq::codec
