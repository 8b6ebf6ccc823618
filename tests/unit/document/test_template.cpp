#include <gtest/gtest.h>

#include <string>

#include "Accessors.h"
#include "Json.h"
#include "document/TDocument.h"
#include "objects/TObjectBase.h"
#include "objects/TRectangle.h"
#include "objects/TText.h"
#include "document/TPlantilla.h"
#include "Value.h"

using namespace nv;

namespace {

std::string DataPath(const std::string& name) { return std::string(NORVANE_TEST_DATA_DIR) + "/templates/" + name; }

Value Tpl(std::string_view json) {
  bool ok = false;
  Value v = DecodeJson(json, ok);
  EXPECT_TRUE(ok) << json;
  return v;
}

std::shared_ptr<TPlantilla> FromData(const Value& data) {
  auto tmpl = TPlantilla::New();
  tmpl->SetData(data)->Create();
  return tmpl;
}

std::shared_ptr<TPlantilla> FromFile(const std::string& name) {
  auto tmpl = TPlantilla::New(Value(DataPath(name)));
  tmpl->Create();
  return tmpl;
}

// The document an unreadable template gives: report kind, A4 portrait, no objects.
void ExpectEmptyDocument(const std::shared_ptr<TPlantilla>& tmpl, const std::string& what) {
  SCOPED_TRACE(what);
  auto doc = tmpl->Documento();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->cDocumentKind, "report");
  EXPECT_EQ(doc->cPaperFormat, "a4");
  EXPECT_EQ(doc->cPaperOrientation, "portrait");
  EXPECT_EQ(tmpl->GetObjetos().Len(), 0u);
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["ancho"]), 210.0);
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["alto"]), 297.0);
  EXPECT_FALSE(tmpl->IsLabelDocument().AsBool());
}

}  // namespace

TEST(Template, WithoutDocumentAnswersDefaults) {
  auto tmpl = TPlantilla::New(Value(17));
  EXPECT_EQ(tmpl->cRuta, "");
  EXPECT_TRUE(tmpl->oDocumento.IsNil());
  Value page = tmpl->GetPagina();
  std::string keys;
  const Value list = HashKeys(page);
  for (const Value& k : list.AsArray()) keys += k.AsString() + ",";
  EXPECT_EQ(keys, "ancho,alto,modoAlto,altoDiseno,margenInferiorContinuo,unidad,");
  EXPECT_EQ(ValueDouble(page["ancho"]), 210.0);
  EXPECT_EQ(ValueDouble(page["alto"]), 297.0);
  EXPECT_EQ(page["modoAlto"].AsString(), "fixed");
  EXPECT_EQ(ValueDouble(page["altoDiseno"]), 250.0);
  EXPECT_EQ(ValueDouble(page["margenInferiorContinuo"]), 5.0);
  EXPECT_EQ(page["unidad"].AsString(), "mm");
  EXPECT_EQ(tmpl->GetObjetos().Len(), 0u);
  EXPECT_TRUE(tmpl->GetUserVars().IsHash());
  EXPECT_TRUE(tmpl->GetAcumVars().IsHash());
  EXPECT_FALSE(tmpl->IsLabelDocument().AsBool());
  EXPECT_EQ(ValueInt(tmpl->GetLabelLayout()["nColumns"]), 3);
  EXPECT_EQ(ValueInt(tmpl->GetLabelLayout()["nRows"]), 8);
}

TEST(Template, SetDataBuildsTheDocumentAndAnswersItsQueries) {
  Value data = Tpl(R"j({"cType": "TDocument", "nPaperWidth": 100, "nPaperHeight": 60,
      "cPaperHeightMode": "content", "nContinuousBottomMargin": 3, "nDesignHeight": 90,
      "hUserVars": {"V": {"formula": "1"}}, "AcumVar": {"S": {"tipo": "numero"}}, "aObjects": []})j");
  auto tmpl = FromData(data);
  EXPECT_TRUE(tmpl->GetData().SameRef(data));
  Value page = tmpl->GetPagina();
  EXPECT_EQ(ValueDouble(page["ancho"]), 100.0);
  EXPECT_EQ(ValueDouble(page["alto"]), 60.0);
  EXPECT_EQ(page["modoAlto"].AsString(), "content");
  EXPECT_EQ(ValueDouble(page["margenInferiorContinuo"]), 3.0);
  EXPECT_EQ(ValueDouble(page["altoDiseno"]), 90.0);
  EXPECT_EQ(tmpl->GetUserVars()["V"]["formula"].AsString(), "1");
  EXPECT_EQ(tmpl->GetAcumVars()["S"]["tipo"].AsString(), "numero");
  // GetObjetos is the document's live list.
  EXPECT_TRUE(tmpl->GetObjetos().SameRef(tmpl->Documento()->aObjects));

  // Data set after Create is not used until Create runs again.
  tmpl->SetData(Tpl(R"j({"cDocumentKind": "label", "aObjects": []})j"));
  EXPECT_FALSE(tmpl->IsLabelDocument().AsBool());
  tmpl->Create();
  EXPECT_TRUE(tmpl->IsLabelDocument().AsBool());
  EXPECT_EQ(ValueDouble(tmpl->GetLabelLayout()["nLabelWidth"]), 70.0);

  tmpl->SetData(Value("not a hash"));
  EXPECT_TRUE(tmpl->GetData().IsHash());
  EXPECT_EQ(tmpl->GetData().Len(), 0u);

  Value text = Tpl(R"j({"aObjects": [{"cType": "TText", "cId": "t"}]})j");
  tmpl->SetData(text)->Create();
  Value object = tmpl->GetObjetos().Item(1);
  EXPECT_TRUE(tmpl->End().IsNil());
  EXPECT_TRUE(object.As<TObjectBase>()->oParent.IsNil());  // the document ended its objects
  EXPECT_TRUE(tmpl->oDocumento.IsNil());
  EXPECT_EQ(tmpl->GetData().Len(), 0u);
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["ancho"]), 210.0);
}

TEST(Template, OlderFormatIsConverted) {
  auto tmpl = FromData(Tpl(R"j({"nombre": "Viejo", "pagina": {"ancho": 80, "alto": 50},
      "objetos": [{"id": "r", "tipo": "TRectangle"}, {"id": "t", "tipo": "TText", "valor": "X"}]})j"));
  auto doc = tmpl->Documento();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->cTemplateName, "Viejo");
  EXPECT_EQ(ValueDouble(doc->nPaperWidth), 80.0);
  EXPECT_EQ(ValueDouble(doc->nPaperHeight), 50.0);
  EXPECT_EQ(doc->cPaperFormat, "custom");
  EXPECT_EQ(doc->cPaperOrientation, "landscape");
  Value objects = tmpl->GetObjetos();
  ASSERT_EQ(objects.Len(), 2u);
  EXPECT_NE(objects.Item(1).As<TRectangle>(), nullptr);
  EXPECT_NE(objects.Item(2).As<TText>(), nullptr);
  EXPECT_EQ(objects.Item(2).As<TText>()->cText, "X");

  // Neither page nor name: the document defaults.
  tmpl = FromData(Tpl(R"j({"pagina": 5, "objetos": "none"})j"));
  EXPECT_EQ(tmpl->Documento()->cTemplateName, "Documento");
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["ancho"]), 210.0);
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["alto"]), 297.0);
}

TEST(TemplateFiles, CurrentFormatFileLoads) {
  auto tmpl = FromFile("current_report.json");
  auto doc = tmpl->Documento();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->cTemplateName, "Factura");
  EXPECT_EQ(tmpl->GetPagina()["modoAlto"].AsString(), "content");
  EXPECT_EQ(ValueString(tmpl->GetPagina()["margenInferiorContinuo"]), "7.5");
  EXPECT_EQ(doc->GetLayerCondition(1).AsString(), "DATOS.PAGADO");
  EXPECT_EQ(tmpl->GetUserVars()["TOTAL"]["formula"].AsString(), "DATOS.IMPORTE * 2");
  EXPECT_EQ(tmpl->GetData()["cTemplateName"].AsString(), "Factura");
  Value objects = tmpl->GetObjetos();
  ASSERT_EQ(objects.Len(), 2u);
  EXPECT_EQ(ValueString(objects.Item(1).As<TObjectBase>()->cId), "cliente");
  EXPECT_EQ(ValueString(objects.Item(2).As<TObjectBase>()->cId), "marco");
  EXPECT_NE(objects.Item(2).As<TRectangle>(), nullptr);

  tmpl = FromFile("label_no_layout.json");
  EXPECT_TRUE(tmpl->IsLabelDocument().AsBool());
  Value layout = tmpl->GetLabelLayout();
  EXPECT_EQ(ValueDouble(layout["nLabelWidth"]), 70.0);
  EXPECT_EQ(ValueDouble(layout["nLabelHeight"]), 37.0);
  EXPECT_EQ(ValueInt(layout["nColumns"]), 3);
  EXPECT_EQ(ValueInt(layout["nRows"]), 8);
}

TEST(TemplateFiles, TheFileWinsOverData) {
  auto tmpl = TPlantilla::New(Value(DataPath("current_report.json")));
  tmpl->SetData(Tpl(R"j({"cTemplateName": "Datos", "cDocumentKind": "label", "aObjects": []})j"))->Create();
  EXPECT_EQ(tmpl->Documento()->cTemplateName, "Factura");
  EXPECT_FALSE(tmpl->IsLabelDocument().AsBool());

  // Even a file that cannot be read replaces the data: the template is empty.
  tmpl = TPlantilla::New();
  tmpl->SetData(Tpl(R"j({"cTemplateName": "Datos", "cDocumentKind": "label", "aObjects": []})j"));
  tmpl->SetRuta(Value(DataPath("does_not_exist.json")))->Create();
  EXPECT_EQ(tmpl->GetData().Len(), 0u);
  EXPECT_EQ(tmpl->Documento()->cTemplateName, "Documento");
  ExpectEmptyDocument(tmpl, "missing file over data");

  // A non-string path means no file, so the data is used.
  tmpl = TPlantilla::New();
  tmpl->SetData(Tpl(R"j({"cTemplateName": "Datos", "aObjects": []})j"))->SetRuta(Value(3))->Create();
  EXPECT_EQ(tmpl->Documento()->cTemplateName, "Datos");
}

TEST(TemplateFiles, UnreadableFilesGiveAnEmptyDocument) {
  for (const char* name : {"does_not_exist.json", "empty.json", "invalid_syntax.json", "truncated.json",
                           "top_level_array.json", "top_level_string.json"}) {
    auto tmpl = FromFile(name);
    EXPECT_EQ(tmpl->GetData().Len(), 0u) << name;
    ExpectEmptyDocument(tmpl, name);
  }
  // A directory is not a template file.
  auto tmpl = TPlantilla::New(Value(DataPath("")));
  tmpl->Create();
  ExpectEmptyDocument(tmpl, "directory");
}

TEST(TemplateFiles, OlderFormatFileIsConverted) {
  auto tmpl = FromFile("older_format.json");
  auto doc = tmpl->Documento();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->cTemplateName, "Formato antiguo");
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["ancho"]), 80.0);
  EXPECT_EQ(ValueDouble(tmpl->GetPagina()["alto"]), 50.0);
  Value objects = tmpl->GetObjetos();
  ASSERT_EQ(objects.Len(), 3u);  // the non-hash entry is skipped
  TRectangle* box = objects.Item(1).As<TRectangle>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ValueString(box->cId), "caja");
  EXPECT_EQ(ValueString(box->cName), "caja");  // the name defaults to the id
  EXPECT_EQ(ValueDouble(box->nLeft), 1.0);
  EXPECT_EQ(ValueDouble(box->nHeight), 10.0);
  TText* text = objects.Item(2).As<TText>();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(ValueString(text->cName), "Texto");
  EXPECT_EQ(ValueDouble(text->nLeft), 3.5);
  EXPECT_EQ(text->cText, "DATOS.CLIENTE");
  EXPECT_EQ(ValueString(text->cCondition), "not empty(DATOS.CLIENTE)");
  // Any other older type becomes a text.
  TText* image = objects.Item(3).As<TText>();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(ValueString(image->cId), "img");
  EXPECT_EQ(image->cText, "");
}
