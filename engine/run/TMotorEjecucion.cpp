#include "run/TMotorEjecucion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <utility>

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "run/TContextoEjecucion.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorPaginacion.h"
#include "document/TPlantilla.h"

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

  Value documento = Paginacion().Paginar(pagina, list);
  hPerformanceDiagnostics.Set("nPaginationMs", Elapsed(mark, MillisecondClock()));
  return documento;
}

namespace {

bool IsTrue(const Value& v) { return v.IsLogical() && v.AsBool(); }

// The cell grid of a label layout, read from the layout hash once: a run places every label
// with the same numbers.
struct LabelGrid {
  int64_t rows;
  int64_t columns;
  bool byColumn;
  double originX;
  double originY;
  double stepX;
  double stepY;

  explicit LabelGrid(const Value& layout) {
    auto number = [&](std::string_view key) { return ValueDouble(HGet(layout, key, Value::Int(0))); };
    rows = std::max<int64_t>(1, ValueInt(HGet(layout, "nRows", Value::Int(8))));
    columns = std::max<int64_t>(1, ValueInt(HGet(layout, "nColumns", Value::Int(3))));
    byColumn = ValueString(HGet(layout, "cFlow", "row")) == "column";
    originX = number("nPrintOffsetX") + number("nMarginLeft");
    originY = number("nPrintOffsetY") + number("nMarginTop");
    stepX = number("nLabelWidth") + number("nGapHorizontal");
    stepY = number("nLabelHeight") + number("nGapVertical");
  }

  // The top-left corner of a cell (0-based) in millimetres.
  std::pair<double, double> Position(int64_t cell) const {
    const int64_t row = byColumn ? cell % rows : cell / columns;
    const int64_t column = byColumn ? cell / rows : cell % columns;
    return {originX + static_cast<double>(column) * stepX, originY + static_cast<double>(row) * stepY};
  }
};

// The label road's view of the execution context: the real context class, or any object offering
// the label-road interface. Without a context the record and page calls are skipped and the
// progress reports answer "go on".
class LabelContext {
 public:
  explicit LabelContext(const Value& context)
      : real_(context.As<TContextoEjecucion>()), role_(real_ ? nullptr : context.As<ContextoEtiquetas>()), value_(context) {}

  Value Opciones() const {
    if (!nv::RespondsTo(value_, "GetOpciones")) return Value::NewHash();
    if (real_) return real_->GetOpciones();
    return role_ ? role_->GetOpciones() : Value::NewHash();
  }
  bool TieneProgreso() const {
    if (!nv::RespondsTo(value_, "TieneProgreso")) return false;
    if (real_) return IsTrue(real_->TieneProgreso());
    return role_ && IsTrue(role_->TieneProgreso());
  }
  bool InformarRegistroExaminado(int64_t record) const {
    Value answer = real_ ? real_->InformarRegistroExaminado(Value::Int(record))
                         : (role_ ? role_->InformarRegistroExaminado(Value::Int(record)) : Value(true));
    return !(answer.IsLogical() && !answer.AsBool());
  }
  bool InformarPaginaGenerada(int64_t pages) const {
    Value answer = real_ ? real_->InformarPaginaGenerada(Value::Int(pages))
                         : (role_ ? role_->InformarPaginaGenerada(Value::Int(pages)) : Value(true));
    return !(answer.IsLogical() && !answer.AsBool());
  }
  void SetEstadoPagina(int64_t page, int64_t total) const {
    if (real_) real_->SetEstadoPagina(Value::Int(page), Value::Int(total));
    else if (role_) role_->SetEstadoPagina(Value::Int(page), Value::Int(total));
  }
  void PushRegistroDetalle(const Value& record, int64_t index, int64_t count, const Value& previous,
                           const Value& next) const {
    if (real_) real_->PushRegistroDetalle(record, Value::Int(index), Value::Int(count), previous, next);
    else if (role_) role_->PushRegistroDetalle(record, Value::Int(index), Value::Int(count), previous, next);
  }
  // The page state and then the record, for each label: the real context takes both in one step.
  void EntrarRegistro(int64_t page, int64_t total, const Value& record, int64_t index, int64_t count,
                      const Value& previous, const Value& next) const {
    if (real_) {
      real_->EntrarRegistroEtiqueta(page, total, record, index, count, previous, next);
      return;
    }
    SetEstadoPagina(page, total);
    PushRegistroDetalle(record, index, count, previous, next);
  }
  void PopRegistroDetalle() const {
    if (real_) real_->PopRegistroDetalle();
    else if (role_) role_->PopRegistroDetalle();
  }

 private:
  TContextoEjecucion* real_;
  ContextoEtiquetas* role_;
  const Value& value_;
};

}  // namespace

TMotorPaginacion& TMotorEjecucion::Paginacion() const {
  auto* paginacion = oPaginacion.As<TMotorPaginacion>();
  if (!paginacion) ThrowMissingCollaborator("El motor de paginacion no es un TMotorPaginacion", "Paginar");
  return *paginacion;
}

Value TMotorEjecucion::LabelLayoutPlantilla() const {
  if (auto* plantilla = oPlantilla.As<TPlantilla>()) return plantilla->GetLabelLayout();
  if (auto* fuente = oPlantilla.As<FuentePlantilla>()) return fuente->GetLabelLayout();
  return Value::NewHash();
}

Value TMotorEjecucion::EjecutarEtiquetas() {
  Value pagina = PaginaPlantilla();
  Value layout = NormalizarLabelLayout(LabelLayoutPlantilla());
  const LabelGrid grid(layout);
  Value objetos = ObjetosPlantilla();
  Value records = RegistrosEtiquetas();
  const int64_t n = static_cast<int64_t>(records.Len());

  // Absurd row and column counts in a template must not overflow the cell count: it saturates.
  int64_t product = 0;
  if (__builtin_mul_overflow(layout["nRows"].AsNumber().i, layout["nColumns"].AsNumber().i, &product)) {
    product = INT64_MAX;
  }
  const int64_t cells = std::max<int64_t>(1, product);
  const int64_t skipped = EtiquetaInicial(cells) - 1;
  const int64_t sheets = std::max<int64_t>(1, CEILINGLOCAL(static_cast<double>(n + skipped) / static_cast<double>(cells)));

  auto documento = TDocumentoRenderizable::New(ValueNumber(HGet(pagina, "ancho", Value::Int(0))),
                                               ValueNumber(HGet(pagina, "alto", Value::Int(0))));
  documento->Create();
  Value sheet = Value::NewArray();
  int64_t currentSheet = 1;
  int64_t slot = skipped;
  LabelContext context(oContextoEjecucion);
  const bool progress = context.TieneProgreso();
  TMotorPaginacion& paginacion = Paginacion();
  paginacion.SetIgnorarSaltosPagina(true);

  const Array& list = records.AsArray();
  for (int64_t i = 1; i <= n; ++i) {
    if (progress && !context.InformarRegistroExaminado(i)) {
      documento->End();
      return Value();
    }
    const Value& record = list[static_cast<size_t>(i - 1)];
    Value previous = (i > 1 && list[static_cast<size_t>(i - 2)].IsHash()) ? list[static_cast<size_t>(i - 2)] : Value::NewHash();
    Value next = (i < n && list[static_cast<size_t>(i)].IsHash()) ? list[static_cast<size_t>(i)] : Value::NewHash();
    context.EntrarRegistro(slot / cells + 1, sheets, record, i - 1, n, previous, next);

    Value composed = Value::NewArray();
    if (objetos.IsArray()) {
      const size_t count = objetos.Len();
      composed.AsArray().reserve(count);  // one render object per layout object, as a rule
      for (size_t k = 0; k < count && k < objetos.Len(); ++k) {
        Value objeto = objetos.AsArray()[k];
        AgregarRenderizableCompuesto(composed, objeto);
      }
    }
    Value groups = paginacion.DividirObjetos(RecolocarFlujoTexto(composed));
    for (const Value& group : groups.AsArray()) {
      const int64_t cell = slot % cells;
      const int64_t sheetOfCell = slot / cells + 1;
      if (sheetOfCell != currentSheet) {
        documento->AddPagina(sheet);
        if (progress && !context.InformarPaginaGenerada(ValueInt(documento->TotalPaginas()))) {
          documento->End();
          return Value();
        }
        sheet = Value::NewArray();
        currentSheet = sheetOfCell;
      }
      const auto [dx, dy] = grid.Position(cell);
      for (const Value& objeto : group.AsArray()) sheet.Append(DesplazarRenderizableEtiqueta(objeto, dx, dy, i, cell + 1));
      ++slot;
    }
    context.PopRegistroDetalle();
  }
  documento->AddPagina(sheet);
  if (progress && !context.InformarPaginaGenerada(ValueInt(documento->TotalPaginas()))) {
    documento->End();
    return Value();
  }
  return Value(documento);
}

Value TMotorEjecucion::RegistrosEtiquetas() const {
  Value records;
  if (nv::RespondsTo(oConectorDatos, "GetRegistrosDetalle")) {
    if (auto* conector = oConectorDatos.As<TConectorDatos>()) {
      records = conector->GetRegistrosDetalle();
    } else if (auto* fuente = oConectorDatos.As<FuenteRegistros>()) {
      records = fuente->GetRegistrosDetalle();
    }
  }
  // A label document without records still prints one label, composed against an empty record.
  if (!records.IsArray() || records.Len() == 0) return Value::FromArray({Value::NewHash()});
  return records;
}

Value TMotorEjecucion::NormalizarLabelLayout(const Value& layout) {
  Value out = Value::NewHash();
  auto atLeast = [&](std::string_view key, double def, double floor) {
    out.Set(key, Value(std::max(floor, ValueDouble(HGet(layout, key, Value(def))))));
  };
  atLeast("nLabelWidth", 70.0, 1.0);
  atLeast("nLabelHeight", 37.0, 1.0);
  out.Set("nColumns", Value::Int(std::max<int64_t>(1, ValueInt(HGet(layout, "nColumns", Value::Int(3))))));
  out.Set("nRows", Value::Int(std::max<int64_t>(1, ValueInt(HGet(layout, "nRows", Value::Int(8))))));
  for (std::string_view key : {"nMarginLeft", "nMarginTop", "nGapHorizontal", "nGapVertical"}) atLeast(key, 0.0, 0.0);
  out.Set("cFlow", ValueString(HGet(layout, "cFlow", "row")) == "column" ? "column" : "row");
  std::string format = AllTrim(ValueString(HGet(layout, "cLabelFormat", "manual")));
  out.Set("cLabelFormat", format.empty() ? "manual" : format);
  out.Set("nPrintOffsetX", Value(ValueDouble(HGet(layout, "nPrintOffsetX", Value(0.0)))));
  out.Set("nPrintOffsetY", Value(ValueDouble(HGet(layout, "nPrintOffsetY", Value(0.0)))));
  return out;
}

Value TMotorEjecucion::PosicionEtiqueta(const Value& layout, int64_t cell) {
  const auto [x, y] = LabelGrid(layout).Position(cell);
  Value position = Value::NewHash();
  position.Set("x", Value(x));
  position.Set("y", Value(y));
  return position;
}

int64_t TMotorEjecucion::EtiquetaInicial(int64_t cells) const {
  Value opciones = LabelContext(oContextoEjecucion).Opciones();
  int64_t first = ValueInt(HGet(opciones, "nEtiquetaInicial", Value::Int(1)));
  return std::max<int64_t>(1, std::min(cells, first));
}

Value TMotorEjecucion::DesplazarRenderizableEtiqueta(const Value& objeto, double dx, double dy, int64_t registro,
                                                     int64_t cell) {
  if (!objeto.IsHash()) return objeto;
  Hash& hash = objeto.AsHash();
  // Every render object starts with "id", "tipo", "x", "y": the positions are tried first.
  auto shift = [&hash](std::string_view key, size_t hint, double delta) {
    Value* coordinate = nullptr;
    if (hint < hash.size() && hash.nth(hint)->first == key) coordinate = &hash.nth(hint).value();
    else coordinate = hash.Find(key);
    if (coordinate != nullptr && coordinate->IsNumber()) *coordinate = Value(coordinate->AsDouble() + delta);
  };
  shift("x", 2, dx);
  shift("y", 3, dy);
  static constexpr std::string_view kTagKeys[] = {"nRegistro", "nSlot", "nOffsetX", "nOffsetY"};
  static const Hash tagShape = Hash::Shape(kTagKeys, std::size(kTagKeys));
  HashPtr tag = Hash::CopyOfShape(tagShape);
  ShapeFiller put(*tag);
  put("nRegistro", Value::Int(registro));
  put("nSlot", Value::Int(cell));
  put("nOffsetX", Value(dx));
  put("nOffsetY", Value(dy));
  hash.Put("debugEtiqueta", Value(std::move(tag)));
  return objeto;
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
    // Most parts have no group: a missing, nil or blank text group is seen without building its
    // text form.
    const HashPtr* elementHash = element.HashRef();
    const Value* groupValue = elementHash != nullptr ? (*elementHash)->Find("grupoFlujoTexto") : nullptr;
    const bool noGroup =
        groupValue == nullptr || groupValue->IsNil() || (groupValue->IsString() && IsBlankText(groupValue->AsString()));
    std::string group = noGroup ? std::string() : AllTrim(ValueString(*groupValue));
    if (group.empty()) {
      // Left as it is, so no copy is needed, unless the part is also held outside the list (an
      // object that keeps its render object): later in-place changes, such as the label shift,
      // must not reach that holder.
      const HashPtr* hash = element.HashRef();
      const ArrayPtr* array = element.ArrayRef();
      const bool shared = (hash != nullptr && hash->use_count() > 1) || (array != nullptr && array->use_count() > 1);
      out.Append(shared ? element.Clone() : element);
      continue;
    }
    Value part = element.Clone();
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
