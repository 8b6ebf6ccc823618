#include "run/TEjecucionEtiquetas.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "document/TLabelLayout.h"
#include "output/TDocumentoRenderizable.h"
#include "run/ContextoEtiquetas.h"
#include "run/MotorFaltante.h"
#include "run/TFlujoTexto.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorPaginacion.h"

namespace nv {

namespace {


// A progress report goes on unless the answer is the logical false.
bool GoesOn(const Value& answer) { return !answer.IsFalse(); }

}  // namespace

// Marks the template's objects as composed once per record for its lifetime, on every way out of
// the run. The objects are held so that each one is told the end even if the list changes.
class TEjecucionEtiquetas::RepeticionDeObjetos {
 public:
  RepeticionDeObjetos(TEjecucionEtiquetas& run, const Value& objetos) {
    if (!objetos.IsArray()) return;
    for (size_t k = 0; k < objetos.Len(); ++k) {
      const Value objeto = objetos.AsArray()[k];
      if (ObjetoComponible* componible = run.Resolver(k, objeto)) {
        componible->IniciarComposicionRepetida();
        marcados_.push_back({objeto, componible});
      }
    }
  }
  ~RepeticionDeObjetos() {
    for (const auto& [objeto, componible] : marcados_) componible->TerminarComposicionRepetida();
  }
  RepeticionDeObjetos(const RepeticionDeObjetos&) = delete;
  RepeticionDeObjetos& operator=(const RepeticionDeObjetos&) = delete;

 private:
  std::vector<std::pair<Value, ObjetoComponible*>> marcados_;
};

TEjecucionEtiquetas::TEjecucionEtiquetas(TMotorComposicion* composicion, TMotorPaginacion& paginacion,
                                         const Value& contexto)
    : composicion_(composicion),
      paginacion_(paginacion),
      contexto_(contexto),
      etiquetas_(contexto.As<ContextoEtiquetas>()) {}

Value TEjecucionEtiquetas::Opciones() const {
  if (!nv::RespondsTo(contexto_, "GetOpciones") || etiquetas_ == nullptr) return Value::NewHash();
  return etiquetas_->GetOpciones();
}

bool TEjecucionEtiquetas::TieneProgreso() const {
  return nv::RespondsTo(contexto_, "TieneProgreso") && etiquetas_ != nullptr && etiquetas_->TieneProgreso().IsTrue();
}

bool TEjecucionEtiquetas::InformarRegistroExaminado(int64_t registro) const {
  return etiquetas_ == nullptr || GoesOn(etiquetas_->InformarRegistroExaminado(Value::Int(registro)));
}

bool TEjecucionEtiquetas::InformarPaginaGenerada(int64_t paginas) const {
  return etiquetas_ == nullptr || GoesOn(etiquetas_->InformarPaginaGenerada(Value::Int(paginas)));
}

int64_t TEjecucionEtiquetas::EtiquetaInicial(int64_t cells) const {
  int64_t first = ValueInt(HGet(Opciones(), "nEtiquetaInicial", Value::Int(1)));
  return std::max<int64_t>(1, std::min(cells, first));
}

Value TEjecucionEtiquetas::Ejecutar(const Value& pagina, const Value& layout, const Value& objetos,
                                    RecordSequence& registros) {
  const TLabelLayout grid(layout);
  const int64_t n = registros.Count();
  const int64_t cells = grid.CeldasPorHoja();
  const int64_t skipped = EtiquetaInicial(cells) - 1;
  const int64_t sheets = HojasNecesarias(n, skipped, cells);

  auto documento = TDocumentoRenderizable::New(ValueNumber(HGet(pagina, "ancho", Value::Int(0))),
                                               ValueNumber(HGet(pagina, "alto", Value::Int(0))));
  documento->Create();
  // A long run hands its pages to the spool as it goes instead of holding every sheet until it returns.
  documento->SetAutoPageSpooling(HGet(Opciones(), "nAutoSpoolObjectLimit"));
  Value sheet = Value::NewArray();
  int64_t currentSheet = 1;
  // The slot counter is kept as its sheet and its cell: one counter over all sheets would pass the
  // largest integer when the grid saturates and the run starts at its last cell.
  int64_t slotSheet = 1;
  int64_t cell = skipped;
  const bool progress = TieneProgreso();
  paginacion_.SetIgnorarSaltosPagina(true);
  if (objetos.IsArray()) resueltos_.reserve(objetos.Len());

  // Every object is composed once per record: tell the objects of the template so that they may
  // reuse, until the run ends, what they build that does not depend on the record.
  RepeticionDeObjetos repeticion(*this, objetos);
  for (int64_t i = 1; i <= n; ++i) {
    if (progress && !InformarRegistroExaminado(i)) {
      documento->End();
      return Value();
    }
    if (etiquetas_ != nullptr) {
      etiquetas_->EntrarRegistroEtiqueta(slotSheet, sheets, registros.At(i - 1), i - 1, n, registros.At(i - 2),
                                         registros.At(i));
    }

    Value groups = paginacion_.DividirObjetos(TFlujoTexto::Recolocar(ComponerEtiqueta(objetos)));
    for (const Value& group : groups.AsArray()) {
      if (slotSheet != currentSheet) {
        if (!CerrarHoja(*documento, sheet, progress)) return Value();
        sheet = Value::NewArray();
        currentSheet = slotSheet;
      }
      const auto [dx, dy] = grid.PosicionCelda(cell);
      for (const Value& objeto : group.AsArray()) sheet.Append(DesplazarRenderizable(objeto, dx, dy, i, cell + 1));
      if (++cell == cells) {
        cell = 0;
        ++slotSheet;
      }
    }
    if (etiquetas_ != nullptr) etiquetas_->PopRegistroDetalle();
  }
  if (!CerrarHoja(*documento, sheet, progress)) return Value();
  return Value(documento);
}

bool TEjecucionEtiquetas::CerrarHoja(TDocumentoRenderizable& documento, const Value& sheet, bool progress) {
  documento.AddPagina(sheet);
  if (!progress || InformarPaginaGenerada(ValueInt(documento.TotalPaginas()))) return true;
  documento.End();
  return false;
}

Value TEjecucionEtiquetas::ComponerEtiqueta(const Value& objetos) {
  Value composed = Value::NewArray();
  if (!objetos.IsArray()) return composed;
  const size_t count = objetos.Len();
  composed.AsArray().reserve(count);  // one render object per layout object, as a rule
  // A layout object may change the template's list while composing: stop at its current end.
  for (size_t k = 0; k < count && k < objetos.Len(); ++k) {
    ObjetoComponible* componible = Resolver(k, objetos.AsArray()[k]);
    if (composicion_ == nullptr) FaltaMotorComposicion();
    TMotorComposicion::AgregarRenderizables(composed, composicion_->Componer(componible, contexto_));
  }
  return composed;
}

ObjetoComponible* TEjecucionEtiquetas::Resolver(size_t k, const Value& objeto) {
  if (k >= resueltos_.size()) resueltos_.resize(k + 1);
  ObjetoResuelto& entry = resueltos_[k];
  // Anything that is not an object resolves to null, as a fresh entry does.
  if (entry.objeto.ObjectRaw() != objeto.ObjectRaw()) {
    entry.objeto = objeto;
    entry.componible = TMotorComposicion::Componible(objeto);
  }
  return entry.componible;
}

Value TEjecucionEtiquetas::DesplazarRenderizable(const Value& objeto, double dx, double dy, int64_t registro,
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

int64_t TEjecucionEtiquetas::HojasNecesarias(int64_t labels, int64_t skipped, int64_t cells) {
  // Without forming the sum: with a saturated grid the skipped cells alone come close to the
  // largest integer, and as doubles the sum would round the labels away.
  int64_t sheets = labels / cells;
  int64_t rest = labels % cells;
  if (rest >= cells - skipped) {
    ++sheets;
    rest -= cells - skipped;
  } else {
    rest += skipped;
  }
  if (rest > 0) ++sheets;
  return std::max<int64_t>(1, sheets);
}

}  // namespace nv
