#pragma once
// The label road of the execution engine: one label per detail record, composed against that
// record, reflowed and split as a page would be, and placed into the next cell of the label sheet.
// The collaborators are resolved once per run, so the per-record path makes no casts.

#include <cstdint>
#include <vector>

#include "Value.h"
#include "data/RecordSequence.h"

namespace nv {

class ContextoEtiquetas;
class ObjetoComponible;
class TDocumentoRenderizable;
class TMotorComposicion;
class TMotorPaginacion;

class TEjecucionEtiquetas {
 public:
  /// Readies a run over the engines and the execution context. composicion is null when the
  /// engine holds no composition engine: the run raises the miswiring error when it first composes.
  /// contexto may be anything: without the label context interface the record calls are skipped,
  /// the options are empty and progress reports answer "go on".
  TEjecucionEtiquetas(TMotorComposicion* composicion, TMotorPaginacion& paginacion, const Value& contexto);

  /// Runs the labels: pagina is the page description ("ancho", "alto"), layout the label layout of
  /// any form, objetos the layout objects, registros the detail records (at least one). Returns the
  /// rendered document (TDocumentoRenderizable), or nil when a progress report cancels the run.
  Value Ejecutar(const Value& pagina, const Value& layout, const Value& objetos, RecordSequence& registros);

 private:
  class RepeticionDeObjetos;
  /// The options of the context, or an empty hash.
  Value Opciones() const;
  bool TieneProgreso() const;
  bool InformarRegistroExaminado(int64_t registro) const;
  bool InformarPaginaGenerada(int64_t paginas) const;
  /// The first cell to fill (from 1) from option "nEtiquetaInicial", within 1 .. cells.
  int64_t EtiquetaInicial(int64_t cells) const;
  /// The record at a position (from 0) when it is a hash; an empty hash otherwise and past the ends.
  /// Adds a finished sheet to the document and reports it; false (the document ended) when the
  /// report cancels the run.
  bool CerrarHoja(TDocumentoRenderizable& documento, const Value& sheet, bool progress);
  /// Composes every layout object for the current record into one list.
  Value ComponerEtiqueta(const Value& objetos);
  /// The object at position k of the template's list as a composable object: resolved on the
  /// first record and again only when the list holds another object there.
  ObjetoComponible* Resolver(size_t k, const Value& objeto);
  /// Moves a render object by (dx, dy) mm and tags it with its record (from 1) and cell (from 1).
  static Value DesplazarRenderizable(const Value& objeto, double dx, double dy, int64_t registro, int64_t cell);
  /// The sheets a run of labels fills when it starts after `skipped` cells (fewer than cells, the
  /// cells of one sheet): the ceiling of (labels + skipped) / cells, at least 1, exact for any
  /// counts up to the largest integer.
  static int64_t HojasNecesarias(int64_t labels, int64_t skipped, int64_t cells);

  struct ObjetoResuelto {
    Value objeto;  // held, so that the object stays alive while it is remembered
    ObjetoComponible* componible = nullptr;
  };

  TMotorComposicion* composicion_;
  TMotorPaginacion& paginacion_;
  const Value& contexto_;
  ContextoEtiquetas* etiquetas_;
  std::vector<ObjetoResuelto> resueltos_;
};

}  // namespace nv
