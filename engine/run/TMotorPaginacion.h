#pragma once
// Pagination: turns the flat list of composed render objects into a rendered document. Objects
// keep their position and size; only texts that allow page breaks and overflow their own box are
// cut into fragments, fragment k going to page k in the same box.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Object.h"
#include "TextLines.h"
#include "Value.h"

namespace nv {

class TDocumentoRenderizable;

class TMotorPaginacion : public Object {
 public:
  /// Millimetres per typographic point (25.4 / 72 to 15 decimal places).
  static constexpr double kMmPorPunto = TextLines::kMmPorPunto;
  /// Average character width as a fraction of the font size.
  static constexpr double kFactorAnchoCaracter = TextLines::kFactorAnchoCaracter;
  /// Smallest line height, mm.
  static constexpr double kAltoLineaMinimo = 0.1;
  /// Tolerance when testing whether lines fit a box, mm.
  static constexpr double kToleranciaAjuste = 0.000001;
  /// Characters per line of a box without usable width.
  static constexpr int64_t kCaracteresSinLimite = TextLines::kCaracteresSinLimite;

  static std::shared_ptr<TMotorPaginacion> New(const Value& opciones = Value());

  std::string_view ClassName() const override { return "TMotorPaginacion"; }
  bool RespondsTo(std::string_view name) const override;

  /// Stores the options (an empty hash for a non-hash) and clears both flags.
  std::shared_ptr<TMotorPaginacion> Init(const Value& opciones = Value());
  std::shared_ptr<TMotorPaginacion> Create();
  Value End() override;
  std::shared_ptr<TMotorPaginacion> SetOpciones(const Value& opciones);
  /// When flag is the logical true no object is ever split again (until Init or End).
  std::shared_ptr<TMotorPaginacion> SetIgnorarSaltosPagina(const Value& flag);
  /// Returns a new rendered document (as a Value) for a page description ("ancho", "alto",
  /// "modoAlto", "margenInferiorContinuo") and an array of render objects.
  Value Paginar(const Value& pagina, const Value& objetos);
  /// Returns the pages (arrays of render objects, at least one) that the objects fall into when
  /// overflowing texts are split. Non-hash elements are dropped.
  Value DividirObjetos(const Value& objetos);

  /// Typed form of Paginar.
  std::shared_ptr<TDocumentoRenderizable> PaginarDocumento(const Value& pagina, const Value& objetos);

  Value hOpciones = Value::NewHash();
  bool lCreated = false;
  bool lIgnorarSaltosPagina = false;

 private:
  /// One line as drawn in a box: its text and whether it closes a paragraph.
  struct LineaVisual {
    std::string texto;
    bool finParrafo = false;
  };
  using Lineas = std::vector<LineaVisual>;

  double CalcularAltoContenido(const Value& objetos, const Value& margen) const;
  /// Appends the fragments of one render object to out (the object itself when it is not split).
  void DividirTexto(const Value& objeto, std::vector<Value>& out) const;
  /// Re-cuts the runs of a formatted text to text, consuming characters from the shared cursor.
  Value FragmentRichTextRuns(const Value& runs, std::string_view text, const Value& cursor) const;
  std::vector<Lineas> FragmentarLineas(const Value& objeto, Lineas lineas) const;
  Lineas LineasVisuales(const Value& objeto) const;
  std::string UnirLineas(const Lineas& lineas) const;
};

}  // namespace nv
