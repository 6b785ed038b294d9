#pragma once

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace output {

// Source range [begin, end) that target index i of n covers in a length of
// `length`: [i*length/n, (i+1)*length/n), never empty, so that enlarging
// repeats pixels. Both thumbnail paths (from a decoded picture and straight
// from a bitmap file) reduce over these same spans, which keeps them equal.
struct Span {
  int begin;
  int end;
};

inline std::vector<Span> boxSpans(int length, int n) {
  std::vector<Span> result(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const int begin = static_cast<int>(static_cast<qint64>(i) * length / n);
    const int end = static_cast<int>(static_cast<qint64>(i + 1) * length / n);
    result[static_cast<size_t>(i)] = Span{begin, std::max(end, begin + 1)};
  }
  return result;
}

}  // namespace output
