#include "TMotorEjecucion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "Accessors.h"
#include "Runtime.h"
#include "TDocumentoRenderizable.h"
#include "TMotorComposicion.h"
#include "TMotorPaginacion.h"
#include "TPlantilla.h"

namespace nv {

namespace {

// Table figures summed into the run's record: the table's key, then the engine's key.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kTableFigures{{
    {"nSetupMs", "nTableSetupMs"},
    {"nRecordLoopMs", "nTableRecordLoopMs"},
    {"nFinishMs", "nTableFinishMs"},
    {"nPartitionMs", "nTablePartitionMs"},
    {"nRenderLinesMs", "nTableRenderLinesMs"},
    {"nCellContentMs", "nTableCellContentMs"},
    {"nAccumulateMs", "nTableAccumulateMs"},
    {"nRecordsExamined", "nTableRecordsExamined"},
}};

Value Elapsed(int64_t since, int64_t now) { return Value::Dbl(static_cast<double>(now - since), 1); }

// A miswired engine (a composition or pagination engine of the wrong class) is a programming error,
// reported as the runtime error a message the object does not understand would raise.
[[noreturn]] void ThrowMissingCollaborator(std::string_view message, std::string_view operation) {
  throw RuntimeError("TMotorEjecucion", 1, std::string(message), std::string(operation));
}

}  // namespace

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::New(const Value& plantilla, const Value& conector,
                                                      const Value& composicion, const Value& paginacion,
                                                      const Value& contexto) {
  auto engine = std::make_shared<TMotorEjecucion>();
  engine->Init(plantilla, conector, composicion, paginacion, contexto);
  return engine;
}

bool TMotorEjecucion::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Init", "Create", "End", "SetPlantilla", "SetConectorDatos", "SetComposicion",
                       "SetPaginacion", "SetContextoEjecucion", "Ejecutar", "GetPerformanceDiagnostics",
                       "oPlantilla", "oConectorDatos", "oComposicion", "oPaginacion", "oContextoEjecucion",
                       "hPerformanceDiagnostics"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::Init(const Value& plantilla, const Value& conector,
                                                       const Value& composicion, const Value& paginacion,
                                                       const Value& contexto) {
  oPlantilla = plantilla;
  oConectorDatos = conector;
  oComposicion = composicion;
  oPaginacion = paginacion;
  oContextoEjecucion = contexto;
  ResetPerformanceDiagnostics();
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::Create() {
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

Value TMotorEjecucion::End() {
  oPlantilla = Value();
  oConectorDatos = Value();
  oComposicion = Value();
  oPaginacion = Value();
  oContextoEjecucion = Value();
  hPerformanceDiagnostics = Value::NewHash();
  return Value();
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::SetPlantilla(const Value& plantilla) {
  oPlantilla = plantilla;
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::SetConectorDatos(const Value& conector) {
  oConectorDatos = conector;
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::SetComposicion(const Value& composicion) {
  oComposicion = composicion;
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::SetPaginacion(const Value& paginacion) {
  oPaginacion = paginacion;
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

std::shared_ptr<TMotorEjecucion> TMotorEjecucion::SetContextoEjecucion(const Value& contexto) {
  oContextoEjecucion = contexto;
  return std::static_pointer_cast<TMotorEjecucion>(shared_from_this());
}

void TMotorEjecucion::ResetPerformanceDiagnostics() {
  Value record = Value::NewHash();
  for (std::string_view key : {"nSetupMs", "nCompositionMs", "nReflowMs", "nPaginationMs", "nTableSetupMs",
                               "nTableRecordLoopMs", "nTableFinishMs", "nTablePartitionMs", "nTableRenderLinesMs",
                               "nTableCellContentMs", "nTableAccumulateMs"}) {
    record.Set(key, Value::Dbl(0.0, 1));
  }
  record.Set("nTableRecordsExamined", Value::Int(0));
  hPerformanceDiagnostics = record;
}

Value TMotorEjecucion::GetPerformanceDiagnostics() const { return hPerformanceDiagnostics.Clone(); }

bool TMotorEjecucion::EsDocumentoEtiquetas() const {
  if (!nv::RespondsTo(oPlantilla, "IsLabelDocument")) return false;
  Value answer;
  if (auto* plantilla = oPlantilla.As<TPlantilla>()) {
    answer = plantilla->IsLabelDocument();
  } else if (auto* fuente = oPlantilla.As<FuentePlantilla>()) {
    answer = fuente->IsLabelDocument();
  }
  return answer.IsLogical() && answer.AsBool();
}

Value TMotorEjecucion::PaginaPlantilla() const {
  if (nv::RespondsTo(oPlantilla, "GetPagina")) {
    if (auto* plantilla = oPlantilla.As<TPlantilla>()) return plantilla->GetPagina();
    if (auto* fuente = oPlantilla.As<FuentePlantilla>()) return fuente->GetPagina();
  }
  return Value::NewHash();
}

Value TMotorEjecucion::ObjetosPlantilla() const {
  if (nv::RespondsTo(oPlantilla, "GetObjetos")) {
    if (auto* plantilla = oPlantilla.As<TPlantilla>()) return plantilla->GetObjetos();
    if (auto* fuente = oPlantilla.As<FuentePlantilla>()) return fuente->GetObjetos();
  }
  return Value::NewArray();
}

Value TMotorEjecucion::Ejecutar() {
  int64_t mark = MillisecondClock();
  ResetPerformanceDiagnostics();
  if (EsDocumentoEtiquetas()) return EjecutarEtiquetas();

  Value pagina = PaginaPlantilla();
  Value objetos = ObjetosPlantilla();
  int64_t now = MillisecondClock();
  hPerformanceDiagnostics.Set("nSetupMs", Elapsed(mark, now));
  mark = now;

  Value list = Value::NewArray();
  if (objetos.IsArray()) {
    const size_t count = objetos.Len();
    for (size_t i = 0; i < count; ++i) {
      // A layout object may change the template's list while composing; read each element afresh
      // and stop at the current end rather than read past it.
      if (i >= objetos.Len()) break;
      Value objeto = objetos.AsArray()[i];
      AgregarRenderizableCompuesto(list, objeto);
      SumarDiagnosticosTabla(objeto);
    }
  }
  now = MillisecondClock();
  hPerformanceDiagnostics.Set("nCompositionMs", Elapsed(mark, now));
  mark = now;

  list = RecolocarFlujoTexto(list);
  now = MillisecondClock();
  hPerformanceDiagnostics.Set("nReflowMs", Elapsed(mark, now));
  mark = now;

  auto* paginacion = oPaginacion.As<TMotorPaginacion>();
  if (!paginacion) ThrowMissingCollaborator("El motor de paginacion no es un TMotorPaginacion", "Paginar");
  Value documento = paginacion->Paginar(pagina, list);
  hPerformanceDiagnostics.Set("nPaginationMs", Elapsed(mark, MillisecondClock()));
  return documento;
}

Value TMotorEjecucion::EjecutarEtiquetas() {
  // Label sheets are placed by the label road; until it is built a label run yields no document.
  return Value();
}

void TMotorEjecucion::AgregarRenderizableCompuesto(const Value& list, const Value& objeto) {
  auto* composicion = oComposicion.As<TMotorComposicion>();
  if (!composicion) ThrowMissingCollaborator("El motor de composicion no es un TMotorComposicion", "Componer");
  Value result = composicion->Componer(objeto, oContextoEjecucion);
  if (result.IsNil()) return;
  if (EsListaRenderizables(result)) {
    const Array& items = result.AsArray();
    list.AsArray().insert(list.AsArray().end(), items.begin(), items.end());
    return;
  }
  list.Append(result);
}

void TMotorEjecucion::SumarDiagnosticosTabla(const Value& objeto) {
  if (!nv::RespondsTo(objeto, "GetPerformanceDiagnostics")) return;
  auto* fuente = objeto.As<FuenteDiagnosticos>();
  if (!fuente) return;
  Value figures = fuente->GetPerformanceDiagnostics();
  if (!figures.IsHash()) return;
  for (const auto& [tableKey, engineKey] : kTableFigures) {
    Value add = ValueNumber(HGet(figures, tableKey, Value::Int(0)));
    Value sum = ValueNumber(HGet(hPerformanceDiagnostics, engineKey));
    // The record count stays an integer; times add as milliseconds with a fraction.
    int64_t total = 0;
    if (add.AsNumber().isInteger && sum.AsNumber().isInteger &&
        !__builtin_add_overflow(sum.AsNumber().i, add.AsNumber().i, &total)) {
      hPerformanceDiagnostics.Set(engineKey, Value::Int(total));
    } else {
      hPerformanceDiagnostics.Set(engineKey, Value(sum.AsDouble() + add.AsDouble()));
    }
  }
}

bool TMotorEjecucion::EsListaRenderizables(const Value& value) {
  if (!value.IsArray() || value.Len() == 0) return false;
  for (const Value& item : value.AsArray()) {
    if (!item.IsHash() || !item.Has("tipo")) return false;
  }
  return true;
}

int64_t TMotorEjecucion::CEILINGLOCAL(double n) {
  double whole = std::trunc(n);
  return static_cast<int64_t>(whole) + (n > whole ? 1 : 0);
}

Value TMotorEjecucion::RecolocarFlujoTexto(const Value& list) const {
  Value out = Value::NewArray();
  if (!list.IsArray()) return out;
  out.AsArray().reserve(list.Len());
  // Shifts per group name, in mm; groups are few, so a small list beats a map.
  std::vector<std::pair<std::string, double>> shifts;
  auto shiftOf = [&](const std::string& group) -> double& {
    for (auto& entry : shifts) {
      if (entry.first == group) return entry.second;
    }
    shifts.emplace_back(group, 0.0);
    return shifts.back().second;
  };

  for (const Value& element : list.AsArray()) {
    Value part = element.Clone();
    std::string group = AllTrim(ValueString(HGet(part, "grupoFlujoTexto", "")));
    if (group.empty()) {
      out.Append(std::move(part));
      continue;
    }
    double& shift = shiftOf(group);

    int64_t r = ValueInt(HGet(part, "rotacion", Value::Int(0))) % 360;
    if (r < 0) r += 360;
    // Unrotated parts flow downwards, so later parts move up; rotated parts flow sideways or up.
    double fx = 0.0;
    double fy = 1.0;
    if (r == 90) {
      fx = 1.0;
      fy = 0.0;
    } else if (r == 180) {
      fy = -1.0;
    } else if (r == 270) {
      fx = -1.0;
      fy = 0.0;
    }
    const bool sideways = r == 90 || r == 270;
    auto move = [&](std::string_view key, double factor) {
      if (!part.Has(key)) return;
      Value position = ValueNumber(part[key]);
      part.Set(key, factor * shift == 0.0 ? position : Value(position.AsDouble() - factor * shift));
    };
    move("x", fx);
    move("y", fy);

    double h = std::max(0.0, ValueDouble(HGet(part, "alto", Value::Int(0))));
    double w = std::max(0.0, ValueDouble(HGet(part, "ancho", Value::Int(0))));
    double thickness = sideways ? w : h;
    double line = std::max(0.0, ValueDouble(HGet(part, "alturaLineaFlujoTexto", Value(thickness))));

    Value keep = HGet(part, "conservarParrafosVacios", true);
    bool keepsEmpty = keep.IsLogical() && keep.AsBool();
    if (keepsEmpty) {
      // A part that keeps its empty paragraphs had nothing suppressed: it keeps its size.
      out.Append(std::move(part));
      continue;
    }
    if (AllTrim(ValueString(HGet(part, "texto", ""))).empty()) {
      shift += line;
      continue;
    }
    double suppressed = std::min(thickness, std::max(0.0, ValueDouble(HGet(part, "alturaSuprimidaFlujoTexto"))));
    if (suppressed > 0.0) {
      if (sideways) part.Set("ancho", Value(std::max(0.1, w - suppressed)));
      else part.Set("alto", Value(std::max(0.1, h - suppressed)));
      shift += suppressed;
    }
    out.Append(std::move(part));
  }
  return out;
}

}  // namespace nv
