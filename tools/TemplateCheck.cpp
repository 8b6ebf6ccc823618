#include "TemplateCheck.h"

#include <cstdio>
#include <memory>

#include "Accessors.h"
#include "FormulaCheck.h"
#include "Json.h"
#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "document/TDocument.h"
#include "document/TPlantilla.h"
#include "formula/TEvaluadorFormulas.h"
#include "objects/ObjectFactory.h"
#include "run/TContextoEjecucion.h"

namespace nv::cli {

namespace {

// Geometry closer than this to the paper's edge counts as inside: templates store rounded numbers.
constexpr double kEdgeTolerance = 0.005;

std::string Mm(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

const std::vector<TemplateKey>& TypeNames() {
  static const std::vector<TemplateKey> names = [] {
    std::vector<TemplateKey> out;
    for (const ObjectType& type : ObjectTypes()) out.push_back({std::string(type.name)});
    return out;
  }();
  return names;
}

bool IsOlderFormat(const Value& tmpl) {
  return !HGet(tmpl, "aObjects").IsArray() && (HHas(tmpl, "objetos") || HHas(tmpl, "pagina"));
}

}  // namespace

TemplateCheck::TemplateCheck(const Value& tmpl) : template_(tmpl), document_(tmpl) {
  // The paper and the label layout as the document holds them after loading: defaults filled in,
  // kinds and modes normalised. A template in the older format is checked as the document it
  // converts to.
  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  if (auto doc = plantilla->Documento()) {
    if (IsOlderFormat(tmpl)) document_ = doc->Save();
    labels_ = doc->cDocumentKind == "label";
    labelLayout_ = doc->hLabelLayout;
    paperWidth_ = ValueDouble(doc->nPaperWidth);
    paperHeight_ = doc->cPaperHeightMode == "content" ? 0.0 : ValueDouble(doc->nPaperHeight);
  }
  plantilla->End();
}

std::vector<CheckProblem> TemplateCheck::Run(const Value& tmpl, const Value& data) {
  TemplateCheck check(tmpl);
  check.CheckDocumentKeys();
  check.CheckLabelLayout();
  check.CheckDocumentFormulas();
  const Value objects = HGet(check.document_, "aObjects");
  if (objects.IsArray()) {
    int64_t index = 0;
    for (const Value& object : objects.AsArray()) check.CheckObject(++index, object);
  }
  if (!data.IsNil()) check.CheckVariables(data);
  return std::move(check.problems_);
}

void TemplateCheck::Add(const CheckProblem& where, std::string code, std::string member, std::string message,
                        int64_t position) {
  CheckProblem problem = where;
  problem.code = std::move(code);
  problem.member = std::move(member);
  problem.message = std::move(message);
  problem.position = position;
  problems_.push_back(std::move(problem));
}

void TemplateCheck::UnknownKeys(const CheckProblem& where, const Value& hash, const std::vector<TemplateKey>& known,
                                std::string_view prefix) {
  if (!hash.IsHash()) return;
  for (const auto& entry : hash.AsHash()) {
    const std::string_view key = entry.first;
    if (FindKey(known, key) != nullptr) continue;
    std::string message = "unknown key " + Quoted(key);
    if (const TemplateKey* nearest = NearestKey(known, key)) message += "; nearest known key " + Quoted(nearest->name);
    Add(where, "unknown-key", std::string(prefix) + std::string(key), std::move(message));
  }
}

void TemplateCheck::CheckDocumentKeys() {
  const CheckProblem document;
  if (IsOlderFormat(template_)) {
    UnknownKeys(document, template_, OlderDocumentKeys(), "");
    UnknownKeys(document, HGet(template_, "pagina"), OlderPageKeys(), "pagina.");
    const Value objects = HGet(template_, "objetos");
    if (!objects.IsArray()) return;
    int64_t index = 0;
    for (const Value& object : objects.AsArray()) {
      CheckProblem where;
      where.index = ++index;
      where.object = ValueString(HGet(object, "id"));
      UnknownKeys(where, object, OlderObjectKeys(), "");
    }
    return;
  }
  UnknownKeys(document, template_, DocumentKeys(), "");
  UnknownKeys(document, HGet(template_, "hLabelLayout"), LabelLayoutKeys(), "hLabelLayout.");
}

// The first label sits at the print offset plus the margins; the paper must hold it whole.
void TemplateCheck::CheckLabelLayout() {
  if (!labels_) return;
  auto number = [this](std::string_view key) { return ValueDouble(HGet(labelLayout_, key)); };
  const double right = number("nPrintOffsetX") + number("nMarginLeft") + number("nLabelWidth");
  const double bottom = number("nPrintOffsetY") + number("nMarginTop") + number("nLabelHeight");
  const bool tooWide = right > paperWidth_ + kEdgeTolerance;
  const bool tooTall = paperHeight_ > 0 && bottom > paperHeight_ + kEdgeTolerance;
  if (!tooWide && !tooTall) return;
  std::string message = "the paper (" + Mm(paperWidth_) + " x " + Mm(paperHeight_) +
                        " mm) cannot hold one label: the first label ends at " + Mm(right) + " x " + Mm(bottom) +
                        " mm";
  Add(CheckProblem{}, "label-layout", "hLabelLayout", std::move(message));
}

void TemplateCheck::CheckObject(int64_t index, const Value& object) {
  CheckProblem where;
  where.index = index;
  if (!object.IsHash()) {
    Add(where, "invalid-object", "", "not a JSON object; a run skips it");
    return;
  }
  where.object = ValueString(HGet(object, "cId"));
  where.type = ValueString(HGet(object, "cType"));
  const ObjectType* type = FindObjectType(where.type);
  if (type == nullptr || ObjectFactory::New(where.type, Value()).IsNil()) {
    std::string message = where.type.empty() ? std::string("no object type (cType); a run drops the object")
                                             : "unknown object type " + Quoted(where.type) + "; a run drops the object";
    if (const TemplateKey* nearest = where.type.empty() ? nullptr : NearestKey(TypeNames(), where.type)) {
      message += "; nearest known type " + Quoted(nearest->name);
    }
    Add(where, "unknown-type", "cType", std::move(message));
    return;
  }
  UnknownKeys(where, object, type->keys, "");
  CheckFormulas(where, object, *type);
  CheckGeometry(where, object);
}

void TemplateCheck::CheckFormulas(const CheckProblem& where, const Value& object, const ObjectType& type) {
  for (const auto& entry : object.AsHash()) {
    const TemplateKey* key = FindKey(type.keys, entry.first);
    if (key != nullptr && key->formula) CheckFormula(where, std::string(entry.first), entry.second);
  }
}

void TemplateCheck::CheckFormula(const CheckProblem& where, const std::string& member, const Value& formula) {
  if (!formula.IsString() || IsBlankText(formula.AsString())) return;
  FormulaNames use{where, formula.AsString(), {}};
  use.where.member = member;
  for (const FormulaFault& fault : FormulaCheck::Analyse(use.formula, use.names)) {
    Add(where, "formula", member, fault.message, static_cast<int64_t>(fault.position));
  }
  if (!use.names.empty()) formulas_.push_back(std::move(use));
}

// The document's own formulas: user variables, accumulators and layer conditions.
void TemplateCheck::CheckDocumentFormulas() {
  const CheckProblem document;
  for (std::string_view block : {"hUserVars", "hAcumVars"}) {
    const Value definitions = HGet(document_, block);
    if (!definitions.IsHash()) continue;
    for (const auto& entry : definitions.AsHash()) {
      CheckFormula(document, std::string(block) + "." + std::string(entry.first) + ".formula", HGet(entry.second, "formula"));
    }
  }
  const Value layers = HGet(document_, "hLayers");
  auto layer = [&](const std::string& name, const Value& value) {
    CheckFormula(document, "hLayers." + name + ".cCondition", HGet(value, "cCondition"));
  };
  if (layers.IsArray()) {
    int64_t position = 0;
    for (const Value& value : layers.AsArray()) layer(std::to_string(position++), value);
  } else if (layers.IsHash()) {
    for (const auto& entry : layers.AsHash()) layer(std::string(entry.first), entry.second);
  }
}

// Rotation aside, an object must lie within the paper, or within the label on a label sheet.
void TemplateCheck::CheckGeometry(const CheckProblem& where, const Value& object) {
  double width = paperWidth_;
  double height = paperHeight_;
  std::string area = "the paper";
  if (labels_) {
    width = ValueDouble(HGet(labelLayout_, "nLabelWidth"));
    height = ValueDouble(HGet(labelLayout_, "nLabelHeight"));
    area = "the label";
  }
  const double left = ValueDouble(HGet(object, "nLeft"));
  const double top = ValueDouble(HGet(object, "nTop"));
  const double right = left + ValueDouble(HGet(object, "nWidth"));
  const double bottom = top + ValueDouble(HGet(object, "nHeight"));
  const bool outside = left < -kEdgeTolerance || top < -kEdgeTolerance || right > width + kEdgeTolerance ||
                       (height > 0 && bottom > height + kEdgeTolerance);
  if (!outside) return;
  std::string size = height > 0 ? Mm(width) + " x " + Mm(height) + " mm" : Mm(width) + " mm wide";
  Add(where, "outside-paper", "",
      "does not fit " + area + " (" + size + "): it spans " + Mm(left) + ".." + Mm(right) + " x " + Mm(top) + ".." +
          Mm(bottom) + " mm");
}

// Each name is evaluated alone through a context built as a run builds it, so that a name counts
// as defined exactly when a run would find it: data variables, the first detail record's fields,
// the template's user and accumulator variables, and the evaluator's constants.
void TemplateCheck::CheckVariables(const Value& data) {
  if (formulas_.empty()) return;
  auto plantilla = TPlantilla::New();
  plantilla->SetData(template_);
  plantilla->Create();
  auto conector = TConectorDatos::New(Value(""));
  conector->Create();
  conector->hDatos = conector->NormalizarDatosRuntime(data);
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  auto evaluador = TEvaluadorFormulas::New();
  evaluador->Create();
  auto contexto = TContextoEjecucion::New(Value(conector), Value(evaluador), options);
  contexto->Create();
  for (const FormulaNames& use : formulas_) {
    std::vector<std::string> reported;
    for (const std::string& name : use.names) {
      if (std::find(reported.begin(), reported.end(), name) != reported.end()) continue;
      const std::string error = ValueString(HGet(contexto->EvaluarFormulaConEstado(Value(name)), "cError"));
      const bool missing = StartsWith(error, "[Variable no encontrada") ||
                           (name.front() == '@' && StartsWith(error, "[Expresion no valida"));
      if (!missing) continue;
      reported.push_back(name);
      const size_t at = use.formula.find(name);
      Add(use.where, "unknown-variable", use.where.member,
          "variable " + name + " is defined neither by the data nor by the template",
          at == std::string::npos ? 0 : static_cast<int64_t>(at + 1));
    }
  }
  contexto->End();
  evaluador->End();
  plantilla->End();
  conector->End();
}

std::string TemplateCheck::AsLines(std::string_view file, const std::vector<CheckProblem>& problems) {
  std::string out;
  for (const CheckProblem& p : problems) {
    out.append(file).append(": ");
    if (p.index > 0) {
      out.append("object ").append(std::to_string(p.index));
      if (!p.object.empty()) out.append(" ").append(Quoted(p.object));
      if (!p.type.empty()) out.append(" (").append(p.type).append(")");
    } else {
      out.append("template");
    }
    if (!p.member.empty()) out.append(", ").append(p.member);
    if (p.position > 0) out.append(" at ").append(std::to_string(p.position));
    out.append(": ").append(p.message).append("\n");
  }
  return out;
}

Value TemplateCheck::AsJson(std::string_view file, const std::vector<CheckProblem>& problems) {
  Value list = Value::NewArray();
  for (const CheckProblem& p : problems) {
    Value item = Value::NewHash();
    item.Set("code", p.code);
    item.Set("index", Value::Int(p.index));
    item.Set("object", p.object);
    item.Set("type", p.type);
    item.Set("member", p.member);
    item.Set("position", Value::Int(p.position));
    item.Set("message", p.message);
    list.Append(std::move(item));
  }
  Value out = Value::NewHash();
  out.Set("file", std::string(file));
  out.Set("problems", list);
  return out;
}

}  // namespace nv::cli
