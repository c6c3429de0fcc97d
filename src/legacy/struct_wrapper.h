// The base of every record wrapper: one C record held by value, plus the
// storage its pointer fields refer to (owned by the derived wrapper).
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tavik {

// Owned text behind a char* field; present texts are never empty.
using OwnedText = std::optional<std::string>;
// Owned byte array behind a pointer field; present arrays are never empty.
using OwnedBytes = std::optional<std::vector<unsigned char>>;

// TRecord is the record as laid out for the module or host; TPointer is the
// pointer type it is handed over as (for a versioned record, a pointer to the
// unversioned name). Pointer fields of the record are valid only after
// UpdatePointers() ran on the wrapper at its final place: copying or moving a
// wrapper copies the record bytes, which still point into the source.
template <typename TRecord, typename TPointer>
class CStructWrapperBase {
  static_assert(std::is_trivially_copyable_v<TRecord>, "records are plain C layouts");

 public:
  using Record = TRecord;
  using Pointer = TPointer;

  // The record is zero-filled, padding included, so the module sees no stale bytes.
  CStructWrapperBase() noexcept { std::memset(&record_, 0, sizeof(TRecord)); }
  explicit CStructWrapperBase(const TRecord& record) noexcept {
    std::memcpy(&record_, &record, sizeof(TRecord));
  }
  virtual ~CStructWrapperBase() = default;

  // Byte copies keep padding bytes as they were (member-wise copy may not).
  CStructWrapperBase(const CStructWrapperBase& other) noexcept {
    std::memcpy(&record_, &other.record_, sizeof(TRecord));
  }
  CStructWrapperBase& operator=(const CStructWrapperBase& other) noexcept {
    if (this != &other) std::memmove(&record_, &other.record_, sizeof(TRecord));
    return *this;
  }
  CStructWrapperBase(CStructWrapperBase&& other) noexcept : CStructWrapperBase(other) {}
  CStructWrapperBase& operator=(CStructWrapperBase&& other) noexcept {
    return *this = static_cast<const CStructWrapperBase&>(other);
  }

  // Stores the addresses of the owned storage into the record's pointer fields.
  virtual void UpdatePointers() {}

  TPointer Get() noexcept { return reinterpret_cast<TPointer>(&record_); }

  const TRecord& record() const noexcept { return record_; }

 protected:
  TRecord& mutable_record() noexcept { return record_; }

  // An empty range makes the text absent.
  static void AssignText(OwnedText& text, std::string_view value) {
    if (value.empty()) {
      text.reset();
    } else {
      text.emplace(value);
    }
  }
  // An empty range makes the array absent.
  static void AssignBytes(OwnedBytes& bytes, std::span<const unsigned char> value) {
    if (value.empty()) {
      bytes.reset();
    } else {
      bytes.emplace(value.begin(), value.end());
    }
  }
  // Writes the range's length into `size` first; only a positive length is owned.
  static void AssignTextWithSize(OwnedText& text, std::int32_t& size, std::string_view value) {
    size = static_cast<std::int32_t>(value.size());
    AssignText(text, size > 0 ? value : std::string_view());
  }
  static void AssignBytesWithSize(OwnedBytes& bytes, std::int32_t& size,
                                  std::span<const unsigned char> value) {
    size = static_cast<std::int32_t>(value.size());
    AssignBytes(bytes, size > 0 ? value : std::span<const unsigned char>());
  }

  // Absent members leave their pointer field as it is.
  static void Link(OwnedText& text, char*& field) noexcept {
    if (text) field = text->data();
  }
  template <typename TField>
  static void Link(OwnedBytes& bytes, TField*& field) noexcept {
    if (bytes) field = reinterpret_cast<TField*>(bytes->data());
  }
  template <typename TNested, typename TField>
  static void Link(std::optional<TNested>& nested, TField*& field) {
    if (!nested) return;
    nested->UpdatePointers();
    field = reinterpret_cast<TField*>(nested->Get());
  }

 private:
  TRecord record_;
};

}  // namespace tavik
