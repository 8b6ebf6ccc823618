#include "objects/TText.h"

#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <string_view>
#include <vector>

#include "Accessors.h"
#include "Colors.h"
#include "Hash.h"
#include "Runtime.h"
#include "objects/TObjectBaseFields.h"
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

Content EvaluarContenido(const Value& context, const Value& plan, const Value& formula) {
  Content content;
  // A constant formula needs no evaluation and cannot fail, even when its text looks like an
  // error value.
  const HashPtr* planHash = plan.HashRef();
  const Value* tipo = planHash != nullptr ? (*planHash)->Find("tipo") : nullptr;
  if (tipo != nullptr && tipo->IsString() && tipo->AsString() == "value") {
    content.text = ValueString(HGet(plan, "valor"));
    return content;
  }
  // The context offers the plan evaluation with failure state, the first of the operations the
  // text can use; anything else evaluates nothing and leaves the text empty.
  if (TContextoEjecucion* ctx = ContextOf(context)) {
    TContextoEjecucion::EstadoFormula status = ctx->EvaluarPlanFormulaConEstadoTipado(plan, formula);
    content.text = ValueString(status.valor);
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

// ---- Members ---------------------------------------------------------------------------------------

Value TextOf(const Value& v) { return Value(ValueString(v)); }
Value TextColorOf(const Value& v) { return Value(NormalizeTextColor(v)); }
Value VerticalAlignOf(const Value& v) { return Value(TText::NormalizarTextVerticalAlign(v)); }
// Only the logical true wraps.
Value StrictFlagOf(const Value& v) { return Value(v.IsTrue()); }

using F = Field<TText>;

// The text's own members in template order. Load reads every key in any case; keys marked to
// reset are cleared when absent, the others keep the member. cText is also read under
// "cFormula", and cTextFitMode and lTextWrap are made consistent after the rows (see Load).
constexpr auto kTextFields = JoinFields(
    std::to_array<F>({F::Of("cText", &TText::cText).Drawn(kDrawnByText)}),
    TFontBlock::SizeFields<TText>(&TextOf, kDrawnByText),
    std::to_array<F>({
        F::Of("nFontOutPrecision", &TText::nFontOutPrecision).ResetWhenAbsent().Drawn(kDrawnByText),
        F::Of("nFontPitchAndFamily", &TText::nFontPitchAndFamily).ResetWhenAbsent().Drawn(kDrawnByText),
    }),
    TFontBlock::StyleFields<TText>(kDrawnByText),
    std::to_array<F>({
        F::Of("cTextFitMode", &TText::cTextFitMode).ResetWhenAbsent().Drawn(kDrawnByText),
        F::Of("lTextWrap", &TText::lTextWrap).OnLoad(&StrictFlagOf).Drawn(kDrawnByText),
        F::Of("lForceWrap", &TText::lForceWrap).Drawn(kDrawnByText),
        F::Of("lAllowPageBreak", &TText::lAllowPageBreak).Drawn(kDrawnByText),
        F::Of("nLineSpacing", &TText::nLineSpacing).OnLoad(&ValorANumero).Drawn(kDrawnByText),
        F::Of("nParagraphSpacing", &TText::nParagraphSpacing).OnLoad(&ValorANumero).Drawn(kDrawnByText),
        F::Of("lKeepEmptyParagraphs", &TText::lKeepEmptyParagraphs).Drawn(kDrawnByText),
        F::Of("lTextAdjusted", &TText::lTextAdjusted).Drawn(kDrawnByText),
        F::Of("lTrimSpaces", &TText::lTrimSpaces).Drawn(kDrawnByText),
        F::Of("cTextFlowGroup", &TText::cTextFlowGroup).Drawn(kDrawnByText),
        F::Of("nTextFlowOrder", &TText::nTextFlowOrder).Drawn(kDrawnByText),
        F::Of("nTextFlowLineHeight", &TText::nTextFlowLineHeight).OnLoad(&ValorANumero).Drawn(kDrawnByText),
        F::Of("cTextColor", &TText::cTextColor).Normalised(&TextColorOf).Drawn(kDrawnByText),
        F::Of("cTextColorFormula", &TText::cTextColorFormula).Drawn(kDrawnByText),
        F::Of("nTextOpacity", &TText::nTextOpacity).Normalised(&TText::NormalizarOpacity).Drawn(kDrawnByText),
        F::Of("cTextAlign", &TText::cTextAlign).Drawn(kDrawnByText),
        F::Of("nTextDecimalPosition", &TText::nTextDecimalPosition).OnLoad(&ValorANumero).Drawn(kDrawnByText),
        F::Of("cTextVerticalAlign", &TText::cTextVerticalAlign)
            .Alias("cVerticalAlign")
            .Normalised(&VerticalAlignOf)
            .Drawn(kDrawnByText),
        F::Of("cVb12SourceType", &TText::cVb12SourceType).ResetWhenAbsent(),
        F::Of("cVb12SourceJson", &TText::cVb12SourceJson).ResetWhenAbsent(),
        F::Of("uTextFormulaPlan", &TText::uTextFormulaPlan).NotSaved(),
        F::Of("cTextFormulaPlanSource", &TText::cTextFormulaPlanSource).NotSaved(),
        F::Of("hStaticRenderPrototype", &TText::hStaticRenderPrototype).NotSaved(),
    }));

// The base's rows and the text's: every member a text render can read.
constexpr auto kTextAllFields = JoinFields(FieldsFor<TText>(kObjectBaseFields), kTextFields);

}  // namespace

std::span<const Field<TText>> TText::Fields() { return kTextFields; }

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
  DescartarCaches();
  return Value();
}

void TText::DescartarCaches() {
  uTextFormulaPlan = Value();
  cTextFormulaPlanSource.clear();
  hStaticRenderPrototype = Value();
  renderCache_.reset();
}

// ---- Template hash -------------------------------------------------------------------------------

Value TText::Load(const Value& data) {
  TObjectBase::Load(data);
  if (data.IsHash()) {
    LoadFields<TText>(*this, kTextFields, data, KeyMatch::AnyCase);
    // A formula under the exact key "cFormula" wins over "cText" unless it is blank.
    if (const Value* formula = data.AsHash().Find("cFormula")) {
      std::string text = ValueString(*formula);
      if (!IsBlankText(text)) cText = std::move(text);
    }
    NormalizarAjuste();
  }
  DescartarCaches();
  return Self();
}

Value TText::Save() {
  Value data = TObjectBase::Save();
  NormalizarAjuste();
  SaveFields<TText>(*this, kTextFields, data.AsHash());
  return data;
}

void TText::NormalizarAjuste() {
  cTextFitMode = NormalizarTextFitMode(Value(cTextFitMode), lTextWrap);
  lTextWrap = cTextFitMode == "wrap";
}

// ---- Normalisers ------------------------------------------------------------------------------------

std::string TText::NormalizarTextVerticalAlign(const Value& value) {
  std::string s = Lower(AllTrim(ValueString(value)));
  if (s == "bottom" || s == "inferior") return "bottom";
  if (s == "center" || s == "middle" || s == "centro") return "center";
  return "top";
}

std::string TText::NormalizarTextFitMode(const Value& value, bool wrap) {
  std::string s = Lower(AllTrim(ValueString(value)));
  if (s == "truncate" || s == "wrap" || s == "shrink" || s == "condense") return s;
  return wrap ? "wrap" : "truncate";
}

Value TText::NormalizarOpacity(const Value& value) {
  Value number;
  if (value.IsNumber()) {
    number = value;
  } else {
    std::string text = ValueString(value);
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
  style.color = NormalizeTextColor(
      Value(EvaluarColor(context, Value(cTextColorFormula), Value(cTextColor), ColorMode::Normalise)));
  style.background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);
  style.border = EvaluarColor(context, cBorderColorFormula, cBorderColor, ColorMode::Plain);
  style.shadow = EvaluarColor(context, cShadowColorFormula, cShadowColor, ColorMode::Plain);
  style.padding = PaddingValues();
  style.font = EvaluarEstilos(context);
  style.size = EvaluarTamano(context);
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
  put("fuente", cFontFamily);
  put("tamano", style.size);
  put("precisionFuente", Value::Int(nFontOutPrecision));
  put("familiaPitchFuente", Value::Int(nFontPitchAndFamily));
  put("color", Value(style.color));
  put("opacidadTexto", NormalizarOpacity(nTextOpacity));
  put("alineacion", Value(cTextAlign));
  put("posicionDecimal", nTextDecimalPosition);
  put("alineacionVertical", Value(NormalizarTextVerticalAlign(Value(cTextVerticalAlign))));
  put("negrita", Value(style.font.bold));
  put("cursiva", Value(style.font.italic));
  put("subrayado", Value(style.font.underline));
  put("tachado", Value(style.font.strikeout));
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
  if (owner == nullptr || ValueString(owner->cType) != "TTable") return false;
  if (!IsBlankText(cTextColorFormula) || !FontFormulasBlank()) return false;
  for (const Value* formula : {&cBackgroundColorFormula, &cBorderColorFormula, &cShadowColorFormula}) {
    if (!AllTrim(ValueString(*formula)).empty()) return false;
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
  PutPlacementKeys(h);
  h.Put("texto", Value(text));
  h.Put("formula", Value(cText));
  h.Put("alturaSuprimidaFlujoTexto", AlturaSuprimida(count));
  PutOrderKeys(render);
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
  Content content = EvaluarContenido(context, uTextFormulaPlan, formulaText_);
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

// Every member BuildRender and EvaluarEstilo read, by kind, gathered from the rows at compile time.
constexpr auto kRenderValueMembers = DrawnMembers<FieldKind::Value, kDrawnByText, kTextAllFields>();
constexpr auto kRenderStringMembers = DrawnMembers<FieldKind::Text, kDrawnByText, kTextAllFields>();
constexpr auto kRenderIntMembers = DrawnMembers<FieldKind::Integer, kDrawnByText, kTextAllFields>();
constexpr auto kRenderFlagMembers = DrawnMembers<FieldKind::Flag, kDrawnByText, kTextAllFields>();

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
  if (!IsBlankText(cTextColorFormula) || !FontFormulasBlank()) return false;
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
  return HasFieldNamed<TText>(kTextFields, name) || TObjectBase::RespondsTo(name);
}

}  // namespace nv
