#pragma once
// Images ("imagen"): the box, then the decoded "dataUri" placed by "ajuste": "contain" (the
// default, centred), "cover" (clipped), "fill"/"stretch" (also when "mantenerProporcion" is
// false), "none" (96 dpi, centred). Unknown fits draw "contain" with a warning. An "error" or bytes
// that do not decode draw the box only, with "image-missing"; a type not decoded warns
// "image-unsupported".

#include "ObjectFrame.h"
#include "PaintContext.h"
#include "RenderObjectReader.h"

namespace nv::out {

class ImagePainter {
 public:
  static void Paint(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame);
};

}  // namespace nv::out
