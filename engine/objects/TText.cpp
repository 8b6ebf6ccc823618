#include "objects/TText.h"

#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <string_view>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

// The execution context class offers every evaluation operation the text uses, so the
// responds-to test is the class test.
TContextoEjecucion* ContextOf(const Value& context) { return context.As<TContextoEjecucion>(); }

// The content value of one render with its failure state.
struct Content {
  std::string text;
  bool error = false;
  std::string message;
};

Content EvaluarContenido(const Value& context, const Value& plan, const Value& formula,
                         std::string (*toText)(const Value&)) {
  Content content;
  // A constant formula needs no evaluation and cannot fail, even when its text looks like an
  // error value.
  const HashPtr* planHash = plan.HashRef();
  const Value* tipo = planHash != nullptr ? (*planHash)->Find("tipo") : nullptr;
  if (tipo != nullptr && tipo->IsString() && tipo->AsString() == "value") {
    content.text = toText(HGet(plan, "valor"));
    return content;
  }
  // The context offers the plan evaluation with failure state, the first of the operations the
  // text can use; anything else evaluates nothing and leaves the text empty.
  if (TContextoEjecucion* ctx = ContextOf(context)) {
    TContextoEjecucion::EstadoFormula status = ctx->EvaluarPlanFormulaConEstadoTipado(plan, formula);
    content.text = toText(status.valor);
    content.error = status.lError;
    content.message = std::move(status.cError);  // already the text of the failure
  }
  return content;
}

Value CompilarPlan(const Value& context, const std::string& formula) {
  if (TContextoEjecucion* ctx = ContextOf(context)) {
    return ctx->CompilarPlanFormula(Value(formula));
  }
  return Value();
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool IsBlankLine(std::string_view line) {
  for (char c : line) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

// Splits at LF after turning CR LF and lone CR into LF; empty pieces are kept.
std::vector<std::string_view> SplitLines(std::string_view text, std::string& storage) {
  storage.clear();
  storage.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      storage.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      storage.push_back(c);
    }
  }
  std::vector<std::string_view> lines;
  std::string_view rest(storage);
  for (;;) {
    size_t lf = rest.find('\n');
    if (lf == std::string_view::npos) {
      lines.push_back(rest);
      break;
    }
    lines.push_back(rest.substr(0, lf));
    rest.remove_prefix(lf + 1);
  }
  return lines;
}

}  // namespace

std::shared_ptr<TText> TText::New(const Value& owner) {
  auto text = std::make_shared<TText>();
  text->Init(owner);
  return text;
}

Value TText::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Texto");
  cType = Value("TText");
  SinBordes();
  return Self();
}

std::shared_ptr<TObjectBase> TText::Create() { return TObjectBase::Create(); }

Value TText::End() {
  TObjectBase::End();
  uTextFormulaPlan = Value();
  cTextFormulaPlanSource.clear();
  hStaticRenderPrototype = Value();
  renderCache_.reset();
  return Value();
}

// ---- Template hash -------------------------------------------------------------------------------

bool TText::HashHasKey(const Value& hash, std::string_view key) { return HashHasKeyText(hash, key); }

Value TText::HashGet(const Value& hash, std::string_view key, const Value& def) {
  return HashGetText(hash, key, def);
}

Value TText::Load(const Value& data) {
  std::string formulaFromCFormula;
  bool hasCFormula = false;
  if (const Value* formula = data.IsHash() ? data.AsHash().Find("cFormula") : nullptr) {
    std::string text = ValorAString(*formula);
    if (!AllTrim(text).empty()) {
      formulaFromCFormula = std::move(text);
      hasCFormula = true;
    }
  }

  TObjectBase::Load(data);

  if (data.IsHash()) {
    auto present = [&](std::string_view key) { return HashHasKey(data, key); };
    auto get = [&](std::string_view key) { return HashGet(data, key); };
    auto readLogical = [&](std::string_view key, bool& member) {
      if (present(key)) member = ValorALogico(get(key));
    };

    if (hasCFormula) {
      cText = formulaFromCFormula;
    } else if (present("cText")) {
      cText = ValorAString(get("cText"));
    }
    if (present("cFontFamily")) {
      cFontFamily = ValorAString(get("cFontFamily"));
    } else if (present("cFontName")) {
      cFontFamily = ValorAString(get("cFontName"));
    }
    if (present("nFontSize")) nFontSize = get("nFontSize");
    cFontSizeFormula = ValorAString(get("cFontSizeFormula"));
    nFontOutPrecision = ValorAEntero(get("nFontOutPrecision"));
    nFontPitchAndFamily = ValorAEntero(get("nFontPitchAndFamily"));
    readLogical("lFontBold", lFontBold);
    cFontBoldFormula = ValorAString(get("cFontBoldFormula"));
    readLogical("lFontItalic", lFontItalic);
    cFontItalicFormula = ValorAString(get("cFontItalicFormula"));
    readLogical("lFontUnderline", lFontUnderline);
    cFontUnderlineFormula = ValorAString(get("cFontUnderlineFormula"));
    readLogical("lFontStrikeout", lFontStrikeout);
    cFontStrikeoutFormula = ValorAString(get("cFontStrikeoutFormula"));
    if (present("lTextWrap")) {
      Value wrap = get("lTextWrap");
      lTextWrap = wrap.IsLogical() && wrap.AsBool();
    }
    cTextFitMode = NormalizarTextFitMode(get("cTextFitMode"), lTextWrap);
    lTextWrap = cTextFitMode == "wrap";
    readLogical("lForceWrap", lForceWrap);
    readLogical("lAllowPageBreak", lAllowPageBreak);
    if (present("nLineSpacing")) nLineSpacing = ValorANumero(get("nLineSpacing"));
    if (present("nParagraphSpacing")) nParagraphSpacing = ValorANumero(get("nParagraphSpacing"));
    readLogical("lKeepEmptyParagraphs", lKeepEmptyParagraphs);
    readLogical("lTextAdjusted", lTextAdjusted);
    readLogical("lTrimSpaces", lTrimSpaces);
    if (present("cTextFlowGroup")) cTextFlowGroup = ValorAString(get("cTextFlowGroup"));
    if (present("nTextFlowOrder")) nTextFlowOrder = ValorAEntero(get("nTextFlowOrder"));
    if (present("nTextFlowLineHeight")) nTextFlowLineHeight = ValorANumero(get("nTextFlowLineHeight"));
    if (present("cTextColor")) cTextColor = NormalizarTextColor(get("cTextColor"));
    if (present("cTextColorFormula")) cTextColorFormula = ValorAString(get("cTextColorFormula"));
    if (present("nTextOpacity")) nTextOpacity = NormalizarOpacity(get("nTextOpacity"));
    if (present("cTextAlign")) cTextAlign = ValorAString(get("cTextAlign"));
    if (present("nTextDecimalPosition")) nTextDecimalPosition = ValorANumero(get("nTextDecimalPosition"));
    if (present("cTextVerticalAlign")) {
      cTextVerticalAlign = NormalizarTextVerticalAlign(get("cTextVerticalAlign"));
    } else if (present("cVerticalAlign")) {
      cTextVerticalAlign = NormalizarTextVerticalAlign(get("cVerticalAlign"));
    }
    cVb12SourceType = ValorAString(get("cVb12SourceType"));
    cVb12SourceJson = ValorAString(get("cVb12SourceJson"));
  }

  uTextFormulaPlan = Value();
  cTextFormulaPlanSource.clear();
  hStaticRenderPrototype = Value();
  renderCache_.reset();
  return Self();
}

Value TText::Save() {
  Value data = TObjectBase::Save();
  cTextFitMode = NormalizarTextFitMode(Value(cTextFitMode), lTextWrap);
  lTextWrap = cTextFitMode == "wrap";
  Hash& hash = data.AsHash();
  hash.Put("cText", Value(cText));
  hash.Put("cFontFamily", Value(cFontFamily));
  hash.Put("nFontSize", nFontSize);
  hash.Put("cFontSizeFormula", Value(cFontSizeFormula));
  hash.Put("nFontOutPrecision", Value::Int(nFontOutPrecision));
  hash.Put("nFontPitchAndFamily", Value::Int(nFontPitchAndFamily));
  hash.Put("lFontBold", Value(lFontBold));
  hash.Put("cFontBoldFormula", Value(cFontBoldFormula));
  hash.Put("lFontItalic", Value(lFontItalic));
  hash.Put("cFontItalicFormula", Value(cFontItalicFormula));
  hash.Put("lFontUnderline", Value(lFontUnderline));
  hash.Put("cFontUnderlineFormula", Value(cFontUnderlineFormula));
  hash.Put("lFontStrikeout", Value(lFontStrikeout));
  hash.Put("cFontStrikeoutFormula", Value(cFontStrikeoutFormula));
  hash.Put("cTextFitMode", Value(cTextFitMode));
  hash.Put("lTextWrap", Value(lTextWrap));
  hash.Put("lForceWrap", Value(lForceWrap));
  hash.Put("lAllowPageBreak", Value(lAllowPageBreak));
  hash.Put("nLineSpacing", nLineSpacing);
  hash.Put("nParagraphSpacing", nParagraphSpacing);
  hash.Put("lKeepEmptyParagraphs", Value(lKeepEmptyParagraphs));
  hash.Put("lTextAdjusted", Value(lTextAdjusted));
  hash.Put("lTrimSpaces", Value(lTrimSpaces));
  hash.Put("cTextFlowGroup", Value(cTextFlowGroup));
  hash.Put("nTextFlowOrder", Value::Int(nTextFlowOrder));
  hash.Put("nTextFlowLineHeight", nTextFlowLineHeight);
  hash.Put("cTextColor", Value(NormalizarTextColor(Value(cTextColor))));
  hash.Put("cTextColorFormula", Value(cTextColorFormula));
  hash.Put("nTextOpacity", NormalizarOpacity(nTextOpacity));
  hash.Put("cTextAlign", Value(cTextAlign));
  hash.Put("nTextDecimalPosition", nTextDecimalPosition);
  hash.Put("cTextVerticalAlign", Value(NormalizarTextVerticalAlign(Value(cTextVerticalAlign))));
  hash.Put("cVb12SourceType", Value(cVb12SourceType));
  hash.Put("cVb12SourceJson", Value(cVb12SourceJson));
  return data;
}

// ---- Normalisers ------------------------------------------------------------------------------------

bool TText::EsHex6(std::string_view s) {
  if (s.size() != 7 || s[0] != '#') return false;
  for (size_t i = 1; i < 7; ++i) {
    if (!IsLowerHex(s[i])) return false;
  }
  return true;
}

bool TText::EsHex3(std::string_view s) {
  if (s.size() != 4 || s[0] != '#') return false;
  for (size_t i = 1; i < 4; ++i) {
    if (!IsLowerHex(s[i])) return false;
  }
  return true;
}

bool TText::EsHex8Transparente(std::string_view s) {
  return s.size() == 9 && EsHex6(s.substr(0, 7)) && s.substr(7) == "00";
}

bool TText::EsRgbaTransparente(std::string_view s) {
  if (!s.starts_with("rgba(") || !s.ends_with(")")) return false;
  size_t comma = s.rfind(',');
  if (comma == std::string_view::npos) return false;
  std::string alpha = AllTrim(s.substr(comma + 1, s.size() - 1 - (comma + 1)));
  return alpha == "0" || alpha == "0.0" || alpha == ".0" || alpha == "0.00" || alpha == ".00";
}

std::string TText::NormalizarTextColor(const Value& value) {
  std::string s = Lower(AllTrim(ValorAString(value)));
  if (s.empty() || s == "transparent" || EsHex8Transparente(s) || EsRgbaTransparente(s)) return "#000000";
  if (EsHex6(s)) return s;
  if (EsHex3(s)) return std::string{'#', s[1], s[1], s[2], s[2], s[3], s[3]};
  return "#000000";
}

std::string TText::NormalizarTextVerticalAlign(const Value& value) {
  std::string s = Lower(AllTrim(ValorAString(value)));
  if (s == "bottom" || s == "inferior") return "bottom";
  if (s == "center" || s == "middle" || s == "centro") return "center";
  return "top";
}

std::string TText::NormalizarTextFitMode(const Value& value, bool wrap) {
  std::string s = Lower(AllTrim(ValorAString(value)));
  if (s == "truncate" || s == "wrap" || s == "shrink" || s == "condense") return s;
  return wrap ? "wrap" : "truncate";
}

Value TText::NormalizarOpacity(const Value& value) {
  Value number;
  if (value.IsNumber()) {
    number = value;
  } else {
    std::string text = ValorAString(value);
    for (char& c : text) {
      if (c == ',') c = '.';
    }
    number = Value(Val(text));
  }
  double d = number.AsDouble();
  if (!(d >= 0)) return Value::Int(0);  // also NaN
  if (d > 1) return Value::Int(1);
  return number;
}

std::string TText::NormalizarParrafosVacios(const std::string& text) const {
  if (lKeepEmptyParagraphs) return text;
  std::string storage;
  std::string out;
  bool first = true;
  for (std::string_view line : SplitLines(text, storage)) {
    if (IsBlankLine(line)) continue;
    if (!first) out.push_back('\n');
    out.append(line);
    first = false;
  }
  return out;
}

int64_t TText::ContarParrafosVacios(const std::string& text) {
  std::string storage;
  int64_t count = 0;
  for (std::string_view line : SplitLines(text, storage)) {
    if (IsBlankLine(line)) ++count;
  }
  return count;
}

// ---- Rendering ------------------------------------------------------------------------------------

Value TText::AlturaSuprimida(int64_t count) {
  if (count <= 0) return Value::Int(0);
  Value lineHeight = ValorANumero(nTextFlowLineHeight);
  if (lineHeight.AsDouble() < 0) lineHeight = Value::Int(0);
  const Number& line = lineHeight.AsNumber();
  Value suppressed = line.isInteger ? Value::Int(count * line.i) : Value::Dbl(count * line.d, line.decimals);
  // The remainder keeps the sign of the rotation, so -90 counts as unrotated.
  double turn = std::fmod(ValorANumero(nRotation).AsDouble(), 360.0);
  Value extent = ValorANumero((turn == 90 || turn == 270) ? nWidth : nHeight);
  return extent.AsDouble() < suppressed.AsDouble() ? extent : suppressed;
}

TText::Style TText::EvaluarEstilo(const Value& context) {
  Style style;
  style.color = NormalizarTextColor(
      Value(EvaluarColor(context, Value(cTextColorFormula), Value(cTextColor), ColorMode::Normalise)));
  style.background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);
  style.border = EvaluarColor(context, cBorderColorFormula, cBorderColor, ColorMode::Plain);
  style.shadow = EvaluarColor(context, cShadowColorFormula, cShadowColor, ColorMode::Plain);
  style.padding = PaddingValues();
  style.bold = EvaluarEstiloFuente(context, cFontBoldFormula, lFontBold);
  style.italic = EvaluarEstiloFuente(context, cFontItalicFormula, lFontItalic);
  style.underline = EvaluarEstiloFuente(context, cFontUnderlineFormula, lFontUnderline);
  style.strikeout = EvaluarEstiloFuente(context, cFontStrikeoutFormula, lFontStrikeout);
  style.size = EvaluarTamanoFuente(context, cFontSizeFormula, nFontSize);
  return style;
}

namespace {

// The keys of a text render object in the order they are written; the two error keys follow
// "formula" when present.
constexpr std::array<std::string_view, 57> kTextRenderKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "texto", "formula", "formulaError", "formulaErrorMessage", "fuente",
    "tamano", "precisionFuente", "familiaPitchFuente", "color", "opacidadTexto", "alineacion", "posicionDecimal",
    "alineacionVertical", "negrita", "cursiva", "subrayado", "tachado", "modoAjusteTexto", "ajusteLinea",
    "forzarParticionPalabra", "permiteSaltoPagina", "interlineado", "espaciadoParrafo", "conservarParrafosVacios",
    "ajustado", "optimizarEspacios", "grupoFlujoTexto", "ordenFlujoTexto", "alturaLineaFlujoTexto",
    "alturaSuprimidaFlujoTexto", "colorFondo", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "redondeo", "rotacionOriginal", "rotacion", "opacidad", "sombraTamano",
    "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex", "paddingSuperior", "paddingDerecho",
    "paddingInferior", "paddingIzquierdo"};

bool IsErrorKey(std::string_view key) { return key == "formulaError" || key == "formulaErrorMessage"; }

// Every key of a text render object, in order, with nil values. There is room for one more key,
// the tag a label run adds ("debugEtiqueta").
const Hash& TextRenderShape(bool withError) {
  auto build = [](bool errors) {
    std::vector<std::string_view> keys;
    for (std::string_view key : kTextRenderKeys) {
      if (errors || !IsErrorKey(key)) keys.push_back(key);
    }
    return Hash::Shape(keys, keys.size() + 1);
  };
  static const Hash withErrors = build(true);
  static const Hash withoutErrors = build(false);
  return withError ? withErrors : withoutErrors;
}

}  // namespace

Value TText::BuildRender(const Style& style, const std::string& text, int64_t count, bool withError, bool error,
                         const std::string& message) {
  HashPtr hash = Hash::CopyOfShape(TextRenderShape(withError));
  ShapeFiller put(*hash);
  put("id", cId);
  put("tipo", Value("texto"));
  put("x", nLeft);
  put("y", nTop);
  put("ancho", nWidth);
  put("alto", nHeight);
  put("texto", Value(text));
  put("formula", Value(cText));
  if (withError) {
    put("formulaError", Value(error));
    put("formulaErrorMessage", Value(message));
  }
  put("fuente", Value(cFontFamily));
  put("tamano", style.size);
  put("precisionFuente", Value::Int(nFontOutPrecision));
  put("familiaPitchFuente", Value::Int(nFontPitchAndFamily));
  put("color", Value(style.color));
  put("opacidadTexto", NormalizarOpacity(nTextOpacity));
  put("alineacion", Value(cTextAlign));
  put("posicionDecimal", nTextDecimalPosition);
  put("alineacionVertical", Value(NormalizarTextVerticalAlign(Value(cTextVerticalAlign))));
  put("negrita", Value(style.bold));
  put("cursiva", Value(style.italic));
  put("subrayado", Value(style.underline));
  put("tachado", Value(style.strikeout));
  put("modoAjusteTexto", Value(cTextFitMode));
  put("ajusteLinea", Value(lTextWrap));
  put("forzarParticionPalabra", Value(lForceWrap));
  put("permiteSaltoPagina", Value(lAllowPageBreak));
  put("interlineado", nLineSpacing);
  put("espaciadoParrafo", nParagraphSpacing);
  put("conservarParrafosVacios", Value(lKeepEmptyParagraphs));
  put("ajustado", Value(lTextAdjusted));
  put("optimizarEspacios", Value(lTrimSpaces));
  put("grupoFlujoTexto", Value(cTextFlowGroup));
  put("ordenFlujoTexto", Value::Int(nTextFlowOrder));
  put("alturaLineaFlujoTexto", nTextFlowLineHeight);
  put("alturaSuprimidaFlujoTexto", AlturaSuprimida(count));
  // The box, rotation, shadow, order and padding keys, as every layout object writes them.
  put("colorFondo", Value(style.background));
  put("colorBorde", Value(style.border));
  put("grosorBorde", nBorderWidth);
  put("bordeSuperior", lBorderTop);
  put("bordeDerecho", lBorderRight);
  put("bordeInferior", lBorderBottom);
  put("bordeIzquierdo", lBorderLeft);
  put("redondeo", nRounded);
  put("rotacionOriginal", nRotation);
  put("rotacion", nRotation);
  put("opacidad", nOpacity);
  put("sombraTamano", nShadowSize);
  put("sombraTransparencia", nShadowTransparency);
  put("sombraColor", Value(style.shadow));
  put("ordenOriginal", nZIndex);
  put("capa", nZIndex);
  put("zIndex", nZIndex);
  put("paddingSuperior", style.padding[0]);
  put("paddingDerecho", style.padding[1]);
  put("paddingInferior", style.padding[2]);
  put("paddingIzquierdo", style.padding[3]);
  assert(put.Complete());
  return Value(std::move(hash));
}

bool TText::CanUseStaticRenderPrototype() {
  // Every layout object has a type tag, so the responds-to test is the class test.
  TObjectBase* owner = oParent.As<TObjectBase>();
  if (owner == nullptr || ValorAString(owner->cType) != "TTable") return false;
  for (const std::string* formula : {&cTextColorFormula, &cFontSizeFormula, &cFontBoldFormula, &cFontItalicFormula,
                                     &cFontUnderlineFormula, &cFontStrikeoutFormula}) {
    if (!AllTrim(*formula).empty()) return false;
  }
  for (const Value* formula : {&cBackgroundColorFormula, &cBorderColorFormula, &cShadowColorFormula}) {
    if (!AllTrim(ValorAString(*formula)).empty()) return false;
  }
  return true;
}

Value TText::BuildStaticRenderPrototype() {
  // Every style formula is blank here, so the colours come from the static members and no
  // context is needed.
  Style style = EvaluarEstilo(Value());
  Value render = BuildRender(style, "", 0, false, false, "");
  Hash& h = render.AsHash();
  h.Put("id", Value(""));
  h.Put("formula", Value(""));
  for (std::string_view key : {"x", "y", "ancho", "alto", "ordenOriginal", "capa", "zIndex"}) h.Put(key, Value::Int(0));
  return render;
}

Value TText::ApplyDynamicRenderValues(const Value& render, const std::string& text, int64_t count) {
  Hash& h = render.AsHash();
  h.Put("id", cId);
  h.Put("x", nLeft);
  h.Put("y", nTop);
  h.Put("ancho", nWidth);
  h.Put("alto", nHeight);
  h.Put("texto", Value(text));
  h.Put("formula", Value(cText));
  h.Put("alturaSuprimidaFlujoTexto", AlturaSuprimida(count));
  h.Put("ordenOriginal", nZIndex);
  h.Put("capa", nZIndex);
  h.Put("zIndex", nZIndex);
  return Value();
}

Value TText::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();

  if (cTextFormulaPlanSource != cText) {
    Value plan = CompilarPlan(context, cText);
    // False marks a formula without a plan, so it is not compiled again.
    uTextFormulaPlan = plan.IsHash() ? plan : Value(false);
    cTextFormulaPlanSource = cText;
  }

  // The formula as a Value, built again only when the text changed.
  if (!formulaText_.IsString() || formulaText_.AsString() != cText) formulaText_ = Value(cText);
  Content content = EvaluarContenido(context, uTextFormulaPlan, formulaText_, &TObjectBase::ValorAString);
  std::string text = lTrimSpaces ? AllTrim(content.text) : std::move(content.text);
  int64_t count = (!cTextFlowGroup.empty() && !lKeepEmptyParagraphs) ? ContarParrafosVacios(text) : 0;
  if (!lKeepEmptyParagraphs) text = NormalizarParrafosVacios(text);

  if (CanUseStaticRenderPrototype()) {
    if (!hStaticRenderPrototype.IsHash()) hStaticRenderPrototype = BuildStaticRenderPrototype();
    Value render = hStaticRenderPrototype.Clone();
    ApplyDynamicRenderValues(render, text, count);
    render.Set("formulaError", Value(content.error));
    render.Set("formulaErrorMessage", Value(content.message));
    return render;
  }

  if (const Hash* prototype = RenderPrototype()) {
    return FillRender(*prototype, std::move(text), AlturaSuprimida(count), content.error, std::move(content.message));
  }
  return RenderCompleto(context, text, count, content.error, content.message);
}

Value TText::RenderCompleto(const Value& context, const std::string& text, int64_t count, bool error,
                            const std::string& message) {
  Style style = EvaluarEstilo(context);
  return BuildRender(style, text, count, true, error, message);
}

Value TText::RenderDesdeCache(std::string text, int64_t count, bool error, std::string message) {
  const Hash* prototype = RenderPrototype();
  if (prototype == nullptr) return Value();
  return FillRender(*prototype, std::move(text), AlturaSuprimida(count), error, std::move(message));
}

// ---- Render cache ------------------------------------------------------------------------------
// A text in a label run or a document renders once per record with the same members, and only its
// content changes. The render of those members is kept with a copy of every member it was built
// from; a render compares the members with the copies (far cheaper than building and normalising
// the 57 values again), copies the kept render and writes the four per-render values.

namespace {

// Every Value member BuildRender and EvaluarEstilo read.
constexpr Value TText::*kRenderValueMembers[] = {
    &TText::cId,          &TText::nLeft,          &TText::nTop,          &TText::nWidth,
    &TText::nHeight,      &TText::nFontSize,      &TText::nTextOpacity,  &TText::nTextDecimalPosition,
    &TText::nLineSpacing, &TText::nParagraphSpacing, &TText::nTextFlowLineHeight, &TText::cBackgroundColor,
    &TText::cBackgroundColorFormula, &TText::cBorderColor, &TText::cBorderColorFormula, &TText::cShadowColor,
    &TText::cShadowColorFormula, &TText::nPaddingTop, &TText::nPaddingRight, &TText::nPaddingBottom,
    &TText::nPaddingLeft, &TText::nBorderWidth, &TText::lBorderTop, &TText::lBorderRight,
    &TText::lBorderBottom, &TText::lBorderLeft, &TText::nRounded, &TText::nRotation,
    &TText::nOpacity,     &TText::nShadowSize,    &TText::nShadowTransparency, &TText::nZIndex};

constexpr std::string TText::*kRenderStringMembers[] = {
    &TText::cText,          &TText::cFontFamily,        &TText::cTextAlign,          &TText::cTextVerticalAlign,
    &TText::cTextFitMode,   &TText::cTextFlowGroup,     &TText::cTextColor,          &TText::cTextColorFormula,
    &TText::cFontSizeFormula, &TText::cFontBoldFormula, &TText::cFontItalicFormula, &TText::cFontUnderlineFormula,
    &TText::cFontStrikeoutFormula};

constexpr int64_t TText::*kRenderIntMembers[] = {&TText::nFontOutPrecision, &TText::nFontPitchAndFamily,
                                                 &TText::nTextFlowOrder};

constexpr bool TText::*kRenderFlagMembers[] = {
    &TText::lFontBold,       &TText::lFontItalic,     &TText::lFontUnderline,       &TText::lFontStrikeout,
    &TText::lTextWrap,       &TText::lForceWrap,      &TText::lAllowPageBreak,      &TText::lKeepEmptyParagraphs,
    &TText::lTextAdjusted,   &TText::lTrimSpaces};

// The kinds whose render values depend on nothing but the member itself: a collection could
// change inside without the member changing.
bool CacheableKind(const Value& v) {
  const Kind kind = v.kind();
  return kind == Kind::Nil || kind == Kind::Logical || kind == Kind::Number || kind == Kind::String;
}

// Value::Identical with the number case first and in line: most members the render reads are
// numbers, and the general comparison dispatches on the kind.
bool SameMember(const Value& a, const Value& b) {
  if (const Number* x = a.NumberRef()) {
    const Number* y = b.NumberRef();
    return y != nullptr && x->Bits() == y->Bits() && x->isInteger == y->isInteger && x->decimals == y->decimals;
  }
  return a.Identical(b);
}

// A colour formula member the style ignores: nil (no text) or a blank text.
bool IsBlankFormula(const Value& formula) {
  return formula.IsNil() || (formula.IsString() && IsBlankText(formula.AsString()));
}

constexpr size_t RenderKeyIndex(std::string_view key) {
  for (size_t i = 0; i < kTextRenderKeys.size(); ++i) {
    if (kTextRenderKeys[i] == key) return i;
  }
  return kTextRenderKeys.size();
}

constexpr size_t kTextoIndex = RenderKeyIndex("texto");
constexpr size_t kErrorIndex = RenderKeyIndex("formulaError");
constexpr size_t kErrorMessageIndex = RenderKeyIndex("formulaErrorMessage");
constexpr size_t kSuppressedIndex = RenderKeyIndex("alturaSuprimidaFlujoTexto");
static_assert(kSuppressedIndex < kTextRenderKeys.size());

}  // namespace

struct TText::RenderCache {
  std::array<Value, std::size(kRenderValueMembers)> values;
  std::array<std::string, std::size(kRenderStringMembers)> strings;
  std::array<int64_t, std::size(kRenderIntMembers)> ints{};
  std::array<bool, std::size(kRenderFlagMembers)> flags{};
  /// False until the first capture.
  bool captured = false;
  /// The render of these members, or null when one of them is of a kind the cache does not cover.
  HashPtr prototype;

  bool Matches(const TText& text) const {
    for (size_t i = 0; i < flags.size(); ++i) {
      if (text.*kRenderFlagMembers[i] != flags[i]) return false;
    }
    for (size_t i = 0; i < ints.size(); ++i) {
      if (text.*kRenderIntMembers[i] != ints[i]) return false;
    }
    for (size_t i = 0; i < strings.size(); ++i) {
      if (text.*kRenderStringMembers[i] != strings[i]) return false;
    }
    for (size_t i = 0; i < values.size(); ++i) {
      if (!SameMember(text.*kRenderValueMembers[i], values[i])) return false;
    }
    return true;
  }

  // Copies the members; true when every Value member is of a cacheable kind.
  bool Capture(const TText& text) {
    bool cacheable = true;
    for (size_t i = 0; i < flags.size(); ++i) flags[i] = text.*kRenderFlagMembers[i];
    for (size_t i = 0; i < ints.size(); ++i) ints[i] = text.*kRenderIntMembers[i];
    for (size_t i = 0; i < strings.size(); ++i) strings[i] = text.*kRenderStringMembers[i];
    for (size_t i = 0; i < values.size(); ++i) {
      values[i] = text.*kRenderValueMembers[i];
      cacheable = cacheable && CacheableKind(values[i]);
    }
    return cacheable;
  }
};

bool TText::StyleFormulasBlank() const {
  for (const std::string* formula : {&cTextColorFormula, &cFontSizeFormula, &cFontBoldFormula, &cFontItalicFormula,
                                     &cFontUnderlineFormula, &cFontStrikeoutFormula}) {
    if (!IsBlankText(*formula)) return false;
  }
  return IsBlankFormula(cBackgroundColorFormula) && IsBlankFormula(cBorderColorFormula) &&
         IsBlankFormula(cShadowColorFormula);
}

const Hash* TText::RenderPrototype() {
  // The copies are taken only while every style formula is blank, and the formulas are among the
  // members compared: members equal to the copies have blank formulas, so a match needs no
  // separate test of the formulas.
  if (renderCache_ != nullptr && renderCache_->captured && renderCache_->Matches(*this)) {
    return renderCache_->prototype.get();
  }
  if (!StyleFormulasBlank()) return nullptr;
  if (renderCache_ == nullptr) renderCache_ = std::make_shared<RenderCache>();
  RenderCache& cache = *renderCache_;
  cache.prototype = nullptr;
  cache.captured = true;
  // With every style formula blank the style needs no context.
  if (cache.Capture(*this)) cache.prototype = *BuildRender(EvaluarEstilo(Value()), "", 0, true, false, "").HashRef();
  return cache.prototype.get();
}

Value TText::FillRender(const Hash& prototype, std::string text, Value suppressed, bool error, std::string message) {
  HashPtr render = Hash::CopyOfShape(prototype);
  assert(render->nth(kTextoIndex)->first == "texto" && render->nth(kSuppressedIndex)->first == "alturaSuprimidaFlujoTexto");
  render->nth(kTextoIndex).value() = Value(std::move(text));
  render->nth(kErrorIndex).value() = Value(error);
  render->nth(kErrorMessageIndex).value() = Value(std::move(message));
  render->nth(kSuppressedIndex).value() = std::move(suppressed);
  return Value(std::move(render));
}

bool TText::RespondsTo(std::string_view name) const {
  return NameIn(name, {"cText",
                       "cFontFamily",
                       "nFontSize",
                       "cFontSizeFormula",
                       "nFontOutPrecision",
                       "nFontPitchAndFamily",
                       "lFontBold",
                       "cFontBoldFormula",
                       "lFontItalic",
                       "cFontItalicFormula",
                       "lFontUnderline",
                       "cFontUnderlineFormula",
                       "lFontStrikeout",
                       "cFontStrikeoutFormula",
                       "cTextFitMode",
                       "lTextWrap",
                       "lForceWrap",
                       "lAllowPageBreak",
                       "nLineSpacing",
                       "nParagraphSpacing",
                       "lKeepEmptyParagraphs",
                       "lTextAdjusted",
                       "lTrimSpaces",
                       "cTextFlowGroup",
                       "nTextFlowOrder",
                       "nTextFlowLineHeight",
                       "cTextColor",
                       "cTextColorFormula",
                       "nTextOpacity",
                       "cTextAlign",
                       "nTextDecimalPosition",
                       "cTextVerticalAlign",
                       "cVb12SourceType",
                       "cVb12SourceJson",
                       "uTextFormulaPlan",
                       "cTextFormulaPlanSource",
                       "hStaticRenderPrototype"}) ||
         TObjectBase::RespondsTo(name);
}

}  // namespace nv
