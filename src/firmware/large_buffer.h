// A byte buffer for whole files and the images converted from them. Its bytes
// are not initialised, and on Linux large buffers ask for huge pages, so that
// filling tens of megabytes costs few page faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace kr35 {

class LargeBuffer {
 public:
  LargeBuffer() = default;
  explicit LargeBuffer(std::size_t size);
  ~LargeBuffer();
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Forgets the bytes past `size` (never grows).
  void Shrink(std::size_t size);
  std::span<std::uint8_t> Span() { return {data_, size_}; }
  std::span<const std::uint8_t> Span() const { return {data_, size_}; }

 private:
  void Release();

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool mapped_ = false;
};

// Reads a whole file into `buffer` (at most `maxBytes`). On failure `error`
// names the file and the reason.
bool ReadFileIntoBuffer(const std::filesystem::path& path, LargeBuffer& buffer, std::string& error,
                        std::size_t maxBytes);

}  // namespace kr35
