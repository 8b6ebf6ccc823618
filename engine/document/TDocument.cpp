#include "document/TDocument.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "Accessors.h"
#include "Colors.h"
#include "Runtime.h"
#include "document/Clamp.h"
#include "document/TLabelLayout.h"
#include "objects/ObjectFactory.h"
#include "objects/TObjectBase.h"

namespace nv {

namespace {

struct PaperFormat {
  std::string_view id;
  double width;
  double height;
};

constexpr PaperFormat PAPER_FORMATS[] = {
    {"a4", 210.0, 297.0},      {"a5", 148.0, 210.0},      {"letter", 215.9, 279.4},
    {"ticket-80", 80.0, 200.0}, {"ticket-58", 58.0, 200.0},
};

std::string Digits(int64_t n) { return std::to_string(n); }

std::string TrimLower(const Value& v) { return Lower(AllTrim(ValueString(v))); }

// A string that AllTrim would leave unchanged.
bool IsTrimmedText(const Value& v) {
  if (!v.IsString()) return false;
  const std::string& text = v.AsString();
  if (text.empty()) return true;
  const char first = text.front();
  return first != ' ' && first != '\t' && first != '\r' && first != '\n' && text.back() != ' ';
}

// "#" and six lower-case hexadecimal digits, the stored form of a layer colour.
bool IsLowerHexColor(const Value& v) {
  if (!v.IsString()) return false;
  const std::string& text = v.AsString();
  if (text.size() != 7 || text[0] != '#') return false;
  for (size_t i = 1; i < 7; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

Value DefaultLayer() {
  Value layer = Value::NewHash();
  layer.Set("nId", Value::Int(0));
  layer.Set("cName", "Capa 1");
  layer.Set("cCondition", "");
  layer.Set("lDesignerVisible", true);
  layer.Set("cColor", "#000000");
  return layer;
}

}  // namespace

std::shared_ptr<TDocument> TDocument::New(const Value& ignored) {
  auto doc = std::make_shared<TDocument>();
  doc->Init(ignored);
  return doc;
}

std::shared_ptr<TDocument> TDocument::Init(const Value&) {
  if (tModifiedAt.empty()) tModifiedAt = CurrentTimestamp();
  if (!hLabelLayout.IsHash() || hLabelLayout.Len() == 0) hLabelLayout = TLabelLayout::Default();
  return std::static_pointer_cast<TDocument>(shared_from_this());
}

std::shared_ptr<TDocument> TDocument::Create() { return std::static_pointer_cast<TDocument>(shared_from_this()); }

Value TDocument::End() {
  if (aObjects.IsArray()) {
    // Ending an object may not touch the list, but take it out first so that a re-entrant call
    // sees an empty document.
    Array objects = std::move(aObjects.AsArray());
    aObjects = Value::NewArray();
    for (const Value& object : objects) {
      if (Object* o = object.ObjectRaw()) o->End();
    }
  } else {
    aObjects = Value::NewArray();
  }
  return Value();
}

Value TDocument::Save() {
  Value out = Value::NewHash();
  out.Set("cType", "TDocument");
  out.Set("cFormatVersion", cFormatVersion);
  out.Set("cTemplateId", cTemplateId);
  out.Set("cTemplateName", cTemplateName);
  out.Set("cDocumentKind", NormalizarDocumentKind(Value(cDocumentKind)));
  out.Set("cPaperFormat", NormalizarPaperFormat(Value(cPaperFormat)));
  out.Set("cPaperOrientation", NormalizarPaperOrientation(Value(cPaperOrientation)));
  out.Set("tModifiedAt", tModifiedAt);
  out.Set("cFileName", cFileName);
  out.Set("nPaperWidth", nPaperWidth);
  out.Set("nPaperHeight", nPaperHeight);
  out.Set("cPaperHeightMode", NormalizarPaperHeightMode(Value(cPaperHeightMode)));
  out.Set("nDesignHeight", NumberAtLeast(nDesignHeight, 1.0));
  out.Set("nContinuousBottomMargin", NumberAtLeast(nContinuousBottomMargin, 0.0));
  out.Set("lShowGrid", lShowGrid);
  out.Set("hUserVars", hUserVars);
  out.Set("hAcumVars", hAcumVars);
  out.Set("hImportMetadata", hImportMetadata);
  out.Set("hLabelLayout", TLabelLayout::Normalizar(hLabelLayout));
  out.Set("hLayers", NormalizarCapas(hLayers));
  Value objects = Value::NewArray();
  if (aObjects.IsArray()) {
    for (const Value& object : aObjects.AsArray()) {
      if (TObjectBase* layout = object.As<TObjectBase>()) objects.Append(layout->Save());
    }
  }
  out.Set("aObjects", objects);
  return out;
}

std::shared_ptr<TDocument> TDocument::Load(const Value& tmplIn) {
  End();
  const Value tmpl = tmplIn.IsHash() ? tmplIn : Value::NewHash();

  cFormatVersion = ValueString(HGet(tmpl, "cFormatVersion", cFormatVersion));
  cTemplateId = ValueString(HGet(tmpl, "cTemplateId", cTemplateId));
  cTemplateName = ValueString(HGet(tmpl, "cTemplateName", cTemplateName));

  const Value w = HGet(tmpl, "nPaperWidth", nPaperWidth);
  const Value h = HGet(tmpl, "nPaperHeight", nPaperHeight);
  cDocumentKind = NormalizarDocumentKind(HGet(tmpl, "cDocumentKind", "report"));
  cPaperFormat = tmpl.Has("cPaperFormat") ? NormalizarPaperFormat(tmpl["cPaperFormat"]) : InferirPaperFormat(w, h);
  cPaperOrientation = tmpl.Has("cPaperOrientation") ? NormalizarPaperOrientation(tmpl["cPaperOrientation"])
                                                    : InferirPaperOrientation(w, h);

  tModifiedAt = ValueString(HGet(tmpl, "tModifiedAt", tModifiedAt));
  cFileName = ValueString(HGet(tmpl, "cFileName", cFileName));
  cCurrentFileName = cFileName;
  nPaperWidth = ValueNumber(w);
  nPaperHeight = ValueNumber(h);

  cPaperHeightMode = NormalizarPaperHeightMode(HGet(tmpl, "cPaperHeightMode", "fixed"));
  nDesignHeight = NumberAtLeast(HGet(tmpl, "nDesignHeight", nDesignHeight), 1.0);
  nContinuousBottomMargin = NumberAtLeast(HGet(tmpl, "nContinuousBottomMargin", nContinuousBottomMargin), 0.0);
  lShowGrid = ValueBool(HGet(tmpl, "lShowGrid", lShowGrid));
  hUserVars = NormalizarDefinicionesVariables(HGet(tmpl, "hUserVars", HGet(tmpl, "UserVar", Value::NewHash())));
  hAcumVars = NormalizarDefinicionesVariables(HGet(tmpl, "hAcumVars", HGet(tmpl, "AcumVar", Value::NewHash())));
  const Value metadata = HGet(tmpl, "hImportMetadata");
  hImportMetadata = metadata.IsHash() ? metadata : Value::NewHash();
  hLabelLayout = TLabelLayout::Normalizar(HGet(tmpl, "hLabelLayout"));
  hLayers = NormalizarCapas(HGet(tmpl, "hLayers"));

  const Value objects = HGet(tmpl, "aObjects");
  if (objects.IsArray()) {
    for (const Value& data : objects.AsArray()) {
      if (!data.IsHash()) continue;
      Value object = CreateObjectFromData(data);
      if (!object.IsNil()) aObjects.Append(std::move(object));
    }
  }
  return NormalizeZIndex();
}

std::shared_ptr<TDocument> TDocument::MarkDirty() {
  lDirty = true;
  return std::static_pointer_cast<TDocument>(shared_from_this());
}

std::shared_ptr<TDocument> TDocument::MarkSaved(const Value& fileName) {
  if (fileName.IsString() && !fileName.AsString().empty()) {
    cFileName = fileName.AsString();
    cCurrentFileName = cFileName;
  }
  lDirty = false;
  lSaving = false;
  tLastSavedAt = CurrentTimestamp();
  return std::static_pointer_cast<TDocument>(shared_from_this());
}

Value TDocument::IsLabelDocument() const { return cDocumentKind == "label"; }
Value TDocument::IsReportDocument() const { return cDocumentKind == "report"; }
Value TDocument::IsContinuousDocument() const { return cPaperHeightMode == "content"; }
Value TDocument::IsListDocument() const { return false; }
Value TDocument::GetDefaultExtension() const { return ".lbl"; }

Value TDocument::GetLayer(const Value& layerId) const {
  const Value layers = NormalizarCapas(hLayers);
  const Value* found = layers.AsHash().Find(Digits(ValueInt(layerId)));
  return found ? *found : layers["0"];
}

const Value* TDocument::FindNormalisedLayer(int64_t id) const {
  const HashPtr* layers = hLayers.HashRef();
  if (!layers) return nullptr;
  const Value* wanted = nullptr;
  const Value* zero = nullptr;
  // Normalisation is idempotent: when every entry already has its normalised shape, normalising
  // again would rebuild an equal hash, so the stored entries can be read directly. The checks
  // allocate nothing, since an execution asks once per object drawn.
  for (const auto& [key, entry] : **layers) {
    const HashPtr* layer = entry.HashRef();
    if (!layer || (*layer)->size() != 5) return nullptr;
    auto it = (*layer)->begin();
    if (it->first != "nId" || !it->second.IsNumber()) return nullptr;
    const Number& n = it->second.AsNumber();
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n.i);
    if (!n.isInteger || n.decimals != 0 || ec != std::errc() || key != std::string_view(digits, end - digits))
      return nullptr;
    ++it;
    if (it->first != "cName" || !IsTrimmedText(it->second) || it->second.AsString().empty()) return nullptr;
    ++it;
    if (it->first != "cCondition" || !IsTrimmedText(it->second)) return nullptr;
    ++it;
    if (it->first != "lDesignerVisible" || !it->second.IsLogical()) return nullptr;
    ++it;
    if (it->first != "cColor" || !IsLowerHexColor(it->second)) return nullptr;
    if (n.i == id) wanted = &entry;
    if (n.i == 0) zero = &entry;
  }
  if (!zero) return nullptr;
  return wanted ? wanted : zero;
}

Value TDocument::LayerFor(const Value& layerId) const {
  if (const Value* layer = FindNormalisedLayer(ValueInt(layerId))) return *layer;
  return GetLayer(layerId);
}

Value TDocument::GetLayerCondition(const Value& layerId) const {
  // A normalised entry holds its condition third, as a text: read in place, since an execution
  // asks once per object drawn.
  if (const Value* layer = FindNormalisedLayer(ValueInt(layerId))) return (*layer->HashRef())->nth(2)->second;
  return ValueString(HGet(GetLayer(layerId), "cCondition", ""));
}

Value TDocument::IsLayerVisibleInDesign(const Value& layerId) const {
  return HGet(LayerFor(layerId), "lDesignerVisible", true);
}

Value TDocument::CreateObjectByType(const Value& typeName) {
  if (!typeName.IsString()) return Value();
  const std::string& type = typeName.AsString();
  const Value owner = Value(shared_from_this());
  return ObjectFactory::New(type, owner);
}

Value TDocument::CreateObjectFromData(const Value& data) {
  Value object = CreateObjectByType(ValueString(HGet(data, "cType", "")));
  TObjectBase* layout = object.As<TObjectBase>();
  if (!layout) return Value();
  layout->Load(data);
  layout->Create();
  return object;
}

std::shared_ptr<TDocument> TDocument::NormalizeZIndex() {
  if (aObjects.IsArray()) {
    int64_t position = 0;
    for (const Value& object : aObjects.AsArray()) {
      ++position;
      if (TObjectBase* layout = object.As<TObjectBase>()) layout->nZIndex = Value::Int(position);
    }
  }
  return std::static_pointer_cast<TDocument>(shared_from_this());
}

Value TDocument::NormalizarCapas(const Value& layers) {
  Value out = Value::NewHash();
  auto visit = [&](const std::string& keyText, const Value& entry) {
    if (!entry.IsHash()) return;
    const int64_t id = entry.Has("nId") ? ValueInt(entry["nId"]) : ValueInt(Value(keyText));
    std::string name = AllTrim(ValueString(HGet(entry, "cName")));
    // Counted in unsigned arithmetic for non-negative ids so the largest id cannot overflow.
    if (name.empty()) name = "Capa " + (id >= 0 ? std::to_string(static_cast<uint64_t>(id) + 1) : Digits(id + 1));
    std::string color = TrimLower(HGet(entry, "cColor"));
    if (!IsHexColor(color)) color = "#000000";
    // Only the logical false hides a layer; any other value counts as absent, that is visible.
    const Value visible = HGet(entry, "lDesignerVisible");
    const bool designerVisible = !(visible.IsFalse());
    Value layer = Value::NewHash();
    layer.Set("nId", Value::Int(id));
    layer.Set("cName", std::move(name));
    layer.Set("cCondition", AllTrim(ValueString(HGet(entry, "cCondition"))));
    layer.Set("lDesignerVisible", designerVisible);
    layer.Set("cColor", std::move(color));
    out.Set(Digits(id), std::move(layer));
  };
  if (const ArrayPtr* list = layers.ArrayRef()) {
    int64_t position = 0;
    for (const Value& entry : **list) visit(Digits(position++), entry);
  } else if (const HashPtr* hash = layers.HashRef()) {
    for (const auto& [key, entry] : **hash) visit(key, entry);
  }
  if (!out.Has("0")) out.Set("0", DefaultLayer());
  return out;
}

Value TDocument::NormalizarDefinicionesVariables(const Value& defs) {
  Value out = Value::NewHash();
  const HashPtr* hash = defs.HashRef();
  if (!hash) return out;
  for (const auto& [key, value] : **hash) {
    std::string name = AllTrim(key);
    if (name.empty()) continue;
    const Value def = value.IsHash() ? value : Value::NewHash();
    Value normalised = Value::NewHash();
    normalised.Set("tipo", ValueString(HGet(def, "tipo", "texto")));
    normalised.Set("formula", ValueString(HGet(def, "formula", "")));
    out.Set(name, std::move(normalised));
  }
  return out;
}

std::string TDocument::NormalizarDocumentKind(const Value& v) {
  std::string kind = TrimLower(v);
  return kind == "label" ? kind : std::string("report");
}

std::string TDocument::NormalizarPaperFormat(const Value& v) {
  std::string format = TrimLower(v);
  return format.empty() ? std::string("custom") : format;
}

std::string TDocument::NormalizarPaperOrientation(const Value& v) {
  return TrimLower(v) == "landscape" ? "landscape" : "portrait";
}

std::string TDocument::NormalizarPaperHeightMode(const Value& v) {
  return TrimLower(v) == "content" ? "content" : "fixed";
}

std::string TDocument::InferirPaperFormat(const Value& wIn, const Value& hIn) {
  const double w = ValueDouble(wIn);
  const double h = ValueDouble(hIn);
  for (const PaperFormat& paper : PAPER_FORMATS) {
    if ((std::fabs(w - paper.width) < 0.01 && std::fabs(h - paper.height) < 0.01) ||
        (std::fabs(w - paper.height) < 0.01 && std::fabs(h - paper.width) < 0.01)) {
      return std::string(paper.id);
    }
  }
  return "custom";
}

std::string TDocument::InferirPaperOrientation(const Value& w, const Value& h) {
  return ValueDouble(w) > ValueDouble(h) ? "landscape" : "portrait";
}

std::string TDocument::CurrentTimestamp() {
  // One clock reading for both halves, so a call at midnight cannot pair one day's date with the
  // next day's time.
  const Timestamp now = Now();
  const int seconds = now.ms / 1000;
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return DateToSerial(Date{now.day}) + "T" + time;
}

bool TDocument::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New",
                       "Init",
                       "Create",
                       "End",
                       "Save",
                       "Load",
                       "MarkDirty",
                       "MarkSaved",
                       "IsLabelDocument",
                       "IsReportDocument",
                       "IsContinuousDocument",
                       "IsListDocument",
                       "GetDefaultExtension",
                       "GetLayer",
                       "GetLayerCondition",
                       "IsLayerVisibleInDesign",
                       "CreateObjectByType",
                       "CreateObjectFromData",
                       "NormalizeZIndex",
                       "ToJSON",
                       "FromJSON",
                       "cFormatVersion",
                       "cTemplateId",
                       "cTemplateName",
                       "cDocumentKind",
                       "cPaperFormat",
                       "cPaperOrientation",
                       "tModifiedAt",
                       "cFileName",
                       "cCurrentFileName",
                       "lDirty",
                       "lSaving",
                       "tLastSavedAt",
                       "nPaperWidth",
                       "nPaperHeight",
                       "cPaperHeightMode",
                       "nDesignHeight",
                       "nContinuousBottomMargin",
                       "nZoom",
                       "lFitPage",
                       "lShowGrid",
                       "hUserVars",
                       "hAcumVars",
                       "hImportMetadata",
                       "hLabelLayout",
                       "hLayers",
                       "aObjects"}) ||
         Object::RespondsTo(name);
}

}  // namespace nv
