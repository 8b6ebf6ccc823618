#pragma once
// What the execution engine sees of a template: takes the template as a hash or from a JSON file,
// upgrades the older page/object format, builds the document and answers the engine's queries.

#include <memory>
#include <string>
#include <string_view>

#include "Object.h"
#include "Value.h"
#include "run/FuentePlantilla.h"

namespace nv {

class TDocument;

class TPlantilla : public Object, public FuentePlantilla {
 public:
  /// The template hash supplied by SetData or read from cRuta at Create.
  Value hPlantilla = Value::NewHash();
  /// The document built by Create (a TDocument object), nil before.
  Value oDocumento;
  /// Path of the template JSON file; "" when the template comes from SetData.
  std::string cRuta;

  /// Returns a new template for a JSON file path (any non-string means no file).
  static std::shared_ptr<TPlantilla> New(const Value& path = Value());
  /// Ends the document, whose objects refer back to it, so a dropped template frees them.
  ~TPlantilla() override;
  std::shared_ptr<TPlantilla> Init(const Value& path = Value());
  /// Builds the document: reads cRuta when set (the file replaces any data, even when it cannot be
  /// read), converts the older format, and loads a new TDocument from the result.
  std::shared_ptr<TPlantilla> Create();
  /// Ends the document and clears every member.
  Value End() override;
  std::shared_ptr<TPlantilla> SetRuta(const Value& path);
  /// Sets the template hash (an empty hash for other kinds); used at the next Create.
  std::shared_ptr<TPlantilla> SetData(const Value& tmpl);
  /// Returns the page description {"ancho", "alto", "modoAlto", "altoDiseno",
  /// "margenInferiorContinuo", "unidad"}: millimetres, A4 portrait defaults without a document.
  Value GetPagina() const override;
  /// Returns the document's live object array, or a new empty array without a document.
  Value GetObjetos() const override;
  Value GetUserVars() const;
  Value GetAcumVars() const;
  Value IsLabelDocument() const override;
  /// Returns the document's label layout, or the default layout without a document.
  Value GetLabelLayout() const override;
  Value GetData() const { return hPlantilla; }

  /// Returns the document as its class, or null before Create.
  std::shared_ptr<TDocument> Documento() const;

  std::string_view ClassName() const override { return "TPlantilla"; }
  bool RespondsTo(std::string_view name) const override;

 private:
  static Value CargarJson(const Value& path);
  /// Returns a current-format template hash: the hash itself when it holds an "aObjects" array,
  /// else the conversion of the older "nombre" / "pagina" / "objetos" format.
  static Value NormalizarDocumento(const Value& tmpl);
};

}  // namespace nv
