// The compression functions of the four digests: each folds count whole blocks into the
// chaining values. The plain names choose the fastest code the processor allows; the
// ...Portable forms are plain C++ for any processor; the others may be called only when
// CpuDispatch says the processor has their instructions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zyq::codec {

void Md5Compress(std::uint32_t state[4], const unsigned char* blocks, std::size_t count);
void Md5CompressPortable(std::uint32_t state[4], const unsigned char* blocks, std::size_t count);

void Sha1Compress(std::uint32_t state[5], const unsigned char* blocks, std::size_t count);
void Sha1CompressPortable(std::uint32_t state[5], const unsigned char* blocks, std::size_t count);
void Sha1CompressShaExtensions(std::uint32_t state[5], const unsigned char* blocks,
                               std::size_t count);

void Sha256Compress(std::uint32_t state[8], const unsigned char* blocks, std::size_t count);
void Sha256CompressPortable(std::uint32_t state[8], const unsigned char* blocks, std::size_t count);
void Sha256CompressShaExtensions(std::uint32_t state[8], const unsigned char* blocks,
                                 std::size_t count);

void Sha512Compress(std::uint64_t state[8], const unsigned char* blocks, std::size_t count);
void Sha512CompressPortable(std::uint64_t state[8], const unsigned char* blocks, std::size_t count);
void Sha512CompressAvx2(std::uint64_t state[8], const unsigned char* blocks, std::size_t count);

}  // namespace zyq::codec
