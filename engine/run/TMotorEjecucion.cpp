#include "run/TMotorEjecucion.h"

#include <array>
#include <utility>

#include "Accessors.h"
#include "Runtime.h"
#include "run/FuenteDiagnosticos.h"
#include "run/FuentePlantilla.h"
#include "run/FuenteRegistros.h"
#include "run/MotorFaltante.h"
#include "run/TEjecucionEtiquetas.h"
#include "run/TFlujoTexto.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorPaginacion.h"
#include "run/TContextoEjecucion.h"
#include "output/TDocumentoRenderizable.h"

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

FuentePlantilla* TMotorEjecucion::Plantilla(std::string_view message) const {
  if (!nv::RespondsTo(oPlantilla, message)) return nullptr;
  return oPlantilla.As<FuentePlantilla>();
}

bool TMotorEjecucion::EsDocumentoEtiquetas() const {
  FuentePlantilla* plantilla = Plantilla("IsLabelDocument");
  if (plantilla == nullptr) return false;
  Value answer = plantilla->IsLabelDocument();
  return answer.IsTrue();
}

Value TMotorEjecucion::PaginaPlantilla() const {
  FuentePlantilla* plantilla = Plantilla("GetPagina");
  return plantilla != nullptr ? plantilla->GetPagina() : Value::NewHash();
}

Value TMotorEjecucion::ObjetosPlantilla() const {
  FuentePlantilla* plantilla = Plantilla("GetObjetos");
  return plantilla != nullptr ? plantilla->GetObjetos() : Value::NewArray();
}

Value TMotorEjecucion::LabelLayoutPlantilla() const {
  FuentePlantilla* plantilla = Plantilla("GetLabelLayout");
  return plantilla != nullptr ? plantilla->GetLabelLayout() : Value::NewHash();
}

Value TMotorEjecucion::Ejecutar() {
  int64_t mark = MillisecondClock();
  ResetPerformanceDiagnostics();
  if (EsDocumentoEtiquetas()) {
    Value documento = EjecutarEtiquetas();
    SoltarCacheImagenes();
    return documento;
  }

  auto* contexto = oContextoEjecucion.As<TContextoEjecucion>();
  if (contexto != nullptr) contexto->lCancelado = false;
  Value pagina = PaginaPlantilla();
  Value objetos = ObjetosPlantilla();
  int64_t now = MillisecondClock();
  hPerformanceDiagnostics.Set("nSetupMs", Elapsed(mark, now));
  mark = now;

  Value list = ComponerObjetos(objetos);
  if (contexto != nullptr && contexto->lCancelado) {
    // A table whose progress callback cancelled the run gave no page; neither does the run.
    SoltarCacheImagenes();
    return Value();
  }
  now = MillisecondClock();
  hPerformanceDiagnostics.Set("nCompositionMs", Elapsed(mark, now));
  mark = now;

  list = TFlujoTexto::Recolocar(list);
  now = MillisecondClock();
  hPerformanceDiagnostics.Set("nReflowMs", Elapsed(mark, now));
  mark = now;

  Value documento = Paginacion().Paginar(pagina, list);
  hPerformanceDiagnostics.Set("nPaginationMs", Elapsed(mark, MillisecondClock()));
  AplicarSpoolAutomatico(documento);
  SoltarCacheImagenes();
  return documento;
}

void TMotorEjecucion::AplicarSpoolAutomatico(const Value& documento) const {
  auto* document = documento.As<TDocumentoRenderizable>();
  auto* contexto = oContextoEjecucion.As<TContextoEjecucion>();
  if (document == nullptr || contexto == nullptr) return;
  document->SetAutoPageSpooling(HGet(contexto->GetOpciones(), "nAutoSpoolObjectLimit"));
  // The pages were added before the limit was known: spool them now when they already reach it.
  if (document->nAutoSpoolObjectLimit > 0 && document->nTotalObjects >= document->nAutoSpoolObjectLimit) {
    document->EnablePageSpooling();
  }
}

void TMotorEjecucion::SoltarCacheImagenes() {
  if (auto* contexto = oContextoEjecucion.As<TContextoEjecucion>()) contexto->oCacheImagenes = Value();
}

Value TMotorEjecucion::EjecutarEtiquetas() {
  Value pagina = PaginaPlantilla();
  Value layout = LabelLayoutPlantilla();
  Value objetos = ObjetosPlantilla();
  std::shared_ptr<RecordSequence> registros = RegistrosEtiquetas();
  TEjecucionEtiquetas etiquetas(oComposicion.As<TMotorComposicion>(), Paginacion(), oContextoEjecucion);
  return etiquetas.Ejecutar(pagina, layout, objetos, *registros);
}

Value TMotorEjecucion::ComponerObjetos(const Value& objetos) {
  Value list = Value::NewArray();
  if (!objetos.IsArray()) return list;
  auto* composicion = oComposicion.As<TMotorComposicion>();
  const size_t count = objetos.Len();
  for (size_t i = 0; i < count; ++i) {
    // A layout object may change the template's list while composing; read each element afresh
    // and stop at the current end rather than read past it.
    if (i >= objetos.Len()) break;
    Value objeto = objetos.AsArray()[i];
    if (composicion == nullptr) FaltaMotorComposicion();
    if (auto* contexto = oContextoEjecucion.As<TContextoEjecucion>(); contexto != nullptr && contexto->lCancelado) break;
    TMotorComposicion::AgregarRenderizables(list, composicion->Componer(objeto, oContextoEjecucion));
    SumarDiagnosticosTabla(objeto);
  }
  return list;
}

TMotorPaginacion& TMotorEjecucion::Paginacion() const {
  auto* paginacion = oPaginacion.As<TMotorPaginacion>();
  if (paginacion == nullptr) FaltaMotorPaginacion();
  return *paginacion;
}

std::shared_ptr<RecordSequence> TMotorEjecucion::RegistrosEtiquetas() const {
  std::shared_ptr<RecordSequence> records;
  if (nv::RespondsTo(oConectorDatos, "GetRegistrosDetalle")) {
    if (auto* fuente = oConectorDatos.As<FuenteRegistros>()) records = fuente->GetSecuenciaRegistros();
  }
  // A label document without records still prints one label, composed against an empty record.
  if (!records || records->Count() == 0) {
    return std::make_shared<ArrayRecordSequence>(Value::FromArray({Value::NewHash()}));
  }
  return records;
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

}  // namespace nv
