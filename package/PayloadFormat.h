#pragma once

#include <cstddef>
#include <cstdint>

// How scripts/lib/package_format.py attaches the launcher and the patch files
// to this program, and what every reader refuses. The program and the packer
// both follow this note; a change to it is a new format version.
//
//   the program    as linked, stripped, with its seal filled in: the section
//                  named SealSection holds, at its start,
//                    magic "VPKGSEAL" (8), format version (4), reserved
//                    zero (4), payload offset (8), payload size (8),
//                    extracted size (8), SHA-256 of the payload (32)
//                  and zeros after that. A bare program carries only the
//                  magic and the version; the packer fills in the rest
//                  before the package is signed, so the signature covers it.
//   payload        at the payload offset, which is where the program's last
//                  section's raw data ends: the entries back to back, each
//                    name length (1), name (ASCII, one of the names below),
//                    method (1: 0 stored, 1 zlib stream), stored size (8),
//                    extracted size (8), then the stored bytes
//   padding        zeros up to a multiple of 8 bytes of the whole file
//   signature      the certificate table a signer appends; the PE security
//                  directory says where it starts
//
// Numbers are little-endian. The program reads its seal from its own mapped
// image, which nobody can change while it runs, never from the file: the
// file may have been renamed and another put in its place after it started.
// Readers refuse a package unless
//   - the seal has the magic, this version, zero reserved bytes, zeros after
//     the digest, a payload offset equal to the end of the last section and
//     a payload size above zero;
//   - the payload ends within the file (before the signature, when signed),
//     and what follows it there is fewer than 8 zero bytes;
//   - the entries fill the payload exactly, each with a name of the format
//     that no earlier entry has, a known method, stored bytes that fit, and
//     for a stored entry equal stored and extracted sizes;
//   - a zlib entry's stored bytes are one zlib stream that inflates to
//     exactly its extracted size, with nothing after the stream's end;
//   - the extracted sizes add up to the seal's extracted size, and the
//     launcher and patch.rvx are among the entries;
//   - the payload's SHA-256 is the seal's.
namespace PayloadFormat {

inline constexpr std::uint32_t Version = 2;

inline constexpr char SealSection[8] = {'.', 'v', 'p', 'k', 'g', 0, 0, 0};
inline constexpr unsigned char SealMagic[8] = {'V', 'P', 'K', 'G', 'S', 'E', 'A', 'L'};
inline constexpr std::size_t SealMagicOffset = 0;
inline constexpr std::size_t SealVersionOffset = 8;
inline constexpr std::size_t SealReservedOffset = 12;
inline constexpr std::size_t PayloadOffsetOffset = 16;
inline constexpr std::size_t PayloadSizeOffset = 24;
inline constexpr std::size_t ExtractedSizeOffset = 32;
inline constexpr std::size_t DigestOffset = 40;
inline constexpr std::size_t DigestSize = 32;
inline constexpr std::size_t SealSize = DigestOffset + DigestSize;
// The section's size: the room the packer may fill; the rest stays zero.
inline constexpr std::size_t SealSectionSize = 512;
inline constexpr std::size_t Alignment = 8;

inline constexpr std::size_t EntryFixedSize = 1 + 8 + 8;  // after the name
inline constexpr unsigned char Stored = 0;
inline constexpr unsigned char Zlib = 1;

// The only names an entry may have: nothing else is ever written.
inline constexpr const char* LauncherName = "Mendora.Launcher.exe";
inline constexpr const char* PatchName = "patch.rvx";
inline constexpr const char* OldPatchName = "patch.rvx.old";

}  // namespace PayloadFormat
