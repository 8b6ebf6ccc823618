// The console acceptance program: runs the five suites against the engine, prints one block per
// failed assertion and a verdict line, and exits with the number of failed assertions.
#include <cstdio>
#include <exception>
#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runner.h"
#include "Runtime.h"
#include "objects/TBarcode.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "document/TDocument.h"
#include "output/TDocumentoRenderizable.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"
#include "objects/TObjectBase.h"
#include "document/TPlantilla.h"
#include "objects/TText.h"
#include "Value.h"

using namespace nv;

// ---- Suite: normal report -----------------------------------------------------------------

int TestReportNormal() {
  int failures = 0;
  // Element of a 1-based list, nil when absent, so that a missing page fails an assertion.
  auto item = [](const Value& list, size_t index) {
    return list.IsArray() && index >= 1 && index <= list.Len() ? list.Item(index) : Value();
  };

  auto connector = TConectorDatosReg::New();
  connector->Create();
  Value definition = Value::NewHash();
  definition.Set("grupo", "DATOS");
  definition.Set("nombre", "CLIENTE");
  definition.Set("tipo", "texto");
  connector->SendDataVar(Value::FromArray({definition}), Value::FromArray({Value::FromArray({"Dulces Orbanel"})}));

  Value text = Value::NewHash();
  text.Set("cType", "TText");
  text.Set("cId", "txt_cliente");
  text.Set("cName", "Cliente");
  text.Set("nLeft", 2);
  text.Set("nTop", 3);
  text.Set("nWidth", 40);
  text.Set("nHeight", 8);
  text.Set("cText", "DATOS.CLIENTE");
  Value rectangle = Value::NewHash();
  rectangle.Set("cType", "TRectangle");
  rectangle.Set("cId", "rect1");
  rectangle.Set("cName", "Rect");
  rectangle.Set("nLeft", 5);
  rectangle.Set("nTop", 15);
  rectangle.Set("nWidth", 20);
  rectangle.Set("nHeight", 10);
  Value tmpl = Value::NewHash();
  tmpl.Set("cType", "TDocument");
  tmpl.Set("cTemplateName", "Report normal");
  tmpl.Set("nPaperWidth", 80);
  tmpl.Set("nPaperHeight", 50);
  tmpl.Set("aObjects", Value::FromArray({text, rectangle}));

  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  context->Create();
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion), Value(paginacion),
                                     Value(context));
  engine->Create();

  Value document = engine->Ejecutar();
  auto* rendered = document.As<TDocumentoRenderizable>();
  Value pages = rendered != nullptr ? rendered->GetPaginas() : Value::NewArray();
  Value objects = HGet(item(pages, 1), "objetos", Value::NewArray());

  failures += AssertEqual("Report paginas", Value::Int(static_cast<int64_t>(pages.Len())), Value(1));
  failures += AssertEqual("Report objetos", Value::Int(static_cast<int64_t>(objects.Len())), Value(2));
  failures += AssertEqual("Report texto", HGet(item(objects, 1), "texto"), Value("Dulces Orbanel"));
  failures += AssertEqual("Report rect tipo", HGet(item(objects, 2), "tipo"), Value("rectangulo"));
  failures += AssertEqual("Report ancho", rendered != nullptr ? Value(rendered->nAncho) : Value(), Value(80));
  failures += AssertEqual("Report alto", rendered != nullptr ? Value(rendered->nAlto) : Value(), Value(50));

  engine->End();
  context->End();
  evaluator->End();
  plantilla->End();
  connector->End();
  return failures;
}

// ---- Suite: layers ----------------------------------------------------------------------------

/// Returns the layer template as one compact JSON text: two layers given as an array, conditioned
/// on OMEMQUERY.cifc being empty and filled, and one text object on each.
std::string LayerJsonTemplate() {
  return "{\"cType\":\"TDocument\",\"nPaperWidth\":80,\"nPaperHeight\":50,"
         "\"hLayers\":[{\"nId\":0,\"cCondition\":\"empty(OMEMQUERY.cifc)\"},"
         "{\"nId\":1,\"cCondition\":\"not empty(OMEMQUERY.cifc)\"}],"
         "\"aObjects\":["
         "{\"cType\":\"TText\",\"cId\":\"layer_cash\",\"nLayerId\":0,\"nLeft\":2,\"nTop\":2,"
         "\"nWidth\":30,\"nHeight\":5,\"cText\":\"\\\"CONTADO\\\"\"},"
         "{\"cType\":\"TText\",\"cId\":\"layer_invoice\",\"nLayerId\":1,\"nLeft\":2,\"nTop\":10,"
         "\"nWidth\":30,\"nHeight\":5,\"cText\":\"\\\"FACTURA\\\"\"}]}";
}

/// Returns the definitions of the data variable OMEMQUERY.cifc.
Value LayerVariableDefinitions() {
  Value definition = Value::NewHash();
  definition.Set("grupo", "OMEMQUERY");
  definition.Set("nombre", "cifc");
  definition.Set("tipo", "texto");
  return Value::FromArray({definition});
}

/// Runs the layer template once with OMEMQUERY.cifc set to value; returns the rendered document,
/// which the caller ends.
Value EjecutarCapasJson(const Value& value) {
  auto connector = TConectorDatosReg::New();
  connector->Create();
  Value tmpl = DecodeJsonObject(LayerJsonTemplate());
  connector->SendDataVar(LayerVariableDefinitions(), Value::FromArray({Value::FromArray({value})}));

  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  context->Create();
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion), Value(paginacion),
                                     Value(context));
  engine->Create();

  Value document = engine->Ejecutar();

  engine->End();
  context->End();
  evaluator->End();
  plantilla->End();
  connector->End();
  return document;
}

int TestLayerJsonArray() {
  int failures = 0;
  // Element of a 1-based list, nil when absent, so that a missing page fails an assertion.
  auto item = [](const Value& list, size_t index) {
    return list.IsArray() && index >= 1 && index <= list.Len() ? list.Item(index) : Value();
  };
  auto firstPageObjects = [&](const Value& document) {
    auto* rendered = document.As<TDocumentoRenderizable>();
    Value pages = rendered != nullptr ? rendered->GetPaginas() : Value::NewArray();
    return HGet(item(pages, 1), "objetos", Value::NewArray());
  };

  auto connector = TConectorDatosReg::New();
  connector->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();

  Value docEmpty = EjecutarCapasJson(Value(""));
  Value docFilled = EjecutarCapasJson(Value("B12345678"));
  Value objectsEmpty = firstPageObjects(docEmpty);
  Value objectsFilled = firstPageObjects(docFilled);

  connector->SendDataVar(LayerVariableDefinitions(), Value::FromArray({Value::FromArray({""})}));
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
  context->Create();
  auto document = TDocument::New();
  document->Create();
  document->Load(DecodeJsonObject(LayerJsonTemplate()));
  auto* object0 = item(document->aObjects, 1).As<TObjectBase>();
  auto* object1 = item(document->aObjects, 2).As<TObjectBase>();
  Value ctx(context);

  failures += AssertEqual("Capas contexto variable", context->EvaluarFormula(Value("OMEMQUERY.cifc")), Value(""));
  failures += AssertEqual("Capas contexto condicion 0", context->CumpleCondicion(Value("empty(OMEMQUERY.cifc)")),
                          Value(true));
  failures += AssertEqual("Capas contexto condicion 1",
                          context->CumpleCondicion(Value("not empty(OMEMQUERY.cifc)")), Value(false));
  failures += AssertEqual("Capas objeto 1 id", object1 != nullptr ? object1->nLayerId : Value(), Value(1));
  failures += AssertEqual("Capas padre condicion 1", document->GetLayerCondition(Value(1)),
                          Value("not empty(OMEMQUERY.cifc)"));
  failures += AssertEqual("Capas objeto 0 visible", object0 != nullptr ? object0->EsVisibleEnEjecucion(ctx) : Value(),
                          Value(true));
  failures += AssertEqual("Capas objeto 1 oculto", object1 != nullptr ? object1->EsVisibleEnEjecucion(ctx) : Value(),
                          Value(false));
  failures += AssertEqual("Capas JSON contado cantidad", Value::Int(static_cast<int64_t>(objectsEmpty.Len())),
                          Value(1));
  failures += AssertEqual("Capas JSON contado objeto", HGet(item(objectsEmpty, 1), "id"), Value("layer_cash"));
  failures += AssertEqual("Capas JSON factura cantidad", Value::Int(static_cast<int64_t>(objectsFilled.Len())),
                          Value(1));
  failures += AssertEqual("Capas JSON factura objeto", HGet(item(objectsFilled, 1), "id"), Value("layer_invoice"));

  if (auto* rendered = docEmpty.As<TDocumentoRenderizable>()) rendered->End();
  if (auto* rendered = docFilled.As<TDocumentoRenderizable>()) rendered->End();
  document->End();
  context->End();
  evaluator->End();
  connector->End();
  return failures;
}

// ---- Suite: text flow ---------------------------------------------------------------------------

int TestTextFlow() {
  int failures = 0;
  // Element of a 1-based list, nil when absent, so that a missing page fails an assertion.
  auto item = [](const Value& list, size_t index) {
    return list.IsArray() && index >= 1 && index <= list.Len() ? list.Item(index) : Value();
  };

  auto connector = TConectorDatosReg::New();
  connector->Create();
  Value vacio = Value::NewHash();
  vacio.Set("grupo", "DATOS");
  vacio.Set("nombre", "VACIO");
  vacio.Set("tipo", "texto");
  Value empresa = Value::NewHash();
  empresa.Set("grupo", "DATOS");
  empresa.Set("nombre", "EMPRESA");
  empresa.Set("tipo", "texto");
  connector->SendDataVar(Value::FromArray({vacio, empresa}), Value::FromArray({Value::FromArray({"", "Varbeno"})}));

  // One text object; a nil rotation or group leaves the key out.
  auto flowText = [](const char* id, const Value& left, const Value& top, const Value& width, const Value& height,
                     const Value& rotation, const char* formula, const Value& group, const Value& order,
                     const Value& lineHeight) {
    Value object = Value::NewHash();
    object.Set("cType", "TText");
    object.Set("cId", id);
    object.Set("nLeft", left);
    object.Set("nTop", top);
    object.Set("nWidth", width);
    object.Set("nHeight", height);
    if (!rotation.IsNil()) object.Set("nRotation", rotation);
    object.Set("cText", formula);
    if (!group.IsNil()) {
      object.Set("cTextFlowGroup", group);
      object.Set("nTextFlowOrder", order);
      object.Set("nTextFlowLineHeight", lineHeight);
      object.Set("lKeepEmptyParagraphs", false);
    }
    return object;
  };
  Value objects = Value::FromArray({
      flowText("flow_part_01", Value(5), Value(5), Value(50), Value(5), Value(), "DATOS.VACIO", Value("flow_1"),
               Value(1), Value(5)),
      flowText("flow_part_02", Value(5), Value(10), Value(50), Value(5), Value(), "DATOS.EMPRESA", Value("flow_1"),
               Value(2), Value(5)),
      flowText("outside_flow", Value(5), Value(20), Value(50), Value(5), Value(), "\"Fijo\"", Value(), Value(),
               Value()),
      flowText("multi_part_01", Value(5), Value(30), Value(50), Value(2.822), Value(), "\"Empresa\"",
               Value("flow_multi"), Value(1), Value(2.822)),
      flowText("multi_part_02", Value(5), Value(32.822), Value(50), Value(5.644), Value(),
               "DATOS.VACIO+CRLF+DATOS.EMPRESA", Value("flow_multi"), Value(2), Value(2.822)),
      flowText("multi_part_03", Value(5), Value(38.466), Value(50), Value(8.466), Value(),
               "\"Ciudad\"+CRLF+\"Telefono\"+CRLF+\"Email\"", Value("flow_multi"), Value(3), Value(2.822)),
      flowText("rotated_empty", Value(61.15), Value(7.05), Value(4.233), Value(6), Value(90), "DATOS.VACIO",
               Value("rotated_flow"), Value(1), Value(4.233)),
      flowText("rotated_price", Value(65.383), Value(7.05), Value(4.233), Value(6), Value(90), "DATOS.EMPRESA",
               Value("rotated_flow"), Value(2), Value(4.233)),
  });
  Value tmpl = Value::NewHash();
  tmpl.Set("cType", "TDocument");
  tmpl.Set("cTemplateName", "Flujo de texto");
  tmpl.Set("nPaperWidth", 100);
  tmpl.Set("nPaperHeight", 60);
  tmpl.Set("aObjects", objects);

  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  context->Create();
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion), Value(paginacion),
                                     Value(context));
  engine->Create();

  Value document = engine->Ejecutar();
  auto* rendered = document.As<TDocumentoRenderizable>();
  Value pages = rendered != nullptr ? rendered->GetPaginas() : Value::NewArray();
  Value page = HGet(item(pages, 1), "objetos", Value::NewArray());

  failures += AssertEqual("Flow objetos", Value::Int(static_cast<int64_t>(page.Len())), Value(6));
  failures += AssertEqual("Flow conserva siguiente", HGet(item(page, 1), "id"), Value("flow_part_02"));
  failures += AssertEqual("Flow recoloca siguiente", HGet(item(page, 1), "y"), Value(5.0));
  failures += AssertEqual("Flow no mueve ajeno", HGet(item(page, 2), "y"), Value(20.0));
  failures += AssertEqual("Flow multilinea texto normalizado", HGet(item(page, 4), "texto"), Value("Varbeno"));
  failures += AssertEqual("Flow multilinea reduce alto", HGet(item(page, 4), "alto"), Value(2.822));
  failures += AssertEqual("Flow multilinea compacta siguiente", HGet(item(page, 5), "y"), Value(35.644));
  failures += AssertEqual("Flow girado conserva siguiente", HGet(item(page, 6), "id"), Value("rotated_price"));
  failures += AssertEqual("Flow girado compacta por eje X", HGet(item(page, 6), "x"), Value(61.15));
  failures += AssertEqual("Flow girado conserva eje Y", HGet(item(page, 6), "y"), Value(7.05));
  failures += AssertEqual("Flow girado conserva grosor", HGet(item(page, 6), "alto"), Value(6.0));
  failures += AssertEqual("Flow multilinea conserva metrica", HGet(item(page, 5), "alturaLineaFlujoTexto"),
                          Value(2.822));

  if (rendered != nullptr) rendered->End();
  engine->End();
  context->End();
  evaluator->End();
  plantilla->End();
  connector->End();
  return failures;
}

// ---- Suite: labels ------------------------------------------------------------------------------

/// Returns a new hash with the same keys in the same order and the same values (shared, not
/// copied); a non-hash gives an empty hash.
Value HashCloneLocal(const Value& hash) {
  Value copy = Value::NewHash();
  if (!hash.IsHash()) return copy;
  for (const auto& [key, value] : hash.AsHash()) copy.Set(key, value);
  return copy;
}

/// Returns the 2 x 2 layout of 20 x 10 mm labels every label run starts from.
Value BaseLabelLayout() {
  Value layout = Value::NewHash();
  layout.Set("nLabelWidth", 20);
  layout.Set("nLabelHeight", 10);
  layout.Set("nColumns", 2);
  layout.Set("nRows", 2);
  layout.Set("nMarginLeft", 5);
  layout.Set("nMarginTop", 3);
  layout.Set("nGapHorizontal", 2);
  layout.Set("nGapVertical", 4);
  layout.Set("cFlow", "row");
  return layout;
}

/// Prints one label per name (the five default names when names is not an array) with the given
/// layout, starting at the given cell; the text allows page breaks only when pageBreak is the
/// logical true. Returns the rendered document, which the caller ends.
Value EjecutarEtiqueta(const Value& layout, const Value& firstCell, const Value& names = Value(),
                       const Value& pageBreak = Value()) {
  Value lines = names.IsArray() ? names : Value::FromArray({"Uno", "Dos", "Tres", "Cuatro", "Cinco"});
  const bool allowBreak = pageBreak.IsLogical() && pageBreak.AsBool();

  auto connector = TConectorDatosReg::New();
  connector->Create();
  Value definition = Value::NewHash();
  definition.Set("grupo", "LINEAS");
  definition.Set("nombre", "NOMBRE");
  definition.Set("tipo", "texto");
  Value rows = Value::NewArray();
  for (const Value& name : lines.AsArray()) rows.Append(Value::FromArray({name}));
  connector->SendDataLine(Value::FromArray({definition}), rows);

  Value text = Value::NewHash();
  text.Set("cType", "TText");
  text.Set("cId", "txt_nombre");
  text.Set("cName", "Nombre");
  text.Set("nLeft", 1);
  text.Set("nTop", 2);
  text.Set("nWidth", 10);
  text.Set("nHeight", 5);
  text.Set("cText", "LINEAS.NOMBRE");
  text.Set("lAllowPageBreak", allowBreak);
  Value tmpl = Value::NewHash();
  tmpl.Set("cType", "TDocument");
  tmpl.Set("cTemplateName", "Test etiquetas");
  tmpl.Set("cDocumentKind", "label");
  tmpl.Set("nPaperWidth", 100);
  tmpl.Set("nPaperHeight", 50);
  tmpl.Set("hLabelLayout", layout);
  tmpl.Set("aObjects", Value::FromArray({text}));

  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  options.Set("nEtiquetaInicial", firstCell);
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  context->Create();
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion), Value(paginacion),
                                     Value(context));
  engine->Create();

  Value document = engine->Ejecutar();

  engine->End();
  context->End();
  evaluator->End();
  plantilla->End();
  connector->End();
  return document;
}

int TestEtiquetas() {
  int failures = 0;
  // Element of a 1-based list, nil when absent, so that a missing page or object fails an assertion.
  auto item = [](const Value& list, size_t index) {
    return list.IsArray() && index >= 1 && index <= list.Len() ? list.Item(index) : Value();
  };
  auto pagesOf = [](const Value& document) {
    auto* rendered = document.As<TDocumentoRenderizable>();
    return rendered != nullptr ? rendered->GetPaginas() : Value::NewArray();
  };
  auto objectsOf = [&](const Value& pages, size_t page) { return HGet(item(pages, page), "objetos", Value::NewArray()); };
  auto count = [](const Value& list) { return Value::Int(static_cast<int64_t>(list.IsArray() ? list.Len() : 0)); };
  auto endDocument = [](const Value& document) {
    if (auto* rendered = document.As<TDocumentoRenderizable>()) rendered->End();
  };

  Value base = BaseLabelLayout();

  Value docRows = EjecutarEtiqueta(base, Value(1));
  Value pages = pagesOf(docRows);
  Value page1 = objectsOf(pages, 1);
  Value page2 = objectsOf(pages, 2);
  failures += AssertEqual("Etiquetas paginas filas", count(pages), Value(2));
  failures += AssertEqual("Etiquetas primera pagina llena", count(page1), Value(4));
  failures += AssertEqual("Etiquetas segunda pagina resto", count(page2), Value(1));
  failures += AssertEqual("Etiqueta 1 x", HGet(item(page1, 1), "x"), Value(6.0));
  failures += AssertEqual("Etiqueta 1 y", HGet(item(page1, 1), "y"), Value(5.0));
  failures += AssertEqual("Etiqueta 2 x filas", HGet(item(page1, 2), "x"), Value(28.0));
  failures += AssertEqual("Etiqueta 3 y filas", HGet(item(page1, 3), "y"), Value(19.0));
  failures += AssertEqual("Etiqueta quinta texto", HGet(item(page2, 1), "texto"), Value("Cinco"));
  endDocument(docRows);

  Value byColumn = HashCloneLocal(base);
  byColumn.Set("cFlow", "column");
  Value docColumns = EjecutarEtiqueta(byColumn, Value(1));
  page1 = objectsOf(pagesOf(docColumns), 1);
  failures += AssertEqual("Etiqueta 2 x columnas", HGet(item(page1, 2), "x"), Value(6.0));
  failures += AssertEqual("Etiqueta 2 y columnas", HGet(item(page1, 2), "y"), Value(19.0));
  failures += AssertEqual("Etiqueta 3 x columnas", HGet(item(page1, 3), "x"), Value(28.0));
  endDocument(docColumns);

  Value offset = HashCloneLocal(base);
  offset.Set("nPrintOffsetX", Value(1.5));
  offset.Set("nPrintOffsetY", Value(-0.5));
  Value docOffset = EjecutarEtiqueta(offset, Value(1));
  page1 = objectsOf(pagesOf(docOffset), 1);
  failures += AssertEqual("Etiqueta offset x", HGet(item(page1, 1), "x"), Value(7.5));
  failures += AssertEqual("Etiqueta offset y", HGet(item(page1, 1), "y"), Value(4.5));
  endDocument(docOffset);

  Value docStart = EjecutarEtiqueta(base, Value(3));
  pages = pagesOf(docStart);
  page1 = objectsOf(pages, 1);
  page2 = objectsOf(pages, 2);
  failures += AssertEqual("Etiqueta inicio paginas", count(pages), Value(2));
  failures += AssertEqual("Etiqueta inicio primera pagina", count(page1), Value(2));
  failures += AssertEqual("Etiqueta inicio primer x", HGet(item(page1, 1), "x"), Value(6.0));
  failures += AssertEqual("Etiqueta inicio primer y", HGet(item(page1, 1), "y"), Value(19.0));
  failures += AssertEqual("Etiqueta inicio segunda pagina texto", HGet(item(page2, 1), "texto"), Value("Tres"));
  endDocument(docStart);

  Value docBreak = EjecutarEtiqueta(base, Value(1), Value::FromArray({"uno dos tres", "Fin"}), Value(true));
  pages = pagesOf(docBreak);
  page1 = objectsOf(pages, 1);
  failures += AssertEqual("Continuacion en misma hoja", count(pages), Value(1));
  failures += AssertEqual("Salto accidental no divide etiqueta", count(page1), Value(2));
  failures += AssertEqual("Etiqueta conserva texto completo", HGet(item(page1, 1), "texto"), Value("uno dos tres"));
  failures += AssertEqual("Siguiente registro ocupa siguiente etiqueta", HGet(item(page1, 2), "texto"),
                          Value("Fin"));
  endDocument(docBreak);

  return failures;
}

// ---- Suite: formula error semantics ---------------------------------------------------------------

int TestFormulaErrorSemantics() {
  int failures = 0;
  auto connector = TConectorDatosReg::New();
  connector->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
  context->Create();
  const Value ctx(context);

  auto renderText = [&](const char* id, const char* formula) {
    auto text = TText::New();
    Value data = Value::NewHash();
    data.Set("cId", Value(id));
    data.Set("cText", Value(formula));
    text->Load(data);
    return text->GenerarRenderizable(ctx);
  };
  auto renderBarcode = [&](const char* id, const char* formula) {
    auto barcode = TVBBarcode::New();
    Value data = Value::NewHash();
    data.Set("cId", Value(id));
    data.Set("cContent", Value(formula));
    data.Set("cBarcodeType", Value("EAN13"));
    barcode->Load(data);
    return barcode->GenerarRenderizable(ctx);
  };

  const Value textValid = renderText("text_valid", "\"Correcto\"");
  const Value textInvalid = renderText("text_invalid", "DATOS.NO_EXISTE");
  const Value textLiteral = renderText("text_literal", "\"[ERROR literal del usuario]\"");
  const Value barcodeValid = renderBarcode("barcode_valid", "\"123456789012\"");
  const Value barcodeInvalid = renderBarcode("barcode_invalid", "DATOS.NO_EXISTE");

  failures += AssertEqual("Formula texto valida", HGet(textValid, "formulaError"), Value(false));
  failures += AssertEqual("Formula texto invalida", HGet(textInvalid, "formulaError"), Value(true));
  failures += AssertEqual("Formula texto invalida conserva mensaje", Value(IsEmpty(HGet(textInvalid, "formulaErrorMessage"))),
                          Value(false));
  failures += AssertEqual("Literal ERROR visible", HGet(textLiteral, "texto"), Value("[ERROR literal del usuario]"));
  failures += AssertEqual("Literal ERROR no es fallo", HGet(textLiteral, "formulaError"), Value(false));
  failures += AssertEqual("Formula barcode valida", HGet(barcodeValid, "formulaError"), Value(false));
  failures += AssertEqual("Formula barcode invalida", HGet(barcodeInvalid, "formulaError"), Value(true));
  failures += AssertEqual("Formula barcode invalida conserva error",
                          Value(IsEmpty(HGet(barcodeInvalid, "formulaErrorMessage"))), Value(false));
  failures += AssertEqual("Errores conservados como avisos", Value(context->GetAvisos().Len() >= 2), Value(true));

  context->End();
  evaluator->End();
  connector->End();
  return failures;
}

// ---- Entry point ------------------------------------------------------------------------------------

/// Runs the suites in order and returns the exit code: the failure count, at most 255 so that a
/// multiple of 256 failures is never reported to the shell as success.
int MAIN() {
  int failures = 0;
  InstallConsoleErrorHandler();
  try {
    failures += TestReportNormal();
    failures += TestLayerJsonArray();
    failures += TestTextFlow();
    failures += TestEtiquetas();
    failures += TestFormulaErrorSemantics();
  } catch (const RuntimeError& error) {
    HandleUncaughtError(error);
  } catch (const std::exception& error) {
    // A failure of the C++ library (memory, a container bound) ends the run like a runtime
    // error instead of aborting without a report.
    HandleUncaughtError(RuntimeError("NORVANE", 9000, error.what(), "C++ exception"));
  }
  return FinishRun(failures);
}

int main() { return MAIN(); }
