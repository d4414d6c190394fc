#include "reports/result_sort.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace tv {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The leading decimal number of a text, blanks skipped; saturates.
uint64_t LeadingValue(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  uint64_t value = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    const uint64_t digit = static_cast<uint64_t>(s[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
  }
  return value;
}

// The percent value in hundredths: the digits before "%" with at most two
// after the point ("12.3%" is 1230, "4.355%" is 435); "" when there is no
// "%", so that such a text compares as 0.
std::string PercentKey(std::string_view s) {
  const size_t percent = s.find('%');
  if (percent == std::string_view::npos) return "";
  std::string_view number = s.substr(0, percent);
  size_t start = number.size();
  while (start > 0 && (IsDigit(number[start - 1]) || number[start - 1] == '.')) --start;
  number = number.substr(start);
  const size_t point = number.find('.');
  uint64_t whole = LeadingValue(number.substr(0, point));
  uint64_t hundredths = 0;
  if (point != std::string_view::npos) {
    std::string_view fraction = number.substr(point + 1);
    for (size_t i = 0; i < 2; ++i) {
      const char c = i < fraction.size() ? fraction[i] : '0';
      hundredths = hundredths * 10 + (IsDigit(c) ? static_cast<uint64_t>(c - '0') : 0);
    }
  }
  if (whole > (UINT64_MAX - hundredths) / 100) return std::to_string(UINT64_MAX);
  return std::to_string(whole * 100 + hundredths);
}

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

bool IsDate(std::string_view s) {
  if (s.size() != 10 || s[2] != '/' || s[5] != '/') return false;
  for (size_t i : {0, 1, 3, 4, 6, 7, 8, 9}) {
    if (!IsDigit(s[i])) return false;
  }
  return true;
}

int Sign(uint64_t a, uint64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

std::string_view BeforeBlank(std::string_view s) {
  return s.substr(0, s.find(' '));
}

}  // namespace

int CompareCellTexts(std::string_view t1, std::string_view t2) {
  std::string a(t1), b(t2);
  if (t1.find('(') != std::string_view::npos) {
    a = std::string(BeforeBlank(t1));
    b = std::string(BeforeBlank(t2));
  } else if (t1.find('%') != std::string_view::npos) {
    a = PercentKey(t1);
    b = PercentKey(t2);
  }
  if (AllDigits(a)) return Sign(LeadingValue(a), LeadingValue(b));
  if (IsDate(a)) {
    for (auto [pos, len] : {std::pair{6, 4}, std::pair{3, 2}, std::pair{0, 2}}) {
      const std::string_view pa = std::string_view(a).substr(pos, len);
      const std::string_view pb =
          b.size() >= static_cast<size_t>(pos) ? std::string_view(b).substr(pos, len) : "";
      if (int c = Sign(LeadingValue(pa), LeadingValue(pb)); c != 0) return c;
    }
    return 0;
  }
  const int c = std::strcoll(a.c_str(), b.c_str());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<size_t> StableSortOrder(size_t count,
                                    const std::function<int(size_t, size_t)>& compare) {
  std::vector<size_t> order(count), scratch(count);
  for (size_t i = 0; i < count; ++i) order[i] = i;
  // Bottom-up merge sort: every step takes from the left run unless the
  // right element compares strictly smaller, so equal rows keep their order
  // and the indexes never leave their runs, whatever `compare` answers.
  for (size_t width = 1; width < count; width *= 2) {
    for (size_t lo = 0; lo < count; lo += 2 * width) {
      const size_t mid = std::min(lo + width, count), hi = std::min(lo + 2 * width, count);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi)
        scratch[k++] = compare(order[j], order[i]) < 0 ? order[j++] : order[i++];
      while (i < mid) scratch[k++] = order[i++];
      while (j < hi) scratch[k++] = order[j++];
    }
    order.swap(scratch);
  }
  return order;
}

}  // namespace tv
