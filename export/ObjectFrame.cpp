#include "ObjectFrame.h"

#include <cmath>
#include <numbers>

namespace nv::out {

ObjectFrame::ObjectFrame(const Box& box, double rotationDegrees) : box_(box) {
  double turn = std::fmod(rotationDegrees, 360.0);
  if (turn < 0) turn += 360.0;
  radians_ = turn * std::numbers::pi / 180.0;
  quarterTurn_ = (turn > 45.0 && turn < 135.0) || (turn > 225.0 && turn < 315.0);
  width_ = quarterTurn_ ? box.h : box.w;
  height_ = quarterTurn_ ? box.w : box.h;
}

void ObjectFrame::Apply(cairo_t* cr) const {
  cairo_translate(cr, box_.x + box_.w / 2, box_.y + box_.h / 2);
  // Page y grows downwards, so a counterclockwise turn is a negative cairo angle.
  if (radians_ != 0) cairo_rotate(cr, -radians_);
  cairo_translate(cr, -width_ / 2, -height_ / 2);
}

}  // namespace nv::out
