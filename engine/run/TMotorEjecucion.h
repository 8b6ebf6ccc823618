#pragma once
// The execution engine: turns a template plus runtime data into a rendered document. It is wired
// to five collaborators it holds by reference and never ends: the template, the data connector,
// the composition engine, the pagination engine and the execution context.

#include <cstdint>
#include <memory>
#include <string_view>

#include "Object.h"
#include "Value.h"

namespace nv {

// The engine calls its collaborators through their own classes (TPlantilla, TConectorDatos,
// TContextoEjecucion, the layout object classes). An object of another class takes part by
// implementing the matching interface below; every call is still preceded by the responds-to test.

/// What the engine asks of a template.
class FuentePlantilla {
 public:
  virtual ~FuentePlantilla() = default;
  /// True (a logical) when the template is a label document.
  virtual Value IsLabelDocument() = 0;
  /// The page description hash ("ancho", "alto", "modoAlto", "margenInferiorContinuo", ...).
  virtual Value GetPagina() = 0;
  /// The layout objects, an array in template order.
  virtual Value GetObjetos() = 0;
  /// The label layout hash (label documents only).
  virtual Value GetLabelLayout() = 0;
};

/// A layout object that keeps timing figures (tables): a hash of "nSetupMs", "nRecordLoopMs", ...
class FuenteDiagnosticos {
 public:
  virtual ~FuenteDiagnosticos() = default;
  virtual Value GetPerformanceDiagnostics() = 0;
};

/// What the label road asks of the data connector.
class FuenteRegistros {
 public:
  virtual ~FuenteRegistros() = default;
  /// The detail records, an array of hashes.
  virtual Value GetRegistrosDetalle() = 0;
};

/// What the label road asks of the execution context: options, progress and record state.
class ContextoEtiquetas {
 public:
  virtual ~ContextoEtiquetas() = default;
  virtual Value GetOpciones() = 0;
  virtual Value TieneProgreso() = 0;
  virtual Value InformarRegistroExaminado(const Value& nRegistro) = 0;
  virtual Value InformarPaginaGenerada(const Value& nPaginas) = 0;
  virtual Value SetEstadoPagina(const Value& nPagina, const Value& nTotal) = 0;
  virtual Value PushRegistroDetalle(const Value& hRegistro, const Value& nIndice, const Value& nTotal,
                                    const Value& hAnterior, const Value& hSiguiente) = 0;
  virtual Value PopRegistroDetalle() = 0;
};

class TMotorPaginacion;

class TMotorEjecucion : public Object {
 public:
  static std::shared_ptr<TMotorEjecucion> New(const Value& plantilla = Value(), const Value& conector = Value(),
                                              const Value& composicion = Value(), const Value& paginacion = Value(),
                                              const Value& contexto = Value());

  std::string_view ClassName() const override { return "TMotorEjecucion"; }
  bool RespondsTo(std::string_view name) const override;

  /// Stores the five collaborators in order and resets the performance record.
  std::shared_ptr<TMotorEjecucion> Init(const Value& plantilla = Value(), const Value& conector = Value(),
                                        const Value& composicion = Value(), const Value& paginacion = Value(),
                                        const Value& contexto = Value());
  std::shared_ptr<TMotorEjecucion> Create();
  /// Drops the five references (ending none of them) and empties the performance record.
  Value End() override;
  std::shared_ptr<TMotorEjecucion> SetPlantilla(const Value& plantilla);
  std::shared_ptr<TMotorEjecucion> SetConectorDatos(const Value& conector);
  std::shared_ptr<TMotorEjecucion> SetComposicion(const Value& composicion);
  std::shared_ptr<TMotorEjecucion> SetPaginacion(const Value& paginacion);
  std::shared_ptr<TMotorEjecucion> SetContextoEjecucion(const Value& contexto);
  /// Runs the template: compose every object, reflow text-flow groups, paginate. Returns the
  /// rendered document (TDocumentoRenderizable), or nil when a label run is cancelled.
  Value Ejecutar();
  /// Returns a clone of the timing record of the last run (milliseconds and summed table figures).
  Value GetPerformanceDiagnostics() const;

  Value oPlantilla;
  Value oConectorDatos;
  Value oComposicion;
  Value oPaginacion;
  Value oContextoEjecucion;
  Value hPerformanceDiagnostics = Value::NewHash();

 private:
  /// The label road: one label per detail record, placed into the cells of label sheets.
  Value EjecutarEtiquetas();
  /// Composes one layout object and appends its render objects (none, one or a list) to list.
  void AgregarRenderizableCompuesto(const Value& list, const Value& objeto);
  /// Returns a new list where the parts of each text-flow group close up over their empty parts;
  /// the input list and its render objects are left unchanged.
  Value RecolocarFlujoTexto(const Value& list) const;
  /// True for a non-empty array whose elements are all hashes with the key "tipo".
  static bool EsListaRenderizables(const Value& value);
  /// The smallest integer not below n.
  static int64_t CEILINGLOCAL(double n);

  Value RegistrosEtiquetas() const;
  static Value NormalizarLabelLayout(const Value& layout);
  static Value PosicionEtiqueta(const Value& layout, int64_t cell);
  int64_t EtiquetaInicial(int64_t cells) const;
  static Value DesplazarRenderizableEtiqueta(const Value& objeto, double dx, double dy, int64_t registro,
                                             int64_t cell);

  void ResetPerformanceDiagnostics();
  void SumarDiagnosticosTabla(const Value& objeto);
  bool EsDocumentoEtiquetas() const;
  Value PaginaPlantilla() const;
  Value ObjetosPlantilla() const;
  Value LabelLayoutPlantilla() const;
  TMotorPaginacion& Paginacion() const;
};

}  // namespace nv
