#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "PipelineDoubles.h"
#include "Runtime.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"
#include "document/TPlantilla.h"
#include "Value.h"

using namespace nv;
using namespace nv::testing;

namespace {

std::vector<std::string> Ids(const Value& objects) {
  std::vector<std::string> ids;
  for (const Value& o : objects.AsArray()) ids.push_back(ValueString(HGet(o, "id", "?")));
  return ids;
}

Value Figures(double base, int64_t records) {
  Value d = Value::NewHash();
  int step = 0;
  for (const char* key : {"nSetupMs", "nRecordLoopMs", "nFinishMs", "nPartitionMs", "nRenderLinesMs",
                          "nCellContentMs", "nAccumulateMs"}) {
    d.Set(key, Value(base + step++));
  }
  d.Set("nRecordsExamined", Value::Int(records));
  d.Set("nTotalMs", Value(999.0));
  return d;
}

const std::vector<std::string> kRecordKeys = {
    "nSetupMs",          "nCompositionMs",     "nReflowMs",           "nPaginationMs",
    "nTableSetupMs",     "nTableRecordLoopMs", "nTableFinishMs",      "nTablePartitionMs",
    "nTableRenderLinesMs", "nTableCellContentMs", "nTableAccumulateMs", "nTableRecordsExamined"};

}  // namespace

TEST(Execution, TemplateWithoutAnswersGivesOneEmptyPage) {
  Pipeline p;
  p.motor->SetPlantilla(Value("not a template"));
  auto doc = p.Run();
  ASSERT_TRUE(doc);
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 0u);
  EXPECT_EQ(doc->nAncho, 0.0);
  EXPECT_EQ(doc->nAlto, 0.0);
  EXPECT_EQ(doc->cPaperHeightMode, "fixed");

  // A template object that does not offer the page or the objects counts the same.
  p.motor->SetPlantilla(Value(p.plantilla));
  p.plantilla->pagina.Set("ancho", Value::Int(80));
  p.plantilla->pagina.Set("alto", Value::Int(50));
  p.Add(Render("rectangulo", "r"));
  p.plantilla->ausentes = {"GetPagina", "GetObjetos"};
  doc = p.Run();
  EXPECT_EQ(doc->nAncho, 0.0);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 0u);

  // The real template without objects: one empty A4 page.
  auto plantilla = TPlantilla::New();
  plantilla->SetData(Value::NewHash())->Create();
  p.motor->SetPlantilla(Value(plantilla));
  doc = p.Run();
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 0u);
  EXPECT_DOUBLE_EQ(doc->nAncho, 210.0);
  EXPECT_DOUBLE_EQ(doc->nAlto, 297.0);
  plantilla->End();
}

TEST(Execution, ComposesEveryObjectInTemplateOrder) {
  Pipeline p;
  p.plantilla->pagina.Set("ancho", Value::Int(80));
  p.plantilla->pagina.Set("alto", Value::Int(50));
  auto first = p.Add(Render("texto", "a"));
  p.Add(Value());
  p.Add(Value::FromArray({Render("texto", "b1"), Render("linea", "b2")}));
  p.plantilla->objetos.Append(Value("not an object"));
  p.plantilla->objetos.Append(Value(std::make_shared<Object>()));
  // An empty list is not a list of render objects: it travels as one element, which
  // pagination drops because it is not a hash.
  p.Add(Value::NewArray());
  p.Add(Value::FromArray({Render("texto", "c1"), Value("loose")}));
  p.Add(Render("rectangulo", "d"));

  auto doc = p.Run();
  ASSERT_TRUE(doc);
  ASSERT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_EQ(Ids(doc->GetPagina(Value::Int(1))["objetos"]), (std::vector<std::string>{"a", "b1", "b2", "d"}));
  EXPECT_DOUBLE_EQ(doc->nAncho, 80.0);
  EXPECT_EQ(p.contexto->avisos,
            (std::vector<std::string>{"Objeto sin metodo generarRenderizable.", "Objeto sin metodo generarRenderizable."}));
  EXPECT_EQ(first->calls, 1);
  EXPECT_TRUE(first->lastContext.SameRef(Value(p.contexto)));

  // Every run starts over.
  doc = p.Run();
  EXPECT_EQ(first->calls, 2);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 4u);
  EXPECT_EQ(p.contexto->avisos.size(), 4u);
}

TEST(Execution, CompositionWithoutWarningReceiver) {
  auto composicion = TMotorComposicion::New(Value("x"));
  EXPECT_TRUE(composicion->hOpciones.IsHash());
  EXPECT_TRUE(composicion->Componer(Value::Int(3), Value()).IsNil());
  auto ctx = std::make_shared<ContextoDoble>();
  auto objeto = std::make_shared<ObjetoDoble>(Render("texto", "x"));
  EXPECT_EQ(ValueString(composicion->Componer(Value(objeto), Value(ctx))["id"]), "x");
  EXPECT_TRUE(ctx->avisos.empty());
  EXPECT_TRUE(composicion->Componer(Value(), Value(ctx)).IsNil());
  EXPECT_EQ(ctx->avisos.size(), 1u);
  composicion->Create();
  EXPECT_TRUE(composicion->lCreated);
  composicion->End();
  EXPECT_FALSE(composicion->lCreated);
}

TEST(Execution, PerformanceRecordSumsTableFiguresAndIsCloned) {
  Pipeline p;
  p.Add(Render("tabla", "t1"), Figures(1.5, 10));
  p.Add(Render("texto", "x"));
  p.Add(Render("tabla", "t2"), Figures(10, 5));
  p.Add(Render("tabla", "t3"), Value("not a hash"));
  auto doc = p.Run();
  ASSERT_TRUE(doc);

  Value record = p.motor->GetPerformanceDiagnostics();
  ASSERT_EQ(HashKeys(record).Len(), kRecordKeys.size());
  Value keys = HashKeys(record);
  for (size_t i = 0; i < kRecordKeys.size(); ++i) EXPECT_EQ(keys.Item(i + 1).AsString(), kRecordKeys[i]);
  EXPECT_DOUBLE_EQ(ValueDouble(record["nTableSetupMs"]), 11.5);
  EXPECT_DOUBLE_EQ(ValueDouble(record["nTableRecordLoopMs"]), 13.5);
  EXPECT_DOUBLE_EQ(ValueDouble(record["nTableAccumulateMs"]), 23.5);
  EXPECT_EQ(ValueInt(record["nTableRecordsExamined"]), 15);
  EXPECT_TRUE(record["nTableRecordsExamined"].AsNumber().isInteger);
  for (const char* key : {"nSetupMs", "nCompositionMs", "nReflowMs", "nPaginationMs"}) {
    EXPECT_TRUE(record[key].IsNumber());
    EXPECT_GE(ValueDouble(record[key]), 0.0);
  }

  // The record handed out is a copy.
  record.Set("nTableSetupMs", Value::Int(-1));
  EXPECT_DOUBLE_EQ(ValueDouble(p.motor->GetPerformanceDiagnostics()["nTableSetupMs"]), 11.5);
  // A second run resets before summing.
  p.Run();
  EXPECT_DOUBLE_EQ(ValueDouble(p.motor->GetPerformanceDiagnostics()["nTableSetupMs"]), 11.5);
}

TEST(Execution, LabelDocumentLeavesTheRecordAtZero) {
  Pipeline p;
  p.Add(Render("tabla", "t1"), Figures(1.5, 10));
  p.Run();
  p.plantilla->etiquetas = true;
  p.motor->Ejecutar();
  Value record = p.motor->GetPerformanceDiagnostics();
  for (const std::string& key : kRecordKeys) EXPECT_EQ(ValueDouble(record[key]), 0.0) << key;
}

TEST(Execution, HoldsCollaboratorsByReferenceAndEndsNone) {
  Pipeline p;
  auto motor = TMotorEjecucion::New();
  EXPECT_EQ(motor->SetPlantilla(Value::Int(7)).get(), motor.get());
  EXPECT_EQ(ValueInt(motor->oPlantilla), 7);
  motor->SetComposicion(Value(p.composicion))->SetPaginacion(Value(p.paginacion))->SetContextoEjecucion(Value(p.contexto));
  motor->SetConectorDatos(Value("conector"));
  EXPECT_TRUE(motor->oComposicion.SameRef(Value(p.composicion)));
  EXPECT_EQ(HashKeys(motor->GetPerformanceDiagnostics()).Len(), 12u);
  EXPECT_TRUE(motor->Ejecutar().AsShared<TDocumentoRenderizable>());

  motor->End();
  EXPECT_TRUE(motor->oPlantilla.IsNil());
  EXPECT_TRUE(motor->oComposicion.IsNil());
  EXPECT_TRUE(motor->oConectorDatos.IsNil());
  EXPECT_EQ(motor->hPerformanceDiagnostics.Len(), 0u);
  EXPECT_TRUE(p.composicion->lCreated);
  EXPECT_TRUE(p.paginacion->lCreated);

  // A miswired engine is a programming error that surfaces as a runtime error.
  motor->SetPaginacion(Value("nope"));
  motor->SetComposicion(Value(p.composicion));
  EXPECT_THROW(motor->Ejecutar(), RuntimeError);
  motor->SetPaginacion(Value(p.paginacion));
  motor->SetPlantilla(Value(p.plantilla));
  p.Add(Render("texto", "a"));
  motor->SetComposicion(Value());
  EXPECT_THROW(motor->Ejecutar(), RuntimeError);
}

TEST(Execution, SplitsOverflowingTextsOverPages) {
  Pipeline p;
  Value text = Render("texto", "t", 5, 5);
  text.Set("texto", "1\n2\n3\n4\n5");
  text.Set("ancho", Value::Int(40));
  text.Set("alto", Value::Int(10));
  text.Set("permiteSaltoPagina", true);
  p.Add(Render("rectangulo", "r"));
  p.Add(text);
  auto doc = p.Run();
  ASSERT_EQ(ValueInt(doc->TotalPaginas()), 3);
  EXPECT_EQ(Ids(doc->GetPagina(Value::Int(1))["objetos"]), (std::vector<std::string>{"r", "t"}));
  EXPECT_EQ(Ids(doc->GetPagina(Value::Int(3))["objetos"]), (std::vector<std::string>{"t__page_3"}));
}

TEST(Execution, NormalReportThroughTheRealCollaborators) {
  auto conector = TConectorDatosReg::New();
  conector->Create();
  Value definition = Value::NewHash();
  definition.Set("grupo", "DATOS");
  definition.Set("nombre", "CLIENTE");
  definition.Set("tipo", "texto");
  conector->SendDataVar(Value::FromArray({definition}), Value::FromArray({Value::FromArray({Value("Dulces Orbanel")})}));

  auto object = [](const char* type, const char* id, int left, int top, int width, int height) {
    Value o = Value::NewHash();
    o.Set("cType", type);
    o.Set("cId", id);
    o.Set("cName", id);
    o.Set("nLeft", left);
    o.Set("nTop", top);
    o.Set("nWidth", width);
    o.Set("nHeight", height);
    return o;
  };
  Value text = object("TText", "txt_cliente", 2, 3, 40, 8);
  text.Set("cText", "DATOS.CLIENTE");
  Value data = Value::NewHash();
  data.Set("cType", "TDocument");
  data.Set("cTemplateName", "Report normal");
  data.Set("nPaperWidth", 80);
  data.Set("nPaperHeight", 50);
  data.Set("aObjects", Value::FromArray({text, object("TRectangle", "rect1", 5, 15, 20, 10)}));
  auto plantilla = TPlantilla::New();
  plantilla->SetData(data)->Create();

  auto evaluador = TEvaluadorFormulas::New();
  evaluador->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  auto contexto = TContextoEjecucion::New(Value(conector), Value(evaluador), options);
  contexto->Create();
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto motor = TMotorEjecucion::New(Value(plantilla), Value(conector), Value(composicion), Value(paginacion),
                                    Value(contexto));
  motor->Create();

  auto doc = motor->Ejecutar().AsShared<TDocumentoRenderizable>();
  ASSERT_TRUE(doc);
  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 1u);
  const Value& objects = pages.Item(1)["objetos"];
  ASSERT_EQ(objects.Len(), 2u);
  EXPECT_EQ(ValueString(objects.Item(1)["texto"]), "Dulces Orbanel");
  EXPECT_EQ(ValueString(objects.Item(2)["tipo"]), "rectangulo");
  EXPECT_DOUBLE_EQ(doc->nAncho, 80.0);
  EXPECT_DOUBLE_EQ(doc->nAlto, 50.0);

  motor->End();
  contexto->End();
  evaluador->End();
  plantilla->End();
  conector->End();
  doc->End();
}
