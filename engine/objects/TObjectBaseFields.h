#pragma once
// The members every layout object keeps in its template, in template order, with the renders
// that read them. Load and Save read and write each one unconverted, under its exact key.

#include <array>

#include "objects/Field.h"
#include "objects/TObjectBase.h"

namespace nv {

inline constexpr auto kObjectBaseFields = [] {
  using F = Field<TObjectBase>;
  return std::to_array<F>({
    F::Of("cId", &TObjectBase::cId).Drawn(kDrawnByAll),
    F::Of("cName", &TObjectBase::cName),
    F::Of("cType", &TObjectBase::cType),
    F::Of("nLeft", &TObjectBase::nLeft).Drawn(kDrawnByAll),
    F::Of("nTop", &TObjectBase::nTop).Drawn(kDrawnByAll),
    F::Of("nWidth", &TObjectBase::nWidth).Drawn(kDrawnByAll),
    F::Of("nHeight", &TObjectBase::nHeight).Drawn(kDrawnByAll),
    F::Of("lVisible", &TObjectBase::lVisible),
    F::Of("lLocked", &TObjectBase::lLocked),
    F::Of("lSelected", &TObjectBase::lSelected),
    F::Of("nLayerId", &TObjectBase::nLayerId),
    F::Of("nZIndex", &TObjectBase::nZIndex).Drawn(kDrawnByAll),
    F::Of("cBorderColor", &TObjectBase::cBorderColor).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("cBorderColorFormula", &TObjectBase::cBorderColorFormula).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("nBorderWidth", &TObjectBase::nBorderWidth).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("lBorderTop", &TObjectBase::lBorderTop).Drawn(kDrawnByText | kDrawnByBox),
    F::Of("lBorderRight", &TObjectBase::lBorderRight).Drawn(kDrawnByText | kDrawnByBox),
    F::Of("lBorderBottom", &TObjectBase::lBorderBottom).Drawn(kDrawnByText | kDrawnByBox),
    F::Of("lBorderLeft", &TObjectBase::lBorderLeft).Drawn(kDrawnByText | kDrawnByBox),
    F::Of("cBackgroundColor", &TObjectBase::cBackgroundColor).Drawn(kDrawnByText | kDrawnByBox | kDrawnByBarcode),
    F::Of("cBackgroundColorFormula", &TObjectBase::cBackgroundColorFormula).Drawn(kDrawnByText | kDrawnByBox | kDrawnByBarcode),
    F::Of("cFillStyle", &TObjectBase::cFillStyle).Drawn(kDrawnByBox),
    F::Of("nPattern", &TObjectBase::nPattern).Drawn(kDrawnByBox),
    F::Of("cFillColor2", &TObjectBase::cFillColor2).Drawn(kDrawnByBox),
    F::Of("cFillColor2Formula", &TObjectBase::cFillColor2Formula).Drawn(kDrawnByBox),
    F::Of("cFillColor3", &TObjectBase::cFillColor3).Drawn(kDrawnByBox),
    F::Of("cFillColor3Formula", &TObjectBase::cFillColor3Formula).Drawn(kDrawnByBox),
    F::Of("nFillOpacity", &TObjectBase::nFillOpacity).Drawn(kDrawnByBox),
    F::Of("nFillGradientFactor", &TObjectBase::nFillGradientFactor).Drawn(kDrawnByBox),
    F::Of("nRounded", &TObjectBase::nRounded).Drawn(kDrawnByText | kDrawnByRectangle),
    F::Of("nShadowSize", &TObjectBase::nShadowSize).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("nShadowTransparency", &TObjectBase::nShadowTransparency).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("cShadowColor", &TObjectBase::cShadowColor).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("cShadowColorFormula", &TObjectBase::cShadowColorFormula).Drawn(kDrawnByText | kDrawnByBox | kDrawnByLine),
    F::Of("nRotation", &TObjectBase::nRotation).Drawn(kDrawnByAll),
    F::Of("nOpacity", &TObjectBase::nOpacity).Drawn(kDrawnByAll),
    F::Of("cCondition", &TObjectBase::cCondition),
    F::Of("nPaddingTop", &TObjectBase::nPaddingTop).Drawn(kDrawnByText | kDrawnByBarcode),
    F::Of("nPaddingRight", &TObjectBase::nPaddingRight).Drawn(kDrawnByText | kDrawnByBarcode),
    F::Of("nPaddingBottom", &TObjectBase::nPaddingBottom).Drawn(kDrawnByText | kDrawnByBarcode),
    F::Of("nPaddingLeft", &TObjectBase::nPaddingLeft).Drawn(kDrawnByText | kDrawnByBarcode),
    F::Of("nVb12LinkID", &TObjectBase::nVb12LinkID),
    F::Of("nVb12LinkToID", &TObjectBase::nVb12LinkToID),
    F::Of("nVb12LinkMode", &TObjectBase::nVb12LinkMode),
    F::Of("nVb12GroupId", &TObjectBase::nVb12GroupId),
    F::Of("lVb12WrapBefore", &TObjectBase::lVb12WrapBefore),
  });
}();

}  // namespace nv
