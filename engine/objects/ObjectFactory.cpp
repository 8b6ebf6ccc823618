#include "objects/ObjectFactory.h"

#include "objects/TBarcode.h"
#include "objects/TChart.h"
#include "objects/TEllipse.h"
#include "objects/TFormattedText.h"
#include "objects/TImage.h"
#include "objects/TLine.h"
#include "objects/TRectangle.h"
#include "objects/TRichText.h"
#include "objects/TText.h"
#include "objects/table/TTable.h"

namespace nv {

Value ObjectFactory::New(std::string_view type, const Value& owner) {
  // Exact, case-sensitive type names; any other name yields nil and the object is dropped.
  if (type == "TText") return Value(TText::New(owner));
  if (type == "TFormattedText") return Value(TFormattedText::New(owner));
  if (type == "richText") return Value(TRichText::New(owner));
  if (type == "TRectangle") return Value(TRectangle::New(owner));
  if (type == "TEllipse") return Value(TEllipse::New(owner));
  if (type == "TLine") return Value(TLine::New(owner));
  if (type == "TBarcode") return Value(TVBBarcode::New(owner));
  if (type == "TImage") return Value(TVBImage::New(owner));
  if (type == "TChart") return Value(TChart::New(owner));
  if (type == "TTable") return Value(TTable::New(owner));
  return Value();
}

}  // namespace nv
