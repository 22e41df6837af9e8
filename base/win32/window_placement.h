#pragma once
// Where a window goes when it opens centred on its owner: the middle of the
// reference area, kept inside the bounding area (the screen's work area).

namespace dovrel {

struct Area {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct Point {
  int x = 0, y = 0;
};

// Integer arithmetic as the platform does it: (a + b) / 2 - size / 2, then
// clamped to the bounding area's left/top, or to its right/bottom less the size.
inline int CentreCoordinate(int referenceLow, int referenceHigh, int size, int boundLow,
                            int boundHigh) {
  int at = (referenceLow + referenceHigh) / 2 - size / 2;
  if (at < boundLow) {
    at = boundLow;
  } else if (at + size > boundHigh) {
    at = boundHigh - size;
  }
  return at;
}

inline Point CentrePosition(const Area& reference, const Area& bound, int width, int height) {
  return {CentreCoordinate(reference.left, reference.right, width, bound.left, bound.right),
          CentreCoordinate(reference.top, reference.bottom, height, bound.top, bound.bottom)};
}

}  // namespace dovrel
