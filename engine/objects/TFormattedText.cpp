#include "objects/TFormattedText.h"

#include <array>

#include "Accessors.h"

namespace nv {

namespace {

/// The formula of a run without one: the empty text.
constexpr std::string_view kEmptyTextFormula = "\"\"";

// The run list when the value is a list, else a new empty one.
Value ListOrEmpty(const Value& v) { return v.IsArray() ? v : Value::NewArray(); }

using F = Field<TFormattedText>;

constexpr auto kFormattedTextFields = std::to_array<F>({
    F::Of("aRichTextRuns", &TFormattedText::aRichTextRuns).OnLoad(&ListOrEmpty).ResetWhenAbsent(),
});

}  // namespace

std::span<const Field<TFormattedText>> TFormattedText::Fields() { return kFormattedTextFields; }

std::shared_ptr<TFormattedText> TFormattedText::New(const Value& owner) {
  auto text = std::make_shared<TFormattedText>();
  text->Init(owner);
  return text;
}

Value TFormattedText::Init(const Value& owner) {
  TText::Init(owner);
  cName = Value("Texto formateado");
  cType = Value("TFormattedText");
  aRichTextRuns = Value::NewArray();
  return Self();
}

std::shared_ptr<TObjectBase> TFormattedText::Create() { return TText::Create(); }

Value TFormattedText::End() {
  aRichTextRuns = Value::NewArray();
  return TText::End();
}

Value TFormattedText::Load(const Value& data) {
  TText::Load(data);
  cType = Value("TFormattedText");
  if (data.IsHash()) {
    LoadFields<TFormattedText>(*this, kFormattedTextFields, data, KeyMatch::Exact);
  } else {
    aRichTextRuns = Value::NewArray();
  }
  return Self();
}

Value TFormattedText::Save() {
  Value data = TText::Save();
  Hash& hash = data.AsHash();
  hash.Put("cType", Value("TFormattedText"));
  SaveFields<TFormattedText>(*this, kFormattedTextFields, hash);
  return data;
}

Value TFormattedText::EvaluarRuns(const Value& context) const {
  Value runs = Value::NewArray();
  if (!aRichTextRuns.IsArray()) return runs;
  runs.AsArray().reserve(aRichTextRuns.Len());
  for (const Value& run : aRichTextRuns.AsArray()) {
    if (!run.IsHash()) continue;
    // A deep copy: a consumer that edits the render must not reach the template's runs.
    Value copy = run.Clone();
    const Value* expression = copy.AsHash().Find("cExpression");
    const Value formula(expression != nullptr ? ValueString(*expression) : std::string(kEmptyTextFormula));
    copy.Set("cText", Value(ValueString(EvaluarFormulaEn(context, formula))));
    runs.Append(std::move(copy));
  }
  return runs;
}

Value TFormattedText::GenerarRenderizable(const Value& context) {
  Value render = TText::GenerarRenderizable(context);
  if (!render.IsHash()) return render;
  render.Set("tipo", Value("texto_formateado"));
  render.Set("runs", EvaluarRuns(context));
  return render;
}

bool TFormattedText::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TFormattedText>(kFormattedTextFields, name) || TText::RespondsTo(name);
}

}  // namespace nv
