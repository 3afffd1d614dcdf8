#pragma once
// SHA-256 (FIPS 180-4), small and self-contained so that every platform build has it
// without another library. What the manifest compares sources by with --checksum, and
// what names a destination's manifest file.

#include "run/util/status.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class Sha256 {
public:
  Sha256();
  void Add(std::string_view bytes);
  void Add(const void* bytes, std::size_t size);
  // The digest of everything added; the object must not be used afterwards.
  std::array<std::uint8_t, 32> Finish();
  // The digest as 64 lowercase hex digits.
  std::string FinishHex();

private:
  void Blocks(const std::uint8_t* blocks, std::size_t count);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes added
};

// Whether the processor's SHA instructions do the work (x86 with SHA extensions); tests
// turn them off to check the portable code on the same machine. True by default.
void UseShaInstructions(bool use);
bool ShaInstructionsInUse();

// The hex digest of `bytes`.
std::string Sha256Hex(std::string_view bytes);

// The hex digest of the file at `path` into `hex`; a file that cannot be read is a
// failure with the path and the call in it.
Status Sha256OfFile(const std::filesystem::path& path, std::string& hex);
