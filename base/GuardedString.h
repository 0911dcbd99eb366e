#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "base/MemoryManager.h"

namespace mw {

// Frames every string block at both ends and between header pointer and text.
inline constexpr std::uint32_t GuardWord = 0xABCD;

// A count of all ones: measure the text up to its zero terminator.
inline constexpr std::uint32_t MeasureText = 0xFFFFFFFF;

// The text of a null string wherever a C string is needed.
extern const wchar_t EmptyText[1];

struct StringHeader {
  IMemMgr* Manager;
  std::uint32_t Length;
  std::uint32_t Capacity;
  std::uint32_t GrowBy;
  std::uint8_t OwnsBlock;
  std::uint8_t OwnsHeader;
};

// Block: leading guard, header pointer, inner guard, Capacity + 1 text units,
// trailing guard directly after the unit at index Capacity.
inline constexpr std::size_t GuardSize = sizeof(std::uint32_t);
inline constexpr std::size_t TextOffset = GuardSize + sizeof(StringHeader*) + GuardSize;
inline constexpr std::size_t BlockOverhead = TextOffset + sizeof(wchar_t) + GuardSize;

constexpr std::uint64_t BlockSize(std::uint64_t capacity) { return BlockOverhead + capacity * sizeof(wchar_t); }

// UTF-16 text in one guarded heap block. Every count is in UTF-16 units.
// A null string (no block) reads as the empty text. A damaged frame or an
// allocation failure in an operation without a result ends the process.
class String {
 public:
  String() = default;
  String(const wchar_t* text);  // NOLINT: implicit, strings are built from literals everywhere
  String(const String& other);
  ~String();

  String& operator=(const wchar_t* text);
  String& operator=(const String& other);

  // Takes the other string's storage when both use the same manager and the
  // block is its own; otherwise copies.
  String& MoveFrom(String& other);

  bool SetCapacity(std::uint32_t newCapacity);
  bool Reserve(std::uint32_t needed);
  wchar_t* GetBuffer(std::uint32_t needed);
  void ReleaseBuffer(std::uint32_t length = MeasureText);

  bool Assign(const wchar_t* text, std::uint32_t count = MeasureText);
  void Append(const wchar_t* text, std::uint32_t count = MeasureText);
  void Format(const wchar_t* format, ...);
  void FormatV(const wchar_t* format, std::va_list arguments);

  void Release();
  void CheckGuards() const;

  const wchar_t* GetText() const { return Text != nullptr ? Text : EmptyText; }
  std::uint32_t GetLength() const;
  std::uint32_t GetCapacity() const;

 protected:
  StringHeader* Header() const;
  // Writes guards and header pointer into a block of the given capacity and
  // returns where its text begins.
  static wchar_t* WriteFrame(void* block, StringHeader* header, std::uint32_t capacity);

  wchar_t* Text = nullptr;

 private:
  void GiveUpStorage();
  void MakeEmpty();
  void SetLength(std::uint32_t length);
};

String operator+(const wchar_t* text, const String& string);
String operator+(const String& string, const wchar_t* text);

}  // namespace mw
