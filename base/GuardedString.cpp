#include "base/GuardedString.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "base/FailFast.h"

namespace mw {

const wchar_t EmptyText[1] = {L'\0'};

namespace {

constexpr std::uint32_t DefaultGrowBy = 64;
constexpr std::uint32_t LargeStringUnits = 1024;
constexpr std::uint64_t LargestBlock = UINT32_MAX;

std::byte* BlockOf(const wchar_t* text) {
  return reinterpret_cast<std::byte*>(const_cast<wchar_t*>(text)) - TextOffset;
}

// Frame words need not be aligned once pointers are 8 bytes wide.
std::uint32_t ReadWord(const void* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

void WriteWord(void* at, std::uint32_t word) { std::memcpy(at, &word, sizeof word); }

std::uint32_t MeasureLength(const wchar_t* text) {
  if (text == nullptr) return 0;
  const std::size_t length = std::wcslen(text);
  if (length >= MeasureText) FailFast();
  return static_cast<std::uint32_t>(length);
}

bool PointsInto(const wchar_t* pointer, const wchar_t* first, std::uint32_t units) {
  const auto address = reinterpret_cast<std::uintptr_t>(pointer);
  const auto begin = reinterpret_cast<std::uintptr_t>(first);
  return address >= begin && address <= begin + std::uintptr_t{units} * sizeof(wchar_t);
}

}  // namespace

String::String(const wchar_t* text) {
  if (!Assign(text, MeasureText)) FailFast();
  CheckGuards();
}

String::String(const String& other) { *this = other; }

String::~String() { Release(); }

String& String::operator=(const wchar_t* text) {
  if (text == GetText()) return *this;
  if (!Assign(text, MeasureText)) FailFast();
  CheckGuards();
  return *this;
}

String& String::operator=(const String& other) {
  if (&other == this) return *this;
  const wchar_t* source = EmptyText;
  std::uint32_t count = 0;
  if (const StringHeader* otherHeader = other.Header()) {
    other.CheckGuards();
    source = other.Text;
    count = otherHeader->Length;
  }
  if (!Assign(source, count)) FailFast();
  CheckGuards();
  return *this;
}

String& String::MoveFrom(String& other) {
  if (&other == this) return *this;
  const StringHeader* header = Header();
  const IMemMgr* manager = header != nullptr ? header->Manager : &StringMemMgr::Instance();
  const StringHeader* otherHeader = other.Header();
  // Storage lent by its owner (a path string's inline block or header) must
  // stay with that owner, so only fully owned storage changes hands.
  if (otherHeader != nullptr && otherHeader->Manager == manager && otherHeader->OwnsBlock &&
      otherHeader->OwnsHeader) {
    GiveUpStorage();
    Text = other.Text;
    other.Text = nullptr;
    return *this;
  }
  return *this = other;
}

bool String::SetCapacity(std::uint32_t newCapacity) {
  // A byte size that would wrap around is an allocation failure, never a small block.
  if (BlockSize(newCapacity) > LargestBlock) return false;
  const auto size = static_cast<std::size_t>(BlockSize(newCapacity));

  StringHeader* header = Header();
  StringHeader* newHeader = nullptr;
  std::byte* ownedBlock = nullptr;
  const std::byte* borrowedBlock = nullptr;
  std::size_t oldSize = 0;
  if (header != nullptr) {
    if (header->OwnsBlock) {
      ownedBlock = BlockOf(Text);
    } else {
      borrowedBlock = BlockOf(Text);
    }
    oldSize = static_cast<std::size_t>(BlockSize(header->Capacity));
  } else {
    IMemMgr& stringManager = StringMemMgr::Instance();
    newHeader = static_cast<StringHeader*>(stringManager.Allocate(sizeof(StringHeader)));
    if (newHeader == nullptr) return false;
    *newHeader = StringHeader{&stringManager, 0, 0, DefaultGrowBy, 0, 1};
    header = newHeader;
  }

  IMemMgr& manager = *header->Manager;
  auto* block = static_cast<std::byte*>(manager.Reallocate(ownedBlock, size));
  if (block == nullptr) {
    block = static_cast<std::byte*>(manager.Allocate(size));
    if (block == nullptr) {
      if (newHeader != nullptr) manager.Free(newHeader);
      return false;
    }
    if (ownedBlock != nullptr) {
      std::memcpy(block, ownedBlock, std::min(size, oldSize));
      manager.Free(ownedBlock);
    } else {
      std::memset(block, 0, size);
    }
  } else if (ownedBlock == nullptr) {
    std::memset(block, 0, size);
  }
  if (borrowedBlock != nullptr) std::memcpy(block, borrowedBlock, std::min(size, oldSize));

  Text = WriteFrame(block, header, newCapacity);
  header->Capacity = newCapacity;
  header->OwnsBlock = 1;
  if (header->Length > newCapacity) header->Length = newCapacity;
  return true;
}

bool String::Reserve(std::uint32_t needed) {
  const StringHeader* header = Header();
  const std::uint32_t capacity = header != nullptr ? header->Capacity : 0;
  const std::uint32_t step = header != nullptr ? header->GrowBy : DefaultGrowBy;
  if (capacity >= needed && capacity != 0) return true;

  // Amortised growth: at least the step, doubling while small, then 1024 at a time.
  std::uint32_t grow = std::max(needed - capacity, step);
  grow = std::max(grow, capacity < LargeStringUnits ? capacity : LargeStringUnits);
  const std::uint64_t newCapacity = std::uint64_t{capacity} + grow;
  if (newCapacity > UINT32_MAX) return false;
  return SetCapacity(static_cast<std::uint32_t>(newCapacity));
}

wchar_t* String::GetBuffer(std::uint32_t needed) {
  if (needed != MeasureText && !Reserve(needed)) FailFast();
  if (Text == nullptr && !SetCapacity(DefaultGrowBy)) FailFast();
  return Text;
}

void String::ReleaseBuffer(std::uint32_t length) {
  StringHeader* header = Header();
  if (header == nullptr) return;
  if (length == MeasureText) {
    // Bounded, so a text that overran its buffer is caught rather than read past.
    length = static_cast<std::uint32_t>(wcsnlen(Text, std::size_t{header->Capacity} + 1));
  }
  if (length > header->Capacity) FailFast();
  SetLength(length);
  CheckGuards();
}

bool String::Assign(const wchar_t* text, std::uint32_t count) {
  if (text == nullptr) {
    count = 0;
  } else if (count == MeasureText) {
    count = MeasureLength(text);
  }
  if (!Reserve(count)) return false;
  if (Header()->Capacity < count) FailFast();
  if (count != 0) std::memmove(Text, text, std::size_t{count} * sizeof(wchar_t));
  SetLength(count);
  return true;
}

void String::Append(const wchar_t* text, std::uint32_t count) {
  if (text == nullptr) return;
  if (count == MeasureText) count = MeasureLength(text);
  if (count == 0) return;
  const std::uint32_t length = GetLength();
  if (count > UINT32_MAX - 1 - length) FailFast();
  const std::uint32_t newLength = length + count;

  // Appending a piece of this very string: find it again if the block moves.
  const bool ownText = Text != nullptr && PointsInto(text, Text, GetCapacity());
  const std::ptrdiff_t ownOffset = ownText ? text - Text : 0;
  if (!Reserve(newLength)) FailFast();
  if (ownText) text = Text + ownOffset;
  if (Header()->Capacity < newLength) FailFast();

  std::memmove(Text + length, text, std::size_t{count} * sizeof(wchar_t));
  SetLength(newLength);
  CheckGuards();
}

void String::Format(const wchar_t* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  FormatV(format, arguments);
  va_end(arguments);
}

void String::FormatV(const wchar_t* format, std::va_list arguments) {
  if (format != nullptr) {
    std::va_list counting;
    va_copy(counting, arguments);
    const int needed = _vscwprintf(format, counting);
    va_end(counting);
    if (needed >= 0) {
      const auto length = static_cast<std::uint32_t>(needed);
      wchar_t* buffer = GetBuffer(length + 2);
      // The count and the checked formatter may disagree on a format: only
      // what was really written becomes the text.
      if (vswprintf_s(buffer, std::size_t{length} + 1, format, arguments) == needed) {
        ReleaseBuffer(length);
        return;
      }
    }
  }
  // No format, or one the runtime cannot count or write: never hand the
  // formatter a zero-sized buffer, leave the string empty instead.
  MakeEmpty();
}

void String::Release() {
  CheckGuards();
  GiveUpStorage();
}

void String::CheckGuards() const {
  const StringHeader* header = Header();
  if (header == nullptr) return;
  const std::byte* block = BlockOf(Text);
  if (ReadWord(block) != GuardWord || ReadWord(block + GuardSize + sizeof(StringHeader*)) != GuardWord) {
    FailFast();
  }
  if (ReadWord(Text + header->Capacity + 1) != GuardWord) FailFast();
}

std::uint32_t String::GetLength() const {
  const StringHeader* header = Header();
  return header != nullptr ? header->Length : 0;
}

std::uint32_t String::GetCapacity() const {
  const StringHeader* header = Header();
  return header != nullptr ? header->Capacity : 0;
}

StringHeader* String::Header() const {
  if (Text == nullptr) return nullptr;
  StringHeader* header;
  std::memcpy(&header, BlockOf(Text) + GuardSize, sizeof header);
  return header;
}

wchar_t* String::WriteFrame(void* block, StringHeader* header, std::uint32_t capacity) {
  auto* bytes = static_cast<std::byte*>(block);
  WriteWord(bytes, GuardWord);
  std::memcpy(bytes + GuardSize, &header, sizeof header);
  WriteWord(bytes + GuardSize + sizeof header, GuardWord);
  auto* text = reinterpret_cast<wchar_t*>(bytes + TextOffset);
  text[capacity] = L'\0';
  WriteWord(text + capacity + 1, GuardWord);
  return text;
}

void String::GiveUpStorage() {
  if (StringHeader* header = Header()) {
    IMemMgr* manager = header->Manager;
    const bool ownsBlock = header->OwnsBlock != 0;
    const bool ownsHeader = header->OwnsHeader != 0;
    if (ownsBlock) manager->Free(BlockOf(Text));
    if (ownsHeader) manager->Free(header);
    manager->OnRelease();
  }
  Text = nullptr;
}

void String::MakeEmpty() {
  if (!Reserve(0)) FailFast();
  SetLength(0);
  CheckGuards();
}

void String::SetLength(std::uint32_t length) {
  Header()->Length = length;
  Text[length] = L'\0';
}

String operator+(const wchar_t* text, const String& string) {
  String result(text);
  result.Append(string.GetText(), string.GetLength());
  return result;
}

String operator+(const String& string, const wchar_t* text) {
  String result;
  result = string;
  result.Append(text);
  return result;
}

}  // namespace mw
