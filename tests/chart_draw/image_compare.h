// Comparing pictures drawn by different programs: each is cut to the box
// of its non-white pixels, the second scaled to the first's size, and the
// share of pixels whose colours differ clearly is measured.
#pragma once
#include <string>

namespace charttest {

struct Comparison {
  bool loaded = false;
  double differing = 1.0;     // share of pixels, 0..1
  int width = 0, height = 0;  // of the first picture's box
  int otherWidth = 0, otherHeight = 0;
};

Comparison ComparePngs(const std::string& ours, const std::string& theirs);

// The box of the non-white pixels of a PNG file (left, top, right, bottom
// exclusive); all -1 when it cannot be read or is blank.
struct InkBox {
  int left = -1, top = -1, right = -1, bottom = -1;
};
InkBox InkBoxOf(const std::string& png);

}  // namespace charttest
