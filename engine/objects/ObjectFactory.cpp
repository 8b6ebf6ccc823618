#include "objects/ObjectFactory.h"

#include "objects/TBarcode.h"
#include "objects/TEllipse.h"
#include "objects/TFormattedText.h"
#include "objects/TLine.h"
#include "objects/TRectangle.h"
#include "objects/TRichText.h"
#include "objects/TText.h"
#include "objects/table/TTable.h"

namespace nv {

Value ObjectFactory::New(std::string_view type, const Value& owner) {
  // The image ("TImage") and chart ("TChart") classes join this list when they are built; until
  // then their names, like any unknown one, yield nil.
  if (type == "TText") return Value(TText::New(owner));
  if (type == "TFormattedText") return Value(TFormattedText::New(owner));
  if (type == "richText") return Value(TRichText::New(owner));
  if (type == "TRectangle") return Value(TRectangle::New(owner));
  if (type == "TEllipse") return Value(TEllipse::New(owner));
  if (type == "TLine") return Value(TLine::New(owner));
  if (type == "TBarcode") return Value(TVBBarcode::New(owner));
  if (type == "TTable") return Value(TTable::New(owner));
  return Value();
}

}  // namespace nv
