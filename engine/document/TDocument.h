#pragma once
// The in-memory template: document-level settings (kind, paper, height mode, label sheet layout,
// layers, variable definitions) and the ordered list of layout objects. Loads itself from a template
// hash, normalising every setting to a closed set of values, and saves back to the same format.

#include <memory>
#include <string>
#include <string_view>

#include "Object.h"
#include "Value.h"

namespace nv {

class TDocument : public Object {
 public:
  std::string cFormatVersion = "1.0";
  std::string cTemplateId;
  std::string cTemplateName = "Documento";
  /// "report" or "label".
  std::string cDocumentKind = "report";
  /// A paper format id ("a4", "a5", "letter", "ticket-80", "ticket-58", any other text) or "custom".
  std::string cPaperFormat = "a4";
  /// "portrait" or "landscape".
  std::string cPaperOrientation = "portrait";
  /// Modification timestamp text (YYYYMMDDTHH:MM:SS); set at Init when empty.
  std::string tModifiedAt;
  std::string cFileName;
  /// File the document was last loaded from or saved to.
  std::string cCurrentFileName;
  bool lDirty = false;
  bool lSaving = false;
  std::string tLastSavedAt;
  /// Paper size in millimetres, numbers as loaded (their display decimals are kept for Save).
  Value nPaperWidth = Value(210);
  Value nPaperHeight = Value(297);
  /// "fixed" or "content" (continuous paper whose height follows the content).
  std::string cPaperHeightMode = "fixed";
  /// Design canvas height in millimetres, at least 1.
  Value nDesignHeight = Value(250);
  /// Millimetres added below the content in "content" mode, at least 0.
  Value nContinuousBottomMargin = Value(5);
  /// Designer zoom in percent and fit-to-page flag; neither is loaded nor saved.
  Value nZoom = Value(100);
  bool lFitPage = true;
  bool lShowGrid = true;
  /// Variable definitions: name -> {"tipo": text, "formula": text}.
  Value hUserVars = Value::NewHash();
  Value hAcumVars = Value::NewHash();
  /// Opaque metadata of an import, preserved as loaded.
  Value hImportMetadata = Value::NewHash();
  /// Label sheet layout, always the twelve keys of TLabelLayout::Default after Init and Load.
  Value hLabelLayout = Value::NewHash();
  /// Layers keyed by id digits; normalised again on every query.
  Value hLayers = Value::NewHash();
  /// Layout objects in template (drawing) order.
  Value aObjects = Value::NewArray();

  /// Returns a new document after Init.
  static std::shared_ptr<TDocument> New(const Value& ignored = Value());
  /// Sets the modification timestamp when empty and the default label layout when none is held.
  std::shared_ptr<TDocument> Init(const Value& ignored = Value());
  std::shared_ptr<TDocument> Create();
  /// Ends every held object and empties aObjects; other members stay.
  Value End() override;
  /// Returns the template hash of the document (the keys Load reads, normalised).
  Value Save();
  /// Replaces the document's settings and objects with those of a template hash. Never fails:
  /// a non-hash counts as an empty template, wrong kinds fall back to defaults, unknown object
  /// types and non-hash object entries are dropped.
  std::shared_ptr<TDocument> Load(const Value& tmpl);
  std::shared_ptr<TDocument> MarkDirty();
  /// Marks the document saved; a non-empty file name also becomes cFileName and cCurrentFileName.
  std::shared_ptr<TDocument> MarkSaved(const Value& fileName = Value());
  Value IsLabelDocument() const;
  Value IsReportDocument() const;
  Value IsContinuousDocument() const;
  /// Always false.
  Value IsListDocument() const;
  /// Returns ".lbl".
  Value GetDefaultExtension() const;
  /// Returns a fresh normalised layer hash for a layer id, layer "0" when there is no such layer.
  Value GetLayer(const Value& layerId) const;
  /// Returns the layer's trimmed condition text ("" when none).
  Value GetLayerCondition(const Value& layerId) const;
  /// Returns false only when the layer is hidden in the designer.
  Value IsLayerVisibleInDesign(const Value& layerId) const;
  /// Returns a new unloaded layout object owned by this document for an exact type name, or nil.
  Value CreateObjectByType(const Value& typeName);
  /// Returns a layout object built from an object hash ("cType" names its class), loaded and
  /// created, or nil for an unknown type.
  Value CreateObjectFromData(const Value& data);
  /// Gives every object its 1-based position in aObjects as its z-index.
  std::shared_ptr<TDocument> NormalizeZIndex();
  Value ToJSON() { return Save(); }
  std::shared_ptr<TDocument> FromJSON(const Value& tmpl) { return Load(tmpl); }

  /// Returns the layers hash keyed by id digits from an array or hash of layer entries; layer "0"
  /// is always present.
  static Value NormalizarCapas(const Value& layers);
  /// Returns the variable definitions normalised to name -> {"tipo", "formula"}.
  static Value NormalizarDefinicionesVariables(const Value& defs);

  std::string_view ClassName() const override { return "TDocument"; }
  bool RespondsTo(std::string_view name) const override;

 private:
  static std::string NormalizarDocumentKind(const Value& v);
  static std::string NormalizarPaperFormat(const Value& v);
  static std::string NormalizarPaperOrientation(const Value& v);
  static std::string NormalizarPaperHeightMode(const Value& v);
  static std::string InferirPaperFormat(const Value& w, const Value& h);
  static std::string InferirPaperOrientation(const Value& w, const Value& h);
  static std::string CurrentTimestamp();
  /// Finds the layer entry for an id in hLayers when hLayers is already in normalised form, so the
  /// per-object layer queries of an execution do not rebuild the layers; null otherwise.
  const Value* FindNormalisedLayer(int64_t id) const;
  /// Returns the layer for an id: the stored one when hLayers is normalised, else a rebuilt one.
  Value LayerFor(const Value& layerId) const;
};

}  // namespace nv
