#include "objects/TFontBlock.h"

#include "Accessors.h"
#include "Runtime.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

// The execution context class offers the formula evaluation; any other context gives nil.
Value EvaluarFormula(const Value& context, const std::string& formula) {
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) return ctx->EvaluarFormula(Value(formula));
  return Value();
}

Value EvaluarTamanoFormula(const Value& context, const std::string& formula, const Value& size) {
  if (IsBlankText(formula)) return size;
  Value evaluated = ValorANumero(EvaluarFormula(context, formula));
  return evaluated.AsDouble() < 1 ? Value::Int(1) : evaluated;
}

bool EvaluarEstiloFormula(const Value& context, const std::string& formula, bool flag) {
  if (IsBlankText(formula)) return flag;
  return ValorALogico(EvaluarFormula(context, formula));
}

}  // namespace

Value TFontBlock::EvaluarTamano(const Value& context) const {
  return EvaluarTamanoFormula(context, cFontSizeFormula, nFontSize);
}

TFontBlock::Styles TFontBlock::EvaluarEstilos(const Value& context) const {
  Styles font;
  font.bold = EvaluarEstiloFormula(context, cFontBoldFormula, lFontBold);
  font.italic = EvaluarEstiloFormula(context, cFontItalicFormula, lFontItalic);
  font.underline = EvaluarEstiloFormula(context, cFontUnderlineFormula, lFontUnderline);
  font.strikeout = EvaluarEstiloFormula(context, cFontStrikeoutFormula, lFontStrikeout);
  return font;
}

bool TFontBlock::FontFormulasBlank() const {
  for (const std::string* formula :
       {&cFontSizeFormula, &cFontBoldFormula, &cFontItalicFormula, &cFontUnderlineFormula, &cFontStrikeoutFormula}) {
    if (!IsBlankText(*formula)) return false;
  }
  return true;
}

}  // namespace nv
