#pragma once

#include <cstddef>
#include <cstdint>

// How scripts/lib/package_format.py attaches the launcher and the patch files
// to this program. Both sides follow this note; a change to it is a new
// format version.
//
//   the program        as linked, stripped: it ends where its last section's
//                      raw data ends (the section table says where)
//   header, 64 bytes   magic "VPKGFMT\x1a", format version (4 bytes),
//                      reserved zero (4), body size (8), SHA-256 of the body
//                      (32), reserved zero (8)
//   body               entries back to back, each: name length (1), name
//                      (ASCII, one of the names below), method (1: 0 stored,
//                      1 zlib stream), stored size (8), extracted size (8),
//                      then the stored bytes
//   padding            zeros up to a multiple of 8 bytes of the whole file
//   signature          the certificate table a signer appends; the PE
//                      security directory says where it starts, and the
//                      payload must end at most 7 bytes before it (a
//                      signer's own alignment)
//
// Numbers are little-endian. The program finds the header from its section
// table and the end from its security directory, never by searching, so a
// signature appended later changes nothing it reads.
namespace PayloadFormat {

inline constexpr unsigned char Magic[8] = {'V', 'P', 'K', 'G', 'F', 'M', 'T', 0x1A};
inline constexpr std::uint32_t Version = 1;
inline constexpr std::size_t HeaderSize = 64;
inline constexpr std::size_t DigestSize = 32;
inline constexpr std::size_t MagicOffset = 0;
inline constexpr std::size_t VersionOffset = 8;
inline constexpr std::size_t BodySizeOffset = 16;
inline constexpr std::size_t DigestOffset = 24;
inline constexpr std::size_t Alignment = 8;

inline constexpr std::size_t EntryFixedSize = 1 + 1 + 8 + 8;  // besides the name
inline constexpr unsigned char Stored = 0;
inline constexpr unsigned char Zlib = 1;

// The only names an entry may have: nothing else is ever written.
inline constexpr const char* LauncherName = "Mendora.Launcher.exe";
inline constexpr const char* PatchName = "patch.rvx";
inline constexpr const char* OldPatchName = "patch.rvx.old";

}  // namespace PayloadFormat
