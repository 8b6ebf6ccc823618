#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Accessors.h"
#include "PipelineDoubles.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"
#include "document/TPlantilla.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;
using namespace nv::testing;

namespace {

// 20 x 10 mm labels, 2 columns by 2 rows, margins 5 (left) and 3 (top), gaps 2 and 4, one text
// object at (1, 2), and the given number of records numbered "1", "2", ...
struct Labels {
  std::shared_ptr<PlantillaDoble> plantilla = std::make_shared<PlantillaDoble>();
  std::shared_ptr<ContextoEtiquetasDoble> contexto = std::make_shared<ContextoEtiquetasDoble>();
  std::shared_ptr<ConectorDoble> conector = std::make_shared<ConectorDoble>();
  std::shared_ptr<TMotorComposicion> composicion = TMotorComposicion::New();
  std::shared_ptr<TMotorPaginacion> paginacion = TMotorPaginacion::New();
  std::shared_ptr<TMotorEjecucion> motor;

  explicit Labels(int records) {
    plantilla->etiquetas = true;
    plantilla->pagina.Set("ancho", Value(210.0));
    plantilla->pagina.Set("alto", Value(297.0));
    Value& layout = plantilla->layout;
    layout.Set("nLabelWidth", Value::Int(20));
    layout.Set("nLabelHeight", Value::Int(10));
    layout.Set("nColumns", Value::Int(2));
    layout.Set("nRows", Value::Int(2));
    layout.Set("nMarginLeft", Value::Int(5));
    layout.Set("nMarginTop", Value::Int(3));
    layout.Set("nGapHorizontal", Value::Int(2));
    layout.Set("nGapVertical", Value::Int(4));
    Value text = Render("texto", "t", 1, 2);
    text.Set("ancho", Value::Int(18));
    text.Set("alto", Value::Int(5));
    plantilla->objetos.Append(Value(std::make_shared<EtiquetaDoble>(text)));
    for (int i = 1; i <= records; ++i) {
      Value record = Value::NewHash();
      record.Set("N", std::to_string(i));
      conector->registros.Append(record);
    }
    composicion->Create();
    paginacion->Create();
    motor = TMotorEjecucion::New(Value(plantilla), Value(conector), Value(composicion), Value(paginacion),
                                 Value(contexto));
  }
  std::shared_ptr<TDocumentoRenderizable> Run() { return motor->Ejecutar().AsShared<TDocumentoRenderizable>(); }
};

// Position of the label of record n ("texto" n) as "page:x,y".
std::string Where(TDocumentoRenderizable& doc, const std::string& n) {
  for (int64_t p = 1; p <= ValueInt(doc.TotalPaginas()); ++p) {
    for (const Value& o : doc.GetPagina(Value::Int(p))["objetos"].AsArray()) {
      if (ValueString(o["texto"]) != n) continue;
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%lld:%g,%g", static_cast<long long>(p), ValueDouble(o["x"]),
                    ValueDouble(o["y"]));
      return buffer;
    }
  }
  return "missing";
}

// A layout object that composes nothing and, at given calls, puts another value in the template's
// list at a position, as an object that edits the template while it runs may do.
class ReemplazoDoble : public Object, public ObjetoComponible {
 public:
  ReemplazoDoble(PlantillaDoble& plantilla, size_t posicion) : plantilla_(plantilla), posicion_(posicion) {}
  std::vector<std::pair<int, Value>> reemplazos;  // the call (from 1) and the value it puts in
  bool RespondsTo(std::string_view name) const override {
    return NameIn(name, {"GenerarRenderizable"}) || Object::RespondsTo(name);
  }
  Value GenerarRenderizable(const Value&) override {
    ++calls_;
    for (const auto& [call, value] : reemplazos) {
      if (call == calls_) plantilla_.objetos.AsArray()[posicion_] = value;
    }
    return Value();
  }

 private:
  PlantillaDoble& plantilla_;
  size_t posicion_;
  int calls_ = 0;
};

Value Texto(const char* id, const char* texto) {
  Value r = Render("texto", id, 1, 2);
  r.Set("texto", texto);
  return r;
}

}  // namespace

TEST(Labels, RowFlowFillsRowsThenSheets) {
  Labels l(5);
  auto doc = l.Run();
  ASSERT_TRUE(doc);
  ASSERT_EQ(ValueInt(doc->TotalPaginas()), 2);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 4u);
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 1u);
  EXPECT_EQ(Where(*doc, "1"), "1:6,5");
  EXPECT_EQ(Where(*doc, "2"), "1:28,5");
  EXPECT_EQ(Where(*doc, "3"), "1:6,19");
  EXPECT_EQ(Where(*doc, "4"), "1:28,19");
  EXPECT_EQ(Where(*doc, "5"), "2:6,5");
  EXPECT_DOUBLE_EQ(doc->nAncho, 210.0);
  EXPECT_EQ(doc->cPaperHeightMode, "fixed");

  const Value& tag = doc->GetPagina(Value::Int(2))["objetos"].Item(1)["debugEtiqueta"];
  EXPECT_EQ(ValueInt(tag["nRegistro"]), 5);
  EXPECT_EQ(ValueInt(tag["nSlot"]), 1);
  EXPECT_DOUBLE_EQ(ValueDouble(tag["nOffsetX"]), 5.0);
  EXPECT_DOUBLE_EQ(ValueDouble(tag["nOffsetY"]), 3.0);
  EXPECT_EQ(ValueInt(doc->GetPagina(Value::Int(1))["objetos"].Item(4)["debugEtiqueta"]["nSlot"]), 4);

  // Each record is pushed with its neighbours around its composition and popped after it.
  std::vector<std::string> expected = {"estado 1/2", "push 1 0 5 - 2", "pop", "estado 1/2", "push 2 1 5 1 3", "pop",
                                       "estado 1/2", "push 3 2 5 2 4", "pop", "estado 1/2", "push 4 3 5 3 5", "pop",
                                       "estado 2/2", "push 5 4 5 4 -",   "pop"};
  EXPECT_EQ(l.contexto->log, expected);
  EXPECT_TRUE(l.paginacion->lIgnorarSaltosPagina);
}

TEST(Labels, ColumnFlowOffsetsAndFirstCell) {
  {
    Labels l(5);
    l.plantilla->layout.Set("cFlow", "column");
    auto doc = l.Run();
    EXPECT_EQ(Where(*doc, "2"), "1:6,19");
    EXPECT_EQ(Where(*doc, "3"), "1:28,5");
  }
  {
    Labels l(1);
    l.plantilla->layout.Set("nPrintOffsetX", Value(1.5));
    l.plantilla->layout.Set("nPrintOffsetY", Value(-0.5));
    auto doc = l.Run();
    EXPECT_EQ(Where(*doc, "1"), "1:7.5,4.5");
  }
  {
    Labels l(5);
    l.contexto->opciones.Set("nEtiquetaInicial", Value::Int(3));
    auto doc = l.Run();
    ASSERT_EQ(ValueInt(doc->TotalPaginas()), 2);
    EXPECT_EQ(Where(*doc, "1"), "1:6,19");
    EXPECT_EQ(Where(*doc, "2"), "1:28,19");
    EXPECT_EQ(Where(*doc, "3"), "2:6,5");
    EXPECT_EQ(l.contexto->log.front(), "estado 1/2");
    EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 2u);
  }
  for (auto [first, where] : {std::pair{-2, "1:6,5"}, std::pair{9, "1:28,19"}}) {
    Labels l(1);
    l.contexto->opciones.Set("nEtiquetaInicial", Value::Int(first));
    auto doc = l.Run();
    EXPECT_EQ(Where(*doc, "1"), where) << first;
  }
}

TEST(Labels, NoRecordsAndNoSplits) {
  Labels l(0);
  Value tall = Render("texto", "tall", 0, 0);
  tall.Set("texto", "1\n2\n3\n4\n5");
  tall.Set("ancho", Value::Int(18));
  tall.Set("alto", Value::Int(4));
  tall.Set("permiteSaltoPagina", true);
  l.plantilla->objetos.Append(Value(std::make_shared<EtiquetaDoble>(tall)));
  l.plantilla->objetos.Append(Value("not an object"));
  auto doc = l.Run();
  ASSERT_TRUE(doc);
  ASSERT_EQ(ValueInt(doc->TotalPaginas()), 1);
  // One label against an empty record; the overflowing text stays whole.
  const Value& objects = doc->GetPagina(Value::Int(1))["objetos"];
  ASSERT_EQ(objects.Len(), 2u);
  EXPECT_EQ(ValueString(objects.Item(2)["texto"]), "1\n2\n3\n4\n5");
  EXPECT_EQ(l.contexto->log[1], "push - 0 1 - -");
  EXPECT_EQ(l.contexto->log[2], "aviso Objeto sin metodo generarRenderizable.");

  // A connector that is not one counts as no records; defaults apply to a missing layout.
  Labels bare(0);
  bare.motor->SetConectorDatos(Value("x"));
  bare.plantilla->layout = Value("not a layout");
  doc = bare.Run();
  ASSERT_TRUE(doc);
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_EQ(Where(*doc, ""), "1:1,2");
}

TEST(Labels, ProgressCallbacksCanCancel) {
  {
    Labels l(5);
    l.contexto->progreso = true;
    auto doc = l.Run();
    ASSERT_TRUE(doc);
    std::vector<std::string> reports;
    for (const std::string& entry : l.contexto->log) {
      if (entry.rfind("registro", 0) == 0 || entry.rfind("paginas", 0) == 0) reports.push_back(entry);
    }
    EXPECT_EQ(reports, (std::vector<std::string>{"registro 1", "registro 2", "registro 3", "registro 4",
                                                 "registro 5", "paginas 1", "paginas 2"}));
  }
  {
    Labels l(5);
    l.contexto->progreso = true;
    l.contexto->cancelarEnRegistro = 3;
    EXPECT_TRUE(l.motor->Ejecutar().IsNil());
    EXPECT_EQ(l.contexto->log.back(), "registro 3");
  }
  {
    Labels l(5);
    l.contexto->progreso = true;
    l.contexto->cancelarEnPaginas = 1;
    EXPECT_TRUE(l.motor->Ejecutar().IsNil());
  }
  {
    // Without progress switched on, nothing is reported and nothing cancels.
    Labels l(2);
    l.contexto->cancelarEnRegistro = 1;
    EXPECT_TRUE(l.Run());
  }
}

TEST(Labels, LabelSheetThroughTheRealCollaborators) {
  auto conector = TConectorDatosReg::New();
  conector->Create();
  Value definition = Value::NewHash();
  definition.Set("grupo", "LINEAS");
  definition.Set("nombre", "NOMBRE");
  definition.Set("tipo", "texto");
  Value rows = Value::NewArray();
  for (const char* name : {"Uno", "Dos", "Tres", "Cuatro", "Cinco"}) rows.Append(Value::FromArray({Value(name)}));
  conector->SendDataLine(Value::FromArray({definition}), rows);

  Value layout = Value::NewHash();
  for (auto [key, value] : {std::pair{"nLabelWidth", 20}, {"nLabelHeight", 10}, {"nColumns", 2}, {"nRows", 2},
                            {"nMarginLeft", 5}, {"nMarginTop", 3}, {"nGapHorizontal", 2}, {"nGapVertical", 4}}) {
    layout.Set(key, value);
  }
  Value text = Value::NewHash();
  text.Set("cType", "TText");
  text.Set("cId", "txt_nombre");
  text.Set("cName", "Nombre");
  text.Set("nLeft", 1);
  text.Set("nTop", 2);
  text.Set("nWidth", 10);
  text.Set("nHeight", 5);
  text.Set("cText", "LINEAS.NOMBRE");
  text.Set("lAllowPageBreak", true);
  Value data = Value::NewHash();
  data.Set("cType", "TDocument");
  data.Set("cTemplateName", "Test etiquetas");
  data.Set("cDocumentKind", "label");
  data.Set("nPaperWidth", 100);
  data.Set("nPaperHeight", 50);
  data.Set("hLabelLayout", layout);
  data.Set("aObjects", Value::FromArray({text}));
  auto plantilla = TPlantilla::New();
  plantilla->SetData(data)->Create();

  auto evaluador = TEvaluadorFormulas::New();
  evaluador->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  options.Set("nEtiquetaInicial", 1);
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
  motor->End();
  contexto->End();
  evaluador->End();
  plantilla->End();
  conector->End();

  ASSERT_TRUE(doc);
  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 2u);
  ASSERT_EQ(pages.Item(1)["objetos"].Len(), 4u);
  ASSERT_EQ(pages.Item(2)["objetos"].Len(), 1u);
  const Value& first = pages.Item(1)["objetos"].Item(1);
  EXPECT_DOUBLE_EQ(ValueDouble(first["x"]), 6.0);
  EXPECT_DOUBLE_EQ(ValueDouble(first["y"]), 5.0);
  EXPECT_DOUBLE_EQ(ValueDouble(pages.Item(1)["objetos"].Item(2)["x"]), 28.0);
  EXPECT_DOUBLE_EQ(ValueDouble(pages.Item(1)["objetos"].Item(3)["y"]), 19.0);
  EXPECT_EQ(ValueString(first["texto"]), "Uno");
  EXPECT_EQ(ValueString(pages.Item(2)["objetos"].Item(1)["texto"]), "Cinco");
  doc->End();
}

TEST(Labels, HugeGridCountsSaturateInsteadOfOverflowing) {
  Labels l(3);
  l.plantilla->layout.Set("nColumns", Value::Int(int64_t{1} << 40));
  l.plantilla->layout.Set("nRows", Value::Int(int64_t{1} << 40));
  auto doc = l.Run();
  ASSERT_TRUE(doc);
  // Every label fits the first sheet of such a grid.
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 3u);
}

TEST(Labels, StartAtTheLargestCellOfASaturatedGridDoesNotOverflow) {
  // The start cell is the grid's last cell; counting on from it past the largest integer was
  // undefined behaviour and placed labels nowhere near a sheet.
  Labels l(3);
  l.plantilla->layout.Set("nColumns", Value::Int(int64_t{1} << 40));
  l.plantilla->layout.Set("nRows", Value::Int(int64_t{1} << 40));
  l.contexto->opciones.Set("nEtiquetaInicial", Value::Int(INT64_MAX));
  auto doc = l.Run();
  ASSERT_TRUE(doc);
  ASSERT_EQ(ValueInt(doc->TotalPaginas()), 2);
  const Value first = doc->GetPagina(Value::Int(1))["objetos"];
  ASSERT_EQ(first.Len(), 1u);
  EXPECT_EQ(ValueInt(first.Item(1)["debugEtiqueta"]["nSlot"]), INT64_MAX);
  // The next labels start the second sheet at its first cells.
  EXPECT_EQ(Where(*doc, "2"), "2:6,5");
  EXPECT_EQ(Where(*doc, "3"), "2:28,5");
  EXPECT_EQ(l.contexto->log.front(), "estado 1/2");
}

TEST(Labels, ObjectThatKeepsItsRenderObjectGetsItsOwnCopyPerLabel) {
  // An object handing out one render object it keeps: each label must still get its own shifted
  // copy, and the kept object must not move.
  Labels l(3);
  Value kept = Render("texto", "fijo", 1, 2);
  auto fixed = std::make_shared<ObjetoDoble>(kept);
  l.plantilla->objetos = Value::FromArray({Value(fixed)});
  auto doc = l.Run();
  ASSERT_TRUE(doc);
  const Value& objects = doc->GetPagina(Value::Int(1))["objetos"];
  ASSERT_EQ(objects.Len(), 3u);
  EXPECT_DOUBLE_EQ(ValueDouble(objects.Item(1)["x"]), 6.0);
  EXPECT_DOUBLE_EQ(ValueDouble(objects.Item(2)["x"]), 28.0);
  EXPECT_DOUBLE_EQ(ValueDouble(objects.Item(3)["y"]), 19.0);
  EXPECT_FALSE(objects.Item(1).SameRef(objects.Item(2)));
  EXPECT_DOUBLE_EQ(ValueDouble(kept["x"]), 1.0);
  EXPECT_DOUBLE_EQ(ValueDouble(kept["y"]), 2.0);
  EXPECT_FALSE(kept.Has("debugEtiqueta"));
  EXPECT_EQ(fixed->calls, 3);
}

TEST(Labels, ObjectsPutInTheListDuringARunComposeFromTheNextRead) {
  // The objects are resolved once per run; a position of the list that comes to hold another
  // value must be resolved again, not composed as the object it held before.
  Labels l(3);
  auto editor = std::make_shared<ReemplazoDoble>(*l.plantilla, 1);
  editor->reemplazos = {{2, Value(std::make_shared<EtiquetaDoble>(Texto("b", "B")))}, {3, Value("not an object")}};
  l.plantilla->objetos = Value::FromArray({Value(editor), Value(std::make_shared<EtiquetaDoble>(Texto("a", "A")))});
  auto doc = l.Run();
  ASSERT_TRUE(doc);
  EXPECT_EQ(Where(*doc, "A"), "1:6,5");
  EXPECT_EQ(Where(*doc, "B"), "1:28,5");
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 2u);
  EXPECT_EQ(std::count(l.contexto->log.begin(), l.contexto->log.end(),
                       "aviso Objeto sin metodo generarRenderizable."),
            1);
}
