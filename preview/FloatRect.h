#pragma once

// A rectangle in pane pixels (or inches) as the layers hold it: single
// precision, edges rather than origin and size.
struct FloatRect {
  float left = 0;
  float top = 0;
  float right = 0;
  float bottom = 0;

  float width() const { return right - left; }
  float height() const { return bottom - top; }

  friend bool operator==(const FloatRect&, const FloatRect&) = default;
};
