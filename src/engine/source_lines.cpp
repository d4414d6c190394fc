#include "engine/source_lines.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tv {

namespace {

constexpr char kEndOfFile = 0x1A;

// Cuts `len` at the first end-of-file byte; true when one was found.
bool CutAtEndMark(const char* data, size_t& len) {
  const void* mark = std::memchr(data, kEndOfFile, len);
  if (mark == nullptr) return false;
  len = static_cast<size_t>(static_cast<const char*>(mark) - data);
  return true;
}

// Counts line feeds in [p, p + n).
uint64_t CountLineFeeds(const char* p, size_t n) {
  uint64_t count = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i nl = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  while (n - i >= 16) {
    // Up to 255 blocks add into 8-bit lanes before the lanes are summed.
    size_t blocks = (n - i) / 16;
    if (blocks > 255) blocks = 255;
    __m128i acc = _mm_setzero_si128();
    for (size_t b = 0; b < blocks; ++b, i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(v, nl));
    }
    __m128i sums = _mm_sad_epu8(acc, zero);
    count += static_cast<uint64_t>(_mm_cvtsi128_si64(sums)) +
             static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; i < n; ++i) count += p[i] == '\n';
  return count;
}

// Shared by the file and memory counts: counts the lines of consecutive
// chunks. `last` remembers the last byte seen, to tell whether a final line
// without a line feed follows.
struct LineCounter {
  uint64_t lines = 0;
  bool partial = false;  // bytes seen after the last line feed

  // Returns false once the end-of-file byte was met.
  bool Add(const char* data, size_t len) {
    bool ended = CutAtEndMark(data, len);
    if (len > 0) {
      lines += CountLineFeeds(data, len);
      partial = data[len - 1] != '\n';
    }
    return !ended;
  }
  uint64_t Finish() const { return lines + (partial ? 1 : 0); }
};

}  // namespace

SourceLineReader::SourceLineReader(size_t buffer_size)
    : buffer_size_(buffer_size < 16 ? 16 : buffer_size) {}

bool SourceLineReader::Open(const std::string& path) {
  carry_.clear();
  carry_given_ = false;
  pos_ = end_ = nullptr;
  at_end_ = true;
  if (!file_.Open(path)) return false;
  if (!buffer_) buffer_.reset(new char[buffer_size_]);  // left uninitialised on purpose
  at_end_ = false;
  return true;
}

void SourceLineReader::OpenText(std::string_view text) {
  file_.Close();
  carry_.clear();
  carry_given_ = false;
  size_t len = text.size();
  CutAtEndMark(text.data(), len);
  pos_ = text.data();
  end_ = pos_ + len;
  at_end_ = true;
}

bool SourceLineReader::Refill() {
  if (at_end_) return false;
  size_t n = file_.Read(buffer_.get(), buffer_size_);
  if (n == 0 || CutAtEndMark(buffer_.get(), n)) {
    at_end_ = true;
    file_.Close();
  }
  pos_ = buffer_.get();
  end_ = pos_ + n;
  return n > 0 || !at_end_;
}

bool SourceLineReader::ReadSourceLine(std::string_view& line) {
  if (carry_given_) {
    carry_.clear();
    carry_given_ = false;
  }
  for (;;) {
    if (pos_ != end_) {
      const char* nl = static_cast<const char*>(std::memchr(pos_, '\n', end_ - pos_));
      if (nl != nullptr) {
        const char* start = pos_;
        pos_ = nl + 1;
        if (carry_.empty()) {
          size_t len = nl - start;
          if (len > 0 && start[len - 1] == '\r') --len;
          line = std::string_view(start, len);
          return true;
        }
        carry_.append(start, nl);
        if (carry_.back() == '\r') carry_.pop_back();
        carry_given_ = true;
        line = carry_;
        return true;
      }
      carry_.append(pos_, end_);
      pos_ = end_;
    }
    if (!Refill()) break;
  }
  if (carry_.empty()) return false;
  carry_given_ = true;
  line = carry_;
  return true;
}

uint64_t CountFileLines(const std::string& path, const std::atomic<int>* abort) {
  FileReader file;
  if (!file.Open(path)) return 0;
  constexpr size_t kChunk = 128 * 1024;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  LineCounter counter;
  for (;;) {
    if (abort != nullptr && abort->load(std::memory_order_relaxed) != 0) break;
    size_t n = file.Read(buffer.get(), kChunk);
    if (n == 0 || !counter.Add(buffer.get(), n)) break;
  }
  return counter.Finish();
}

uint64_t CountTextLines(std::string_view text) {
  LineCounter counter;
  counter.Add(text.data(), text.size());
  return counter.Finish();
}

}  // namespace tv
