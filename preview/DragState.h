#pragma once

// What a press on the selection frame started; also handed to the resizing
// callback. The order is fixed.
enum class DragState {
  None,
  Move,
  SizeLeft,
  SizeTop,
  SizeRight,
  SizeBottom,
  SizeTopLeft,
  SizeTopRight,
  SizeBottomLeft,
  SizeBottomRight,
};
