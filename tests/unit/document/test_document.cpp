#include <gtest/gtest.h>

#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "objects/TBarcode.h"
#include "objects/TChart.h"
#include "objects/TImage.h"
#include "document/TDocument.h"
#include "document/TLabelLayout.h"
#include "objects/TObjectBase.h"
#include "objects/TRectangle.h"
#include "objects/TRichText.h"
#include "objects/TText.h"
#include "objects/table/TTable.h"
#include "Value.h"

using namespace nv;

namespace {

// Builds a template hash from JSON text written in the test (through the runtime decoder, as
// templates arrive in production).
Value Tpl(std::string_view json) {
  bool ok = false;
  Value v = DecodeJson(json, ok);
  EXPECT_TRUE(ok) << json;
  return v;
}

// Objects refer back to their document, so a test's document is ended when its last holder
// goes, as the document's owner would.
std::shared_ptr<TDocument> Ended(std::shared_ptr<TDocument> doc) {
  TDocument* raw = doc.get();
  return std::shared_ptr<TDocument>(raw, [held = std::move(doc)](TDocument*) mutable {
    held->End();
    held.reset();
  });
}

std::shared_ptr<TDocument> Loaded(const Value& tmpl) {
  auto doc = TDocument::New();
  doc->Create();
  doc->Load(tmpl);
  return Ended(doc);
}

std::string JoinedKeys(const Value& h) {
  std::string out;
  const Value keys = HashKeys(h);
  for (const Value& k : keys.AsArray()) out += (out.empty() ? "" : ",") + k.AsString();
  return out;
}

}  // namespace

TEST(DocumentDefaults, FreshDocumentHasCompleteLayoutAndTimestamp) {
  auto doc = TDocument::New();
  EXPECT_EQ(doc->cDocumentKind, "report");
  EXPECT_EQ(doc->cPaperFormat, "a4");
  EXPECT_EQ(doc->cPaperOrientation, "portrait");
  EXPECT_EQ(ValueDouble(doc->nPaperWidth), 210.0);
  EXPECT_EQ(ValueDouble(doc->nPaperHeight), 297.0);
  EXPECT_EQ(JoinedKeys(doc->hLabelLayout),
            "nLabelWidth,nLabelHeight,nColumns,nRows,nMarginLeft,nMarginTop,nGapHorizontal,nGapVertical,cFlow,"
            "cLabelFormat,nPrintOffsetX,nPrintOffsetY");
  // YYYYMMDDTHH:MM:SS
  ASSERT_EQ(doc->tModifiedAt.size(), 17u);
  EXPECT_EQ(doc->tModifiedAt[8], 'T');
  EXPECT_EQ(doc->tModifiedAt[11], ':');
  EXPECT_EQ(doc->tModifiedAt[14], ':');
  EXPECT_TRUE(doc->IsReportDocument().AsBool());
  EXPECT_FALSE(doc->IsLabelDocument().AsBool());
  EXPECT_FALSE(doc->IsListDocument().AsBool());
  EXPECT_EQ(doc->GetDefaultExtension().AsString(), ".lbl");
}

TEST(DocumentLoad, PaperFormatAndOrientationAreInferredOnlyWhenAbsent) {
  auto doc = Loaded(Tpl(R"j({"nPaperWidth": 297, "nPaperHeight": 210})j"));
  EXPECT_EQ(doc->cPaperFormat, "a4");
  EXPECT_EQ(doc->cPaperOrientation, "landscape");

  doc = Loaded(Tpl(R"j({"nPaperWidth": 80, "nPaperHeight": 50})j"));
  EXPECT_EQ(doc->cPaperFormat, "custom");
  EXPECT_EQ(doc->cPaperOrientation, "landscape");

  doc = Loaded(Tpl(R"j({"nPaperWidth": "215,9", "nPaperHeight": 279.4})j"));
  EXPECT_EQ(doc->cPaperFormat, "letter");
  EXPECT_EQ(doc->cPaperOrientation, "portrait");
  EXPECT_DOUBLE_EQ(ValueDouble(doc->nPaperWidth), 215.9);

  doc = Loaded(Tpl(R"j({"nPaperWidth": 100, "nPaperHeight": 100})j"));
  EXPECT_EQ(doc->cPaperOrientation, "portrait");  // square sheets are portrait

  // Explicit keys win over inference and are normalised.
  doc = Loaded(Tpl(R"j({"nPaperWidth": 297, "nPaperHeight": 210, "cPaperFormat": " A5 ",
                      "cPaperOrientation": "sideways"})j"));
  EXPECT_EQ(doc->cPaperFormat, "a5");
  EXPECT_EQ(doc->cPaperOrientation, "portrait");
  doc = Loaded(Tpl(R"j({"cPaperFormat": "  ", "cPaperOrientation": " LANDSCAPE"})j"));
  EXPECT_EQ(doc->cPaperFormat, "custom");
  EXPECT_EQ(doc->cPaperOrientation, "landscape");

  // Without any size the current A4 portrait values are used.
  doc = Loaded(Value::NewHash());
  EXPECT_EQ(doc->cPaperFormat, "a4");
  EXPECT_EQ(doc->cPaperOrientation, "portrait");
}

TEST(DocumentLoad, SettingsAreNormalisedToTheirClosedSets) {
  auto doc = Loaded(Tpl(R"j({"cDocumentKind": " Label ", "cPaperHeightMode": "CONTENT",
                           "nDesignHeight": 0.2, "nContinuousBottomMargin": -3, "lShowGrid": "no",
                           "cTemplateName": "Ventas", "cFileName": "ventas.lbl", "cFormatVersion": 2})j"));
  EXPECT_TRUE(doc->IsLabelDocument().AsBool());
  EXPECT_TRUE(doc->IsContinuousDocument().AsBool());
  EXPECT_EQ(ValueDouble(doc->nDesignHeight), 1.0);
  EXPECT_EQ(ValueDouble(doc->nContinuousBottomMargin), 0.0);
  EXPECT_FALSE(doc->lShowGrid);
  EXPECT_EQ(doc->cTemplateName, "Ventas");
  EXPECT_EQ(doc->cFileName, "ventas.lbl");
  EXPECT_EQ(doc->cCurrentFileName, "ventas.lbl");
  EXPECT_EQ(doc->cFormatVersion, "2");

  doc = Loaded(Tpl(R"j({"cDocumentKind": "list", "cPaperHeightMode": "auto", "nDesignHeight": "300"})j"));
  EXPECT_EQ(doc->cDocumentKind, "report");
  EXPECT_EQ(doc->cPaperHeightMode, "fixed");
  EXPECT_EQ(ValueDouble(doc->nDesignHeight), 300.0);
}

TEST(DocumentLoad, NonHashTemplatesGiveDefaults) {
  for (const Value& bad : {Value(), Value("text"), Value(12), Value::NewArray()}) {
    auto doc = Loaded(bad);
    EXPECT_EQ(doc->cDocumentKind, "report");
    EXPECT_EQ(doc->cTemplateName, "Documento");
    EXPECT_EQ(doc->aObjects.Len(), 0u);
    EXPECT_EQ(JoinedKeys(doc->hLayers), "0");
    EXPECT_EQ(doc->hLabelLayout.Len(), 12u);
    EXPECT_EQ(doc->hUserVars.Len(), 0u);
  }
  // Wrong kinds for the collection keys fall back too.
  auto doc = Loaded(Tpl(R"j({"hUserVars": [1, 2], "hImportMetadata": "x", "hLabelLayout": 5,
                           "hLayers": "layers", "aObjects": {"a": 1}})j"));
  EXPECT_EQ(doc->hUserVars.Len(), 0u);
  EXPECT_TRUE(doc->hImportMetadata.IsHash());
  EXPECT_EQ(doc->hLabelLayout.Len(), 12u);
  EXPECT_EQ(JoinedKeys(doc->hLayers), "0");
  EXPECT_EQ(doc->aObjects.Len(), 0u);
}

TEST(DocumentLabelLayout, IsAlwaysCompleteAndClamped) {
  auto doc = Loaded(Tpl(R"j({"hLabelLayout": {"nColumns": 0, "nRows": "4", "nLabelWidth": 0.5,
      "nMarginLeft": -2, "nGapVertical": "1,5", "cFlow": "column", "cLabelFormat": "  avery-l7160 ",
      "nPrintOffsetX": -0.5, "extra": true}})j"));
  const Value& l = doc->hLabelLayout;
  EXPECT_EQ(l.Len(), 12u);
  EXPECT_EQ(ValueInt(l["nColumns"]), 1);
  EXPECT_EQ(ValueInt(l["nRows"]), 4);
  EXPECT_EQ(ValueDouble(l["nLabelWidth"]), 1.0);
  EXPECT_EQ(ValueDouble(l["nLabelHeight"]), 37.0);
  EXPECT_EQ(ValueDouble(l["nMarginLeft"]), 0.0);
  EXPECT_EQ(ValueDouble(l["nGapVertical"]), 1.5);
  EXPECT_EQ(l["cFlow"].AsString(), "column");
  EXPECT_EQ(l["cLabelFormat"].AsString(), "avery-l7160");
  EXPECT_EQ(ValueDouble(l["nPrintOffsetX"]), -0.5);
  EXPECT_FALSE(l.Has("extra"));

  for (const char* flow : {"Column", "rows", "", " column"}) {
    Value layout = Value::NewHash();
    layout.Set("cFlow", flow);
    EXPECT_EQ(TLabelLayout::Normalizar(layout)["cFlow"].AsString(), "row") << flow;
  }
  Value layout = Value::NewHash();
  layout.Set("cLabelFormat", "   ");
  EXPECT_EQ(TLabelLayout::Normalizar(layout)["cLabelFormat"].AsString(), "manual");
  EXPECT_EQ(ValueInt(TLabelLayout::Normalizar(Value())["nRows"]), 8);
  EXPECT_EQ(ValueDouble(TLabelLayout::Normalizar(Value())["nLabelWidth"]), 70.0);
}

TEST(DocumentLayers, ArrayEntriesTakeTheirIdsAndConditionsAreTrimmed) {
  auto doc = Loaded(Tpl(R"j({"hLayers": [{"nId": 0, "cCondition": "empty(OMEMQUERY.cifc)"},
      {"nId": 1, "cCondition": "  not empty(OMEMQUERY.cifc)  ", "cColor": "#ABCDEF"}]})j"));
  EXPECT_EQ(JoinedKeys(doc->hLayers), "0,1");
  EXPECT_EQ(doc->GetLayerCondition(1).AsString(), "not empty(OMEMQUERY.cifc)");
  EXPECT_EQ(doc->GetLayerCondition(0).AsString(), "empty(OMEMQUERY.cifc)");
  EXPECT_EQ(doc->GetLayerCondition(7).AsString(), "empty(OMEMQUERY.cifc)");  // falls back to "0"
  EXPECT_EQ(doc->GetLayerCondition("1").AsString(), "not empty(OMEMQUERY.cifc)");
  Value layer1 = doc->GetLayer(1);
  EXPECT_EQ(JoinedKeys(layer1), "nId,cName,cCondition,lDesignerVisible,cColor");
  EXPECT_EQ(layer1["cName"].AsString(), "Capa 2");
  EXPECT_EQ(layer1["cColor"].AsString(), "#abcdef");
  EXPECT_TRUE(layer1["lDesignerVisible"].AsBool());

  // Array entries without "nId" take their position from 0; non-hash entries are skipped.
  doc = Loaded(Tpl(R"j({"hLayers": [{"cName": " Fondo "}, 5, {"cName": "Tercera"}]})j"));
  EXPECT_EQ(JoinedKeys(doc->hLayers), "0,2");
  EXPECT_EQ(doc->GetLayer(0)["cName"].AsString(), "Fondo");
  EXPECT_EQ(doc->GetLayer(2)["cName"].AsString(), "Tercera");
}

TEST(DocumentLayers, HashEntriesAndTheDefaultLayer) {
  auto doc = Loaded(Tpl(R"j({"hLayers": {"3": {"cColor": "red", "lDesignerVisible": false}}})j"));
  EXPECT_EQ(JoinedKeys(doc->hLayers), "3,0");
  Value layer3 = doc->GetLayer(3);
  EXPECT_EQ(ValueInt(layer3["nId"]), 3);
  EXPECT_EQ(layer3["cName"].AsString(), "Capa 4");
  EXPECT_EQ(layer3["cColor"].AsString(), "#000000");
  EXPECT_FALSE(doc->IsLayerVisibleInDesign(3).AsBool());
  EXPECT_TRUE(doc->IsLayerVisibleInDesign(0).AsBool());
  EXPECT_EQ(doc->GetLayer(0)["cName"].AsString(), "Capa 1");

  // A later entry with the same id replaces the earlier one in its position; a non-logical
  // designer flag counts as absent.
  doc = Loaded(Tpl(R"j({"hLayers": {"0": {"cName": "A"}, "x": {"nId": 2, "cName": "B"},
      "2": {"cName": "C", "lDesignerVisible": "no"}}})j"));
  EXPECT_EQ(JoinedKeys(doc->hLayers), "0,2");
  EXPECT_EQ(doc->GetLayer(2)["cName"].AsString(), "C");
  EXPECT_TRUE(doc->IsLayerVisibleInDesign(2).AsBool());
  // Extreme and text ids.
  doc = Loaded(Tpl(R"j({"hLayers": {"a": {"nId": 9223372036854775807}, "b": {"nId": 1e30},
      "-2": {"cName": ""}, "7x": {}}})j"));
  EXPECT_EQ(JoinedKeys(doc->hLayers), "9223372036854775807,-2,7,0");
  EXPECT_EQ(doc->hLayers["9223372036854775807"]["cName"].AsString(), "Capa 9223372036854775808");
  EXPECT_EQ(doc->hLayers["-2"]["cName"].AsString(), "Capa -1");
  EXPECT_EQ(doc->GetLayer("7")["cName"].AsString(), "Capa 8");
}

TEST(DocumentLayers, QueriesFollowChangesMadeToTheLayersAfterLoad) {
  auto doc = Loaded(Tpl(R"j({"hLayers": [{"nId": 0}, {"nId": 1, "cCondition": "A"}]})j"));
  EXPECT_EQ(doc->GetLayerCondition(1).AsString(), "A");
  // A host editing the stored layers in place, in a shape that is no longer normalised.
  doc->hLayers["1"].Set("cCondition", "  B  ");
  EXPECT_EQ(doc->GetLayerCondition(1).AsString(), "B");
  doc->hLayers["1"].Set("cCondition", "C");
  EXPECT_EQ(doc->GetLayerCondition(1).AsString(), "C");
  doc->hLayers["1"].Set("lDesignerVisible", false);
  EXPECT_FALSE(doc->IsLayerVisibleInDesign(1).AsBool());
  doc->hLayers = Value();
  EXPECT_EQ(doc->GetLayerCondition(1).AsString(), "");
  EXPECT_TRUE(doc->IsLayerVisibleInDesign(1).AsBool());
}

TEST(DocumentVariables, DefinitionsAreNormalisedAndUserVarIsTheFallback) {
  auto doc = Loaded(Tpl(R"j({"hUserVars": {" total ": {"formula": "A+B"}, "  ": {}, "x": 3,
      "y": {"tipo": "numero", "formula": 12}}, "UserVar": {"ignored": {}},
      "AcumVar": {"suma": {"tipo": "numero", "formula": "IMPORTE"}}})j"));
  EXPECT_EQ(JoinedKeys(doc->hUserVars), "total,x,y");
  EXPECT_EQ(doc->hUserVars["total"]["tipo"].AsString(), "texto");
  EXPECT_EQ(doc->hUserVars["total"]["formula"].AsString(), "A+B");
  EXPECT_EQ(doc->hUserVars["x"]["formula"].AsString(), "");
  EXPECT_EQ(doc->hUserVars["y"]["formula"].AsString(), "12");
  EXPECT_EQ(JoinedKeys(doc->hAcumVars), "suma");
  EXPECT_EQ(doc->hAcumVars["suma"]["formula"].AsString(), "IMPORTE");

  doc = Loaded(Tpl(R"j({"UserVar": {"v": {"tipo": "fecha"}}})j"));
  EXPECT_EQ(doc->hUserVars["v"]["tipo"].AsString(), "fecha");
}

TEST(DocumentSave, WritesNormalisedFormsAndRoundTrips) {
  Value tmpl = Tpl(R"j({"cTemplateId": "T-1", "cTemplateName": "Etiquetas", "cDocumentKind": "label",
      "nPaperWidth": 100, "nPaperHeight": 50.50, "cPaperHeightMode": "content", "nDesignHeight": 120,
      "nContinuousBottomMargin": 2.5, "lShowGrid": false, "tModifiedAt": "20240131T14:05:09",
      "hUserVars": {"a": {"tipo": "texto", "formula": "1"}}, "hImportMetadata": {"origen": "x"},
      "hLabelLayout": {"nColumns": 2, "cFlow": "column"}, "hLayers": [{"nId": 0, "cCondition": "A"}]})j");
  auto doc = Loaded(tmpl);
  Value saved = doc->Save();
  EXPECT_EQ(JoinedKeys(saved),
            "cType,cFormatVersion,cTemplateId,cTemplateName,cDocumentKind,cPaperFormat,cPaperOrientation,"
            "tModifiedAt,cFileName,nPaperWidth,nPaperHeight,cPaperHeightMode,nDesignHeight,"
            "nContinuousBottomMargin,lShowGrid,hUserVars,hAcumVars,hImportMetadata,hLabelLayout,hLayers,aObjects");
  EXPECT_EQ(saved["cType"].AsString(), "TDocument");
  EXPECT_EQ(saved["cPaperFormat"].AsString(), "custom");
  EXPECT_EQ(saved["cPaperOrientation"].AsString(), "landscape");
  EXPECT_EQ(ValueString(saved["nPaperHeight"]), "50.50");  // display decimals survive
  EXPECT_EQ(saved["tModifiedAt"].AsString(), "20240131T14:05:09");
  EXPECT_EQ(saved["hLabelLayout"].Len(), 12u);
  EXPECT_EQ(saved["hLayers"]["0"]["cCondition"].AsString(), "A");
  EXPECT_EQ(saved["hImportMetadata"]["origen"].AsString(), "x");

  // Loading the saved hash gives the same document, and saving again the same hash.
  auto again = Loaded(saved);
  EXPECT_EQ(EncodeJson(again->Save()), EncodeJson(saved));
  EXPECT_EQ(LiteralText(again->Save()), LiteralText(saved));

  // Members changed after load are saved in their normalised forms.
  doc->cDocumentKind = "weird";
  doc->nDesignHeight = Value(-4);
  doc->nContinuousBottomMargin = Value("x");
  saved = doc->Save();
  EXPECT_EQ(saved["cDocumentKind"].AsString(), "report");
  EXPECT_EQ(ValueDouble(saved["nDesignHeight"]), 1.0);
  EXPECT_EQ(ValueDouble(saved["nContinuousBottomMargin"]), 0.0);
}

TEST(DocumentEditing, MarkDirtyAndMarkSaved) {
  auto doc = TDocument::New();
  doc->MarkDirty();
  EXPECT_TRUE(doc->lDirty);
  doc->lSaving = true;
  doc->MarkSaved(Value(42));  // not a file name
  EXPECT_FALSE(doc->lDirty);
  EXPECT_FALSE(doc->lSaving);
  EXPECT_EQ(doc->cFileName, "");
  EXPECT_EQ(doc->tLastSavedAt.size(), 17u);
  doc->MarkSaved("out.lbl");
  EXPECT_EQ(doc->cFileName, "out.lbl");
  EXPECT_EQ(doc->cCurrentFileName, "out.lbl");
}

TEST(DocumentFactory, UnknownTypesGiveNil) {
  auto doc = TDocument::New();
  for (const char* type : {"", "TObjectBase", "TRichText", "ttext", "Text", " TText"}) {
    EXPECT_TRUE(doc->CreateObjectByType(type).IsNil()) << type;
  }
  EXPECT_TRUE(doc->CreateObjectByType(Value(3)).IsNil());
  EXPECT_TRUE(doc->CreateObjectFromData(Value()).IsNil());
  EXPECT_TRUE(doc->RespondsTo("getlayercondition"));
  EXPECT_TRUE(doc->RespondsTo("IsLayerVisibleInDesign"));
  EXPECT_FALSE(doc->RespondsTo("oParent"));
}

TEST(DocumentFactory, KnownTypesAreOwnedByTheDocument) {
  auto doc = Ended(TDocument::New());
  for (const char* type : {"TText", "TFormattedText", "TRectangle", "TEllipse", "TLine", "TTable"}) {
    Value object = doc->CreateObjectByType(type);
    ASSERT_TRUE(object.IsObject()) << type;
    EXPECT_EQ(object.ObjectRaw()->ClassName(), type);
    EXPECT_EQ(object.As<TObjectBase>()->oParent.ObjectRaw(), doc.get()) << type;
  }
  Value barcode = doc->CreateObjectByType("TBarcode");
  ASSERT_NE(barcode.As<TVBBarcode>(), nullptr);
  EXPECT_EQ(barcode.As<TObjectBase>()->oParent.ObjectRaw(), doc.get());
  // The rich text's type tag differs from its class name.
  Value richText = doc->CreateObjectByType("richText");
  ASSERT_NE(richText.As<TRichText>(), nullptr);
  EXPECT_EQ(richText.As<TObjectBase>()->oParent.ObjectRaw(), doc.get());
  Value image = doc->CreateObjectByType("TImage");
  ASSERT_NE(image.As<TVBImage>(), nullptr);
  EXPECT_EQ(image.As<TObjectBase>()->oParent.ObjectRaw(), doc.get());
  Value chart = doc->CreateObjectByType("TChart");
  ASSERT_NE(chart.As<TChart>(), nullptr);
  EXPECT_EQ(chart.As<TObjectBase>()->oParent.ObjectRaw(), doc.get());
  // Type names are exact: another spelling is unknown and dropped.
  for (const char* type : {"TTABLE", "ttext", "TRichText", "TVBImage", ""}) {
    EXPECT_TRUE(doc->CreateObjectByType(type).IsNil()) << type;
  }
  Value text = doc->CreateObjectFromData(Tpl(R"j({"cType": "TText", "cId": "t1", "cText": "DATOS.X"})j"));
  ASSERT_NE(text.As<TText>(), nullptr);
  EXPECT_EQ(ValueString(text.As<TText>()->cId), "t1");
  EXPECT_EQ(text.As<TText>()->cText, "DATOS.X");
  Value table = doc->CreateObjectFromData(Tpl(R"j({"cType": "TTable", "cId": "tb", "nWidth": 60})j"));
  ASSERT_NE(table.As<TTable>(), nullptr);
  EXPECT_EQ(JoinedKeys(table.As<TTable>()->hSections), "header,detail,footer,groupHeader,groupFooter");
  EXPECT_TRUE(doc->CreateObjectFromData(Tpl(R"j({"cType": "TRichText"})j")).IsNil());
  EXPECT_TRUE(doc->CreateObjectFromData(Tpl(R"j({"cId": "no type"})j")).IsNil());
}

TEST(DocumentObjects, LoadKeepsKnownObjectsInOrderAndRenumbersZIndex) {
  auto doc = Loaded(Tpl(R"j({"aObjects": [
      {"cType": "TText", "cId": "a", "nZIndex": 9},
      {"cType": "TRichText", "cId": "dropped"},
      "not an object",
      {"cType": "TRectangle", "cId": "b", "nZIndex": 1},
      {"cType": "Mystery", "cId": "unknown"},
      {"cType": "TLine", "cId": "c"},
      null,
      {"cType": "TBarcode", "cId": "d", "nZIndex": 0}]})j"));
  ASSERT_EQ(doc->aObjects.Len(), 4u);
  EXPECT_NE(doc->aObjects.Item(4).As<TVBBarcode>(), nullptr);
  EXPECT_EQ(ValueInt(doc->aObjects.Item(4).As<TObjectBase>()->nZIndex), 4);
  const char* ids[] = {"a", "b", "c"};
  for (size_t i = 1; i <= 3; ++i) {
    TObjectBase* object = doc->aObjects.Item(i).As<TObjectBase>();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(ValueString(object->cId), ids[i - 1]);
    EXPECT_EQ(ValueInt(object->nZIndex), static_cast<int64_t>(i));
  }
  EXPECT_NE(doc->aObjects.Item(2).As<TRectangle>(), nullptr);

  // The saved list holds the objects' own hashes in list order, with the renumbered z-index.
  Value saved = doc->Save();
  ASSERT_EQ(saved["aObjects"].Len(), 4u);
  EXPECT_EQ(saved["aObjects"].Item(4)["cType"].AsString(), "TBarcode");
  EXPECT_EQ(saved["aObjects"].Item(1)["cType"].AsString(), "TText");
  EXPECT_EQ(ValueInt(saved["aObjects"].Item(1)["nZIndex"]), 1);
  EXPECT_EQ(saved["aObjects"].Item(3)["cId"].AsString(), "c");
  auto again = Loaded(saved);
  EXPECT_EQ(EncodeJson(again->Save()), EncodeJson(saved));
}

TEST(DocumentObjects, LayerIdsOfObjectsReachTheirLayerConditions) {
  auto doc = Loaded(Tpl(R"j({"hLayers": [{"nId": 0, "cCondition": "empty(OMEMQUERY.cifc)"},
      {"nId": 1, "cCondition": "not empty(OMEMQUERY.cifc)"}], "aObjects": [
      {"cType": "TText", "cId": "layer_cash", "nLayerId": 0},
      {"cType": "TText", "cId": "layer_invoice", "nLayerId": 1}]})j"));
  ASSERT_EQ(doc->aObjects.Len(), 2u);
  TObjectBase* second = doc->aObjects.Item(2).As<TObjectBase>();
  EXPECT_EQ(ValueInt(second->nLayerId), 1);
  EXPECT_EQ(doc->GetLayerCondition(second->nLayerId).AsString(), "not empty(OMEMQUERY.cifc)");
}

TEST(DocumentObjects, EndAndReloadEndThePreviousObjects) {
  auto doc = Loaded(Tpl(R"j({"aObjects": [{"cType": "TText"}, {"cType": "TEllipse"}]})j"));
  Value first = doc->aObjects.Item(1);
  Value live = doc->aObjects;
  doc->Load(Tpl(R"j({"aObjects": [{"cType": "TRectangle"}]})j"));
  EXPECT_TRUE(first.As<TObjectBase>()->oParent.IsNil());  // ended
  EXPECT_EQ(live.Len(), 0u);                               // the old live list was emptied
  ASSERT_EQ(doc->aObjects.Len(), 1u);
  Value rect = doc->aObjects.Item(1);
  doc->cTemplateName = "kept";
  EXPECT_TRUE(doc->End().IsNil());
  EXPECT_EQ(doc->aObjects.Len(), 0u);
  EXPECT_TRUE(rect.As<TObjectBase>()->oParent.IsNil());
  EXPECT_EQ(doc->cTemplateName, "kept");
  EXPECT_TRUE(doc->End().IsNil());  // a second End is harmless
}
