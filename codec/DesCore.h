// The DES block cipher (FIPS 46-3) and the CBC loops that DesCipher runs over whole blocks,
// for single DES (one key schedule) and DES-EDE (three schedules applied in turn).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zyq::codec {

// The 16 round keys of one DES key, in the order a direction applies them. Each round key's
// eight 6-bit pieces are packed the way the round function reads the expanded half-block: the
// pieces for S-boxes 1, 7, 5, 3 in the bytes of odd[], those for 2, 8, 6, 4 in even[].
struct DesKeySchedule {
  std::uint32_t odd[16];
  std::uint32_t even[16];
};

// Builds the schedule of the 8-byte key (parity bits ignored) for encryption, or with
// reverse = true the decryption schedule (the same round keys in reverse order).
void DesMakeSchedule(const unsigned char key[8], bool reverse, DesKeySchedule* schedule);

// CBC over count whole 8-byte blocks with schedules[0..stages-1] applied in turn to each block
// (stages is 1 for DES, 3 for DES-EDE). chain holds the chaining value and is updated. in and
// out may be the same buffer.
void DesCbcEncrypt(const DesKeySchedule* schedules, int stages, unsigned char chain[8],
                   const unsigned char* in, unsigned char* out, std::size_t count);
void DesCbcDecrypt(const DesKeySchedule* schedules, int stages, unsigned char chain[8],
                   const unsigned char* in, unsigned char* out, std::size_t count);

}  // namespace zyq::codec
