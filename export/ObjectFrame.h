#pragma once
// The local drawing frame of a render object: "rotacion" turns it counterclockwise about the box
// centre; within 45 degrees of a quarter turn the frame is alto x ancho, so a quarter turn fills
// the page box exactly, as text flow and the text object assume.

#include <cairo.h>

#include "RenderObjectReader.h"

namespace nv::out {

class ObjectFrame {
 public:
  ObjectFrame(const Box& box, double rotationDegrees);
  /// Local width and height in millimetres, along and across the text direction.
  double Width() const { return width_; }
  double Height() const { return height_; }
  bool QuarterTurn() const { return quarterTurn_; }
  /// Moves cairo's user space so that (0, 0)-(Width, Height) is the object's local box.
  void Apply(cairo_t* cr) const;

 private:
  Box box_;
  double radians_ = 0;
  double width_ = 0;
  double height_ = 0;
  bool quarterTurn_ = false;
};

}  // namespace nv::out
