// How the results list orders its rows: the comparison of two cell texts
// and a stable sort that stays safe for it.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace tv {

/// Compares two cells of one column: negative, zero or positive. The kind
/// of comparison is chosen by the first text alone:
/// - a text holding "(" ("120 (35.50%)") compares by its part before the
///   first blank, as does the other text;
/// - a text holding "%" compares both by their percent values, read as
///   exact hundredths from the digits ("0.29%" is 29);
/// - digits only (or nothing) compare both as numbers (64-bit, a text
///   without leading digits is 0);
/// - the date form NN/NN/NNNN compares year, then the middle, then the
///   first pair;
/// - anything else compares as text in the user's collation, case-sensitive.
/// Because only the first text picks the kind, this is not a strict weak
/// order: sort with StableSortOrder, never with std::sort.
int CompareCellTexts(std::string_view t1, std::string_view t2);

/// The order 0..count-1 sorted stably by `compare` (negative: the first
/// index goes first), with a merge sort that stays in bounds and ends for
/// any comparison, consistent or not.
std::vector<size_t> StableSortOrder(size_t count,
                                    const std::function<int(size_t, size_t)>& compare);

}  // namespace tv
