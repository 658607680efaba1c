#include "firmware/large_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <new>
#include <utility>
#include <vector>

#include "firmware/file_io.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kr35 {
namespace {

// Below this, plain heap memory is as good.
constexpr std::size_t kMapThreshold = std::size_t{4} << 20;

}  // namespace

LargeBuffer::LargeBuffer(std::size_t size) : size_(size), capacity_(size) {
  if (size == 0) return;
#if defined(__linux__)
  if (size >= kMapThreshold) {
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory != MAP_FAILED) {
      madvise(memory, size, MADV_HUGEPAGE);  // a hint; fine when refused
      data_ = static_cast<std::uint8_t*>(memory);
      mapped_ = true;
      return;
    }
  }
#endif
  data_ = static_cast<std::uint8_t*>(std::malloc(size));
  if (!data_) throw std::bad_alloc();
}

LargeBuffer::~LargeBuffer() {
  Release();
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void LargeBuffer::Shrink(std::size_t size) {
  if (size < size_) size_ = size;
}

void LargeBuffer::Release() {
  if (!data_) return;
#if defined(__linux__)
  if (mapped_) {
    munmap(data_, capacity_);
    data_ = nullptr;
    return;
  }
#endif
  std::free(data_);
  data_ = nullptr;
}

bool ReadFileIntoBuffer(const std::filesystem::path& path, LargeBuffer& buffer, std::string& error,
                        std::size_t maxBytes) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  std::ifstream in;
  if (!ec && size <= maxBytes && std::filesystem::is_regular_file(path, ec)) {
    in.open(path, std::ios::binary);
  }
  if (!in.is_open()) {
    // Unusual files (missing, unreadable, directories, devices, too large)
    // take the general path, which also says what is wrong with them.
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error, maxBytes)) return false;
    buffer = LargeBuffer(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.data());
    return true;
  }
  buffer = LargeBuffer(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(size));
  buffer.Shrink(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    error = "cannot read \"" + path.string() + "\": read error";
    return false;
  }
  return true;
}

}  // namespace kr35
