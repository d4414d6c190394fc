#include "engine/count.h"

#include <cstring>
#include <memory>
#include <utility>

#include "engine/classifiers.h"
#include "platform/file_reader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tv {

namespace {

constexpr char kEndOfFile = 0x1A;

void ApplyTimes(LineClass c, uint64_t n, FileTally& t) {
  switch (c) {
    case LineClass::Blank:
      t.blank += n;
      break;
    case LineClass::Code:
      t.code += n;
      break;
    case LineClass::Comment:
      t.comment += n;
      break;
    case LineClass::CodeAndComment:
      t.code += n;
      t.comment += n;
      break;
    case LineClass::DoubleCodeAndComment:
      t.code += 2 * n;
      t.comment += n;
      break;
  }
}

// Splits text into lines exactly as the source line reader does and hands
// them to a classifier. Most lines hold none of the classifier's marker
// bytes: such a line, when it is not blank, gets the class the classifier's
// current state gives every plain line and changes no state, so these lines
// are only counted, a block of 64 bytes at a time, and the classifier sees
// the others.
template <class Classifier>
class BulkCounter {
 public:
  BulkCounter(CodePage cp, FileTally& tally) : classifier_(cp), tally_(tally) {}

  /// Counts the next bytes of the file (already cut at an end-of-file byte).
  void Feed(const char* p, size_t n) {
    if (n == 0) return;
    size_t pos = 0;
    if (!carry_.empty()) {
      const void* nl = std::memchr(p, '\n', n);
      if (nl == nullptr) {
        carry_.append(p, n);
        return;
      }
      pos = static_cast<size_t>(static_cast<const char*>(nl) - p);
      carry_.append(p, pos);
      LineEndingInFeed(carry_);
      carry_.clear();
      ++pos;
    }
    const void* last = pos < n ? ::memrchr(p + pos, '\n', n - pos) : nullptr;
    if (last == nullptr) {
      carry_.assign(p + pos, n - pos);
      return;
    }
    const size_t end = static_cast<size_t>(static_cast<const char*>(last) - p) + 1;
    CompleteLines(p + pos, end - pos);
    carry_.assign(p + end, n - end);
  }

  /// The last line, which has no line feed, and the plain lines not yet added.
  void Finish() {
    if (!carry_.empty()) Classify(carry_);
    carry_.clear();
    FlushPlain();
  }

  /// Adds the plain lines counted so far to the tally.
  void FlushPlain() {
    if (plain_ == 0) return;
    ApplyTimes(classifier_.PlainLine(), plain_, tally_);
    tally_.total += plain_;
    plain_ = 0;
  }

 private:
  void Classify(std::string_view line) {
    FlushPlain();
    Apply(classifier_.Classify(line), tally_);
    ++tally_.total;
  }

  // A line that ended at a line feed: a carriage return before it goes too.
  void LineEndingInFeed(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Classify(line);
  }

  static bool IsMarker(char c) {
    for (const char* m = Classifier::kMarkers; *m != '\0'; ++m) {
      if (c == *m) return true;
    }
    return false;
  }

#if defined(__SSE2__)
  static constexpr size_t kMarkerCount = sizeof(Classifier::kMarkers) - 1;

  // 0xFF in every byte of v that is one of the marker bytes.
  template <size_t... I>
  static __m128i MarkerBytes(__m128i v, std::index_sequence<I...>) {
    __m128i m = _mm_setzero_si128();
    ((m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8(Classifier::kMarkers[I])))), ...);
    return m;
  }

  // Bit i of each mask speaks of byte i of the 64 bytes at p: a line feed, a
  // marker byte, a byte above the space (which no trim removes).
  static void Masks(const char* p, uint64_t& nl, uint64_t& marker, uint64_t& content) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i above_space = _mm_set1_epi8(0x21);
    nl = marker = content = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      const __m128i m = MarkerBytes(v, std::make_index_sequence<kMarkerCount>{});
      // Bytes above the space; a line whose other bytes are all blanks or
      // control characters is left to the classifier, which trims exactly.
      const __m128i printable = _mm_cmpeq_epi8(_mm_max_epu8(v, above_space), v);
      const int shift = 16 * k;
      nl |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))))
            << shift;
      marker |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(m))) << shift;
      content |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(printable)))
                 << shift;
    }
  }
#else
  static void Masks(const char* p, uint64_t& nl, uint64_t& marker, uint64_t& content) {
    nl = marker = content = 0;
    for (int i = 0; i < 64; ++i) {
      const char c = p[i];
      nl |= static_cast<uint64_t>(c == '\n') << i;
      marker |= static_cast<uint64_t>(IsMarker(c)) << i;
      content |= static_cast<uint64_t>(static_cast<unsigned char>(c) > ' ') << i;
    }
  }
#endif

  // Lines that all end in a line feed: [p, p + n) with p[n - 1] == '\n'.
  void CompleteLines(const char* p, size_t n) {
    const char* line_start = p;
    bool has_marker = false;
    bool has_content = false;
    char tail[64];
    for (size_t i = 0; i < n; i += 64) {
      const char* block = p + i;
      if (n - i < 64) {
        // The last bytes, padded with blanks that belong to no line.
        std::memset(tail, ' ', sizeof tail);
        std::memcpy(tail, block, n - i);
        block = tail;
      }
      uint64_t nl, marker, content;
      Masks(block, nl, marker, content);
      unsigned from = 0;  // where the current line's bytes begin in this block
      while (nl != 0) {
        const unsigned b = static_cast<unsigned>(__builtin_ctzll(nl));
        const uint64_t below = (uint64_t{1} << b) - 1;
        const uint64_t segment = below & ~((uint64_t{1} << from) - 1);
        has_marker |= (marker & segment) != 0;
        has_content |= (content & segment) != 0;
        const char* end = p + i + b;
        if (!has_marker && has_content) {
          ++plain_;
        } else {
          LineEndingInFeed(std::string_view(line_start, static_cast<size_t>(end - line_start)));
        }
        line_start = end + 1;
        has_marker = has_content = false;
        from = b + 1;
        nl &= nl - 1;
      }
      if (from < 64) {
        const uint64_t segment = ~uint64_t{0} << from;
        has_marker |= (marker & segment) != 0;
        has_content |= (content & segment) != 0;
      }
    }
  }

  Classifier classifier_;
  FileTally& tally_;
  uint64_t plain_ = 0;
  std::string carry_;  // the start of a line that goes on in the next bytes
};

template <class Classifier>
void CountStream(FileReader* file, std::string_view text, FileTally& tally, CodePage cp,
                 std::atomic<uint64_t>* progress, const std::atomic<int>* abort = nullptr) {
  BulkCounter<Classifier> counter(cp, tally);
  uint64_t published = 0;
  auto publish = [&] {
    if (progress == nullptr) return;
    counter.FlushPlain();
    progress->fetch_add(tally.total - published, std::memory_order_relaxed);
    published = tally.total;
  };
  if (file == nullptr) {
    const void* mark = std::memchr(text.data(), kEndOfFile, text.size());
    if (mark != nullptr) text = text.substr(0, static_cast<const char*>(mark) - text.data());
    counter.Feed(text.data(), text.size());
  } else {
    constexpr size_t kChunk = 128 * 1024;
    std::unique_ptr<char[]> buffer(new char[kChunk]);  // left uninitialised on purpose
    for (;;) {
      // Once per chunk, never per line: the loop below stays as fast as before.
      if (abort != nullptr && abort->load(std::memory_order_relaxed) != 0) break;
      size_t n = file->Read(buffer.get(), kChunk);
      if (n == 0) break;
      const void* mark = std::memchr(buffer.get(), kEndOfFile, n);
      if (mark != nullptr) n = static_cast<size_t>(static_cast<const char*>(mark) - buffer.get());
      counter.Feed(buffer.get(), n);
      publish();
      if (mark != nullptr) break;
    }
  }
  counter.Finish();
  publish();
}

template <class Classifier>
void CountPath(const std::string& path, FileTally& tally, RunTotals& totals,
               const CountOptions& options) {
  tally = FileTally{};
  FileReader file;
  if (!file.Open(path)) return;
  CountStream<Classifier>(&file, {}, tally, options.code_page, options.progress, options.abort);
  tally.read_error = file.error();
  totals.Add(tally);
}

}  // namespace

void CountCFamilyFile(const std::string& path, FileTally& tally, RunTotals& totals,
                      const CountOptions& options) {
  CountPath<CFamilyClassifier>(path, tally, totals, options);
}

void CountJavaFile(const std::string& path, FileTally& tally, RunTotals& totals,
                   const CountOptions& options) {
  CountCFamilyFile(path, tally, totals, options);
}

void CountSqlFile(const std::string& path, FileTally& tally, RunTotals& totals,
                  const CountOptions& options) {
  CountPath<SqlClassifier>(path, tally, totals, options);
}

void CountPascalFile(const std::string& path, FileTally& tally, RunTotals& totals,
                     const CountOptions& options) {
  CountPath<PascalClassifier>(path, tally, totals, options);
}

void CountBasicFile(const std::string& path, FileTally& tally, RunTotals& totals,
                    const CountOptions& options) {
  CountPath<BasicClassifier>(path, tally, totals, options);
}

void CountAsmFile(const std::string& path, FileTally& tally, RunTotals& totals,
                  const CountOptions& options) {
  CountPath<AsmClassifier>(path, tally, totals, options);
}

void CountFile(LanguageFamily family, const std::string& path, FileTally& tally, RunTotals& totals,
               const CountOptions& options) {
  switch (family) {
    case LanguageFamily::CFamily:
      return CountCFamilyFile(path, tally, totals, options);
    case LanguageFamily::Sql:
      return CountSqlFile(path, tally, totals, options);
    case LanguageFamily::Pascal:
      return CountPascalFile(path, tally, totals, options);
    case LanguageFamily::Basic:
      return CountBasicFile(path, tally, totals, options);
    case LanguageFamily::Assembly:
      return CountAsmFile(path, tally, totals, options);
  }
}

FileTally CountText(LanguageFamily family, std::string_view text, CodePage cp) {
  FileTally tally;
  switch (family) {
    case LanguageFamily::CFamily:
      CountStream<CFamilyClassifier>(nullptr, text, tally, cp, nullptr);
      break;
    case LanguageFamily::Sql:
      CountStream<SqlClassifier>(nullptr, text, tally, cp, nullptr);
      break;
    case LanguageFamily::Pascal:
      CountStream<PascalClassifier>(nullptr, text, tally, cp, nullptr);
      break;
    case LanguageFamily::Basic:
      CountStream<BasicClassifier>(nullptr, text, tally, cp, nullptr);
      break;
    case LanguageFamily::Assembly:
      CountStream<AsmClassifier>(nullptr, text, tally, cp, nullptr);
      break;
  }
  return tally;
}

}  // namespace tv
