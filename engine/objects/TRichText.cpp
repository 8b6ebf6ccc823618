#include "objects/TRichText.h"

#include <array>
#include <initializer_list>

#include "Accessors.h"
#include "Runtime.h"

namespace nv {

namespace {

/// The formula that yields the empty text.
constexpr std::string_view kEmptyTextFormula = "\"\"";

Value VerticalAlignOf(const Value& v) { return Value(TRichText::VBRICHTEXTVERTICALALIGN(v)); }
Value OverflowOf(const Value& v) { return Value(TRichText::NormalizarOverflow(v)); }

using F = Field<TRichText>;

// The rich text's own members in template order, under their exact keys. The content formula
// comes first: Load reads it through the migration of older keys, not by its row.
constexpr auto kRichTextFields = std::to_array<F>({
    F::Of("cContent", &TRichText::cContent),
    F::Of("cVerticalAlign", &TRichText::cVerticalAlign).Normalised(&VerticalAlignOf).ResetWhenAbsent(),
    F::Of("cOverflow", &TRichText::cOverflow).Normalised(&OverflowOf).ResetWhenAbsent(),
});

const Value* FindKey(const Value& hash, std::string_view key) { return hash.AsHash().Find(key); }

// The value of the first of the keys the hash holds, or null.
const Value* FirstPresent(const Value& hash, std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) {
    if (const Value* found = FindKey(hash, key)) return found;
  }
  return nullptr;
}

std::string LowerText(const Value* value) { return value != nullptr ? Lower(ValueString(*value)) : std::string(); }

bool IsSourceKeyword(const std::string& source) { return source == "fixed" || source == "formula"; }

// True when the content, apart from surrounding blanks, is one placeholder: it then comes
// entirely from data, and the data decide its format.
bool IsSinglePlaceholder(std::string_view raw) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = raw.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return false;
  const std::string_view trimmed = raw.substr(first, raw.find_last_not_of(kBlanks) + 1 - first);
  if (!StartsWith(trimmed, "{{")) return false;
  const size_t close = trimmed.find("}}", 2);
  return close != std::string_view::npos && close + 2 == trimmed.size();
}

// True when the text holds a character other than space, tab, CR and LF.
bool HasVisibleCharacter(std::string_view text) { return !IsBlankText(text); }

}  // namespace

std::span<const Field<TRichText>> TRichText::Fields() { return kRichTextFields; }

std::shared_ptr<TRichText> TRichText::New(const Value& owner) {
  auto richText = std::make_shared<TRichText>();
  richText->Init(owner);
  return richText;
}

Value TRichText::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Texto enriquecido");
  cType = Value("richText");
  return Self();
}

std::shared_ptr<TObjectBase> TRichText::Create() { return TObjectBase::Create(); }

Value TRichText::End() {
  cContent = Value("");
  return TObjectBase::End();
}

// ---- Template hash -------------------------------------------------------------------------------

Value TRichText::Load(const Value& data) {
  TObjectBase::Load(data);
  cType = Value("richText");
  if (data.IsHash()) {
    cContent = VBRICHTEXTMIGRATECONTENT(data);
    LoadFields<TRichText>(*this, std::span(kRichTextFields).subspan(1), data, KeyMatch::Exact);
  }
  return Self();
}

Value TRichText::Save() {
  Value data = TObjectBase::Save();
  Hash& hash = data.AsHash();
  hash.Put("cType", Value("richText"));
  SaveFields<TRichText>(*this, kRichTextFields, hash);
  return data;
}

Value TRichText::VBRICHTEXTMIGRATECONTENT(const Value& hash) {
  if (!hash.IsHash()) return Value(kEmptyTextFormula);
  if (const Value* content = FirstPresent(hash, {"cContent", "content"})) return *content;

  const Value* source = FindKey(hash, "contentSource");
  const std::string sourceText = LowerText(source);
  const Value* modeValue = FirstPresent(hash, {"cContentMode", "contentOrigin", "origin"});
  const std::string mode = modeValue != nullptr ? LowerText(modeValue)
                           : IsSourceKeyword(sourceText) ? sourceText
                                                         : std::string();
  const Value* formulaValue = FirstPresent(hash, {"cContentFormula", "contentFormula"});
  const std::string formula = formulaValue != nullptr ? ValueString(*formulaValue) : std::string();
  const bool hasFormula = !IsBlankText(formula);

  if (mode == "formula" && hasFormula) return Value(formula);
  const Value* htmlValue = FirstPresent(hash, {"cHtml", "htmlContent"});
  const std::string html = htmlValue != nullptr ? ValueString(*htmlValue) : std::string();
  if (!IsBlankText(html)) return Value(VBRICHTEXTENCODELITERAL(html));
  if (hasFormula) return Value(formula);
  // An older template kept the content formula itself under "contentSource".
  if (source != nullptr && !IsSourceKeyword(sourceText)) return *source;
  return Value(kEmptyTextFormula);
}

std::string TRichText::VBRICHTEXTENCODELITERAL(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\"\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

std::string TRichText::VBRICHTEXTVERTICALALIGN(const Value& value) {
  const std::string align = value.IsString() ? Lower(AllTrim(value.AsString())) : std::string();
  return (align == "center" || align == "bottom") ? align : "top";
}

std::string TRichText::NormalizarOverflow(const Value& value) {
  return Lower(ValueString(value)) == "visible" ? "visible" : "hidden";
}

// ---- Rendering ------------------------------------------------------------------------------------

TRichText::Contenido TRichText::EvaluarContenido(const Value& context) const {
  // The content formula is kept as loaded; it is evaluated as text.
  const Value contentFormula(ValueString(cContent));
  const std::string raw = VBRICHTEXTNORMALIZEINPUT(Value(ValueString(EvaluarFormulaEn(context, contentFormula))));
  auto evaluator = [&context](std::string_view formula) {
    return Value(ValueString(EvaluarFormulaEn(context, Value(formula))));
  };
  Contenido result;
  if (IsSinglePlaceholder(raw)) {
    // The value stands as it is, and its own format is the content's.
    result.content = VBRICHTEXTINTERPOLATE(raw, "text", evaluator);
    result.format = VBRICHTEXTDETECTFORMAT(Value(result.content));
  } else {
    result.format = VBRICHTEXTDETECTFORMAT(Value(raw));
    result.content = VBRICHTEXTINTERPOLATE(raw, result.format, evaluator);
  }
  return result;
}

Value TRichText::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();

  Contenido contenido = EvaluarContenido(context);
  const Value format(contenido.format);
  std::string plain = VBRICHTEXTPLAINTEXT(Value(contenido.content), format);
  std::string rtf = VBRICHTEXTTORTF(Value(contenido.content), format);
  const std::string background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);
  const std::string border = EvaluarColor(context, cBorderColorFormula, cBorderColor, ColorMode::Plain);
  const std::string shadow = EvaluarColor(context, cShadowColorFormula, cShadowColor, ColorMode::Plain);

  Value render = NewRender("texto_enriquecido", 34);
  Hash& h = render.AsHash();
  h.Put("contentFormat", format);
  h.Put("content", Value(std::move(contenido.content)));
  const bool visible = HasVisibleCharacter(plain);
  h.Put("plainContent", Value(std::move(plain)));
  h.Put("hasVisibleContent", Value(visible));
  h.Put("rtfContent", Value(std::move(rtf)));
  h.Put("alineacionVertical", Value(VBRICHTEXTVERTICALALIGN(Value(cVerticalAlign))));
  h.Put("overflow", Value(cOverflow));
  PutFrameKeys(h, background, border);
  h.Put("rotacionOriginal", nRotation);
  h.Put("rotacion", nRotation);
  h.Put("opacidad", nOpacity);
  PutShadowKeys(h, shadow);
  PutPaddingKeys(render);
  PutOrderKeys(render);
  return render;
}

bool TRichText::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TRichText>(kRichTextFields, name) ||
         NameIn(name, {"New", "Init", "Create", "End", "Save", "Load", "GenerarRenderizable"}) ||
         TObjectBase::RespondsTo(name);
}

}  // namespace nv
