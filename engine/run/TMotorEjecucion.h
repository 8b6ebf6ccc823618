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

// The engine calls its collaborators only through the interfaces it declares (FuentePlantilla,
// FuenteRegistros, FuenteDiagnosticos, and those of composition and of the label road), each call
// preceded by the responds-to test; TPlantilla, TConectorDatos, TContextoEjecucion and the layout
// objects implement them, and so may any other object.

class FuentePlantilla;
class RecordSequence;
class TMotorComposicion;
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
  /// Runs the template: compose every object, reflow text-flow groups (TFlujoTexto), paginate; a
  /// label document takes the label road (TEjecucionEtiquetas) instead. Returns the rendered
  /// document (TDocumentoRenderizable), or nil when a progress callback cancelled the run.
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
  /// The label road with the template's page, layout and objects and the connector's records.
  Value EjecutarEtiquetas();
  /// Drops the image results the run kept on the context: the next run reads its files afresh.
  /// Applies the run option "nAutoSpoolObjectLimit" to a document pagination returned.
  void AplicarSpoolAutomatico(const Value& documento) const;
  void SoltarCacheImagenes();
  /// Composes every layout object in template order into one list of render objects, summing the
  /// timing figures of the objects that keep them.
  Value ComponerObjetos(const Value& objetos);
  /// The detail records of a label run: the connector's, or one empty record when there are none.
  std::shared_ptr<RecordSequence> RegistrosEtiquetas() const;
  void ResetPerformanceDiagnostics();
  void SumarDiagnosticosTabla(const Value& objeto);
  bool EsDocumentoEtiquetas() const;
  Value PaginaPlantilla() const;
  Value ObjetosPlantilla() const;
  Value LabelLayoutPlantilla() const;
  /// The template as a template source when it responds to the message; else null.
  FuentePlantilla* Plantilla(std::string_view message) const;
  TMotorPaginacion& Paginacion() const;
};

}  // namespace nv
