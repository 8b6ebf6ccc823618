#include <gtest/gtest.h>

#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "data/TConectorDatosReg.h"
#include "Value.h"

using namespace nv;

namespace {

// A data file in the temporary directory, deleted when the test ends.
class DataFile {
 public:
  explicit DataFile(std::string_view content) : path_(CreateTempFile("vbk_test_", ".json")) {
    WriteFile(path_, content);
  }
  ~DataFile() { DeleteFile(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::shared_ptr<TConectorDatos> Load(std::string_view json) {
  DataFile file(json);
  auto connector = TConectorDatos::New(Value(file.Path()));
  connector->Create();
  return connector;
}

Value Row(std::initializer_list<Value> values) { return Value::FromArray(Array(values)); }

Value Def(std::initializer_list<std::pair<const char*, Value>> entries) {
  Value h = Value::NewHash();
  for (const auto& [k, v] : entries) h.Set(k, v);
  return h;
}

std::string Text(const Value& v) { return ValueString(v); }

}  // namespace

TEST(Connector, TypedAndPlainValuesBecomeBlockFieldVariables) {
  auto typed = Load(R"({"DataVar": {"DATOS": {"CLIENTE": {"tipo": "texto", "valor": "X"},
                                               "IMPORTE": {"valor": 12.50},
                                               "EXTRA": {"sin": "valor"}}}})");
  Value vars = typed->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "DATOS.CLIENTE")), "X");
  EXPECT_EQ(Text(HGet(vars, "DATOS.IMPORTE")), "12.50");
  // A hash without "valor" is itself the value.
  EXPECT_TRUE(HGet(vars, "DATOS.EXTRA").IsHash());

  auto plain = Load(R"({"DataVar": {"DATOS": {"CLIENTE": "X"}, "OTRO": 5, "": {"A": 1}}, "Extra": 1})");
  vars = plain->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "DATOS.CLIENTE")), "X");
  // A block that is not a hash and a block without name give nothing.
  EXPECT_EQ(vars.Len(), 1u);
  // GetData returns the live hash, unknown keys kept.
  EXPECT_TRUE(plain->GetData().SameRef(plain->hDatos));
  EXPECT_EQ(ValueInt(HGet(plain->GetData(), "Extra")), 1);
  plain->GetData()["DataVar"]["DATOS"].Set("NUEVO", Value("n"));
  EXPECT_EQ(Text(HGet(plain->GetVariables(), "DATOS.NUEVO")), "n");
}

TEST(Connector, BadDataFilesGiveEmptyDataSilently) {
  for (std::string_view content : {"", "{not json", "[1, 2]", "\"text\"", "{}"}) {
    auto connector = Load(content);
    EXPECT_TRUE(connector->GetData().IsHash()) << content;
    EXPECT_EQ(connector->GetData().Len(), 0u) << content;
    EXPECT_EQ(connector->GetVariables().Len(), 0u) << content;
    EXPECT_EQ(connector->GetRegistrosDetalle().Len(), 0u) << content;
  }
  auto missing = TConectorDatos::New(Value("/nonexistent/dir/data.json"));
  missing->Create();
  EXPECT_EQ(missing->GetData().Len(), 0u);
  auto noPath = TConectorDatos::New(Value(42));
  EXPECT_EQ(noPath->cRuta, "");
  noPath->Create();
  EXPECT_EQ(noPath->GetData().Len(), 0u);
}

TEST(Connector, OnlyTheFirstDetailBlockThatYieldsRecordsCounts) {
  auto connector = Load(R"({"DetalleVar": {
      "VACIO": [],
      "NOHASH": [1, "x"],
      "NOARRAY": {"A": 1},
      "LINEAS": [{"NOMBRE": "a", "N": {"tipo": "numerico", "valor": 1}}, 7, {"NOMBRE": "b"}],
      "OTRAS": [{"NOMBRE": "c"}]},
    "detalle": [{"X": 1}]})");
  Value records = connector->GetRegistrosDetalle();
  ASSERT_EQ(records.Len(), 2u);
  EXPECT_EQ(Text(HGet(records.Item(1), "LINEAS.NOMBRE")), "a");
  EXPECT_EQ(ValueInt(HGet(records.Item(1), "LINEAS.N")), 1);
  EXPECT_EQ(Text(HGet(records.Item(2), "LINEAS.NOMBRE")), "b");

  // The first record's fields join the variables.
  Value vars = connector->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "LINEAS.NOMBRE")), "a");
  EXPECT_FALSE(vars.Has("OTRAS.NOMBRE"));
}

TEST(Connector, AlternativeDetailKeysAreConsultedInOrder) {
  auto connector = Load(R"({"DetalleVar": {"L": [{}]},
                             "registros": [{"R": 1}],
                             "detalle": [{"D.X": 1}, 5, {"D.X": 2}]})");
  Value records = connector->GetRegistrosDetalle();
  ASSERT_EQ(records.Len(), 2u);
  // Ready-made records are handed back as they are.
  EXPECT_TRUE(records.Item(1).SameRef(connector->GetData()["detalle"].Item(1)));
  EXPECT_EQ(ValueInt(HGet(records.Item(2), "D.X")), 2);

  // The first alternative key holding an array wins, even without hashes in it.
  auto empty = Load(R"({"LINEAS_TABLA": [1, 2], "detalle": [{"D.X": 1}]})");
  EXPECT_EQ(empty->GetRegistrosDetalle().Len(), 0u);
  auto skipsNonArray = Load(R"({"lineasTabla": {"a": 1}, "DETALLE": [{"D.X": 1}]})");
  EXPECT_EQ(skipsNonArray->GetRegistrosDetalle().Len(), 1u);
}

TEST(Connector, NumericMasksAreRewrittenOthersStayUnchanged) {
  auto connector = Load(R"({"DataVar": {"OMEM_PICTURES": {
      "A": "###,##0.00", "B": "#,###", "C": "-##9", "D": "@E 999.99", "E": "99x", "F": "---",
      "G": {"tipo": "texto", "valor": "#,##0.0"}, "H": 999, "I": ""},
    "DATOS": {"M": "#,###"}}})");
  Value vars = connector->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.A")), "@E 999,999.99");
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.B")), "@E 9999");
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.C")), "@E 9999");
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.D")), "@E 999.99");
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.E")), "99x");
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.F")), "---");
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.G")), "@E 9,999.9");
  EXPECT_EQ(Text(connector->GetData()["DataVar"]["OMEM_PICTURES"]["G"]["tipo"]), "texto");
  EXPECT_TRUE(HGet(vars, "OMEM_PICTURES.H").IsNumber());
  EXPECT_EQ(Text(HGet(vars, "OMEM_PICTURES.I")), "");
  // Masks outside the mask block are data like any other.
  EXPECT_EQ(Text(HGet(vars, "DATOS.M")), "#,###");

  EXPECT_TRUE(TConectorDatos::EsMascaraNumericaVb12(Value(" #.## ")));
  EXPECT_FALSE(TConectorDatos::EsMascaraNumericaVb12(Value(".,-")));
  EXPECT_FALSE(TConectorDatos::EsMascaraNumericaVb12(Value("@9")));
  // A non-hash argument gives a new empty hash.
  EXPECT_EQ(connector->NormalizarDatosRuntime(Value(3)).Len(), 0u);
}

TEST(Connector, UserAndAccumulatorFormulasAndMergeOrder) {
  auto connector = Load(R"({
    "DataVar": {"LINEAS": {"NOMBRE": "dato"}, "DATOS": {"X": 1}},
    "DetalleVar": {"LINEAS": [{"NOMBRE": "linea"}]},
    "UserVar": {"TOTAL": {"formula": "1+1"}, "NOHASH": 5, "SIN": {"tipo": "N"}, "NUM": {"formula": 3}},
    "AcumVar": {"Suma": {"formula": "DETALLE.IMPORTE"}}})");
  Value vars = connector->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "VAR.TOTAL")), "1+1");
  EXPECT_EQ(Text(HGet(vars, "VAR.NOHASH", Value("absent"))), "");
  EXPECT_EQ(Text(HGet(vars, "VAR.SIN", Value("absent"))), "");
  EXPECT_EQ(Text(HGet(vars, "VAR.NUM")), "3");
  EXPECT_EQ(Text(HGet(vars, "SUM.Suma")), "DETALLE.IMPORTE");
  // A first-record field overrides the data variable of the same name and keeps its position.
  EXPECT_EQ(Text(HGet(vars, "LINEAS.NOMBRE")), "linea");
  EXPECT_EQ(Text(HashKeys(vars).Item(1)), "LINEAS.NOMBRE");
  // Each query recomputes: a new hash every time.
  EXPECT_FALSE(connector->GetVariables().SameRef(vars));
}

TEST(ConnectorReg, SendDataVarStoresTypedValues) {
  auto connector = TConectorDatosReg::New();
  connector->Create();
  Value defs = Row({Def({{"grupo", "DATOS"}, {"nombre", "CLIENTE"}, {"tipo", "texto"}}),
                    Def({{"name", "CLIENTES.NOMBRE"}, {"group", "DATOS"}, {"type", "Numeric"}}),
                    Def({{"campo", "SINTIPO"}}), Def({{"cName", "  "}}), Value(5),
                    Def({{"nombre", "RARO"}, {"cType", " Moneda "}, {"nLength", 10}, {"decimals", 2}})});
  connector->SendDataVar(defs, Row({Row({"X", 7, "s"}), Row({"ignored"})}));

  Value data = connector->GetData();
  Value typed = data["DataVar"]["DATOS"]["CLIENTE"];
  EXPECT_EQ(Text(typed["tipo"]), "texto");
  EXPECT_EQ(Text(typed["valor"]), "X");
  // A point in the name overrides the block.
  EXPECT_EQ(Text(data["DataVar"]["CLIENTES"]["NOMBRE"]["tipo"]), "numerico");
  EXPECT_EQ(Text(data["DataVar"]["DATOS"]["SINTIPO"]["tipo"]), "texto");
  EXPECT_EQ(Text(data["DataVar"]["DATOS"]["RARO"]["tipo"]), "moneda");
  // A short row gives nil, and the field still exists.
  EXPECT_TRUE(data["DataVar"]["DATOS"]["RARO"].Has("valor"));
  EXPECT_TRUE(data["DataVar"]["DATOS"]["RARO"]["valor"].IsNil());

  Value vars = connector->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "DATOS.CLIENTE")), "X");
  EXPECT_EQ(ValueInt(HGet(vars, "CLIENTES.NOMBRE")), 7);
  EXPECT_EQ(vars.Len(), 4u);
  // Definitions without name or of the wrong kind are dropped; rows are kept as sent.
  EXPECT_EQ(data["_StructVar"].Len(), 4u);
  EXPECT_EQ(Text(data["_StructVar"].Item(4)["longitud"]), "10");
  EXPECT_EQ(Text(data["_StructVar"].Item(4)["decimales"]), "2");
  EXPECT_EQ(data["_RegVar"].Len(), 2u);
  EXPECT_EQ(Text(connector->GetVarValue(Value("CLIENTE"), Value("d"))), "X");
  EXPECT_EQ(ValueInt(connector->GetVarValue(Value("CLIENTES.NOMBRE"))), 7);
  EXPECT_EQ(Text(connector->GetVarValue(Value("NADA"), Value("d"))), "d");

  // A send replaces the previous variables completely; bad rows give no values.
  connector->SendDataVar(defs, Value("not rows"));
  EXPECT_TRUE(connector->GetData()["DataVar"]["DATOS"]["CLIENTE"]["valor"].IsNil());
  EXPECT_EQ(connector->GetData()["_RegVar"].Len(), 0u);
  connector->SendDataVar(Value(), Value());
  EXPECT_EQ(connector->GetVariables().Len(), 0u);
}

TEST(ConnectorReg, DefinitionsAndTypeNames) {
  Value def = TConectorDatosReg::DefinicionCampo(Def({{"nombre", " A.B.C "}, {"grupo", "G"}}), Value("DATOS"));
  EXPECT_EQ(Text(def["grupo"]), "A");
  EXPECT_EQ(Text(def["nombre"]), "B.C");
  def = TConectorDatosReg::DefinicionCampo(Def({{"nombre", "N"}, {"grupo", ""}, {"alias", "X"}}), Value(" D "));
  // The first key present counts even when empty; then the default block, trimmed.
  EXPECT_EQ(Text(def["grupo"]), "D");
  def = TConectorDatosReg::DefinicionCampo(Def({{"nombre", "N"}, {"tabla", "   "}}), Value("DATOS"));
  EXPECT_EQ(Text(def["grupo"]), "");
  EXPECT_TRUE(def["longitud"].IsNil());

  const std::pair<const char*, const char*> types[] = {
      {"C", "texto"},     {"string", "texto"},    {"Numeric", "numerico"}, {"decimal", "numerico"},
      {" d ", "fecha"},   {"FECHA", "fecha"},     {"bool", "logico"},      {"L", "logico"},
      {"memo", "memo"},   {"i", "imagen"},        {"Imagen", "imagen"},    {"Otro Tipo", "otro tipo"},
      {"", "texto"},      {"   ", "texto"}};
  for (const auto& [sent, stored] : types) {
    EXPECT_EQ(Text(TConectorDatosReg::NormalizarTipo(Value(sent))), stored) << sent;
  }
  EXPECT_EQ(Text(TConectorDatosReg::NormalizarTipo(Value())), "texto");
}

TEST(ConnectorReg, LineCursorOverFiveLines) {
  auto connector = TConectorDatosReg::New();
  Value defs = Row({Def({{"grupo", "LINEAS"}, {"nombre", "NOMBRE"}})});
  connector->SendDataLine(defs, Row({Row({"a"}), Row({"b"}), Row({"c"}), Row({"d"}), Row({"e"})}));
  EXPECT_EQ(ValueInt(connector->GetTotalLine()), 5);
  Value records = connector->GetRegistrosDetalle();
  ASSERT_EQ(records.Len(), 5u);
  EXPECT_EQ(Text(records.Item(5)["LINEAS.NOMBRE"]), "e");

  EXPECT_EQ(Text(connector->GetLineValue(Value("NOMBRE"), Value(""))), "a");
  for (int i = 0; i < 4; ++i) connector->NextLine();
  EXPECT_EQ(Text(connector->GetCurrentLine()["LINEAS.NOMBRE"]), "e");
  EXPECT_EQ(Text(connector->GetLineValue(Value("LINEAS.NOMBRE"))), "e");
  EXPECT_FALSE(connector->EofLine().AsBool());
  connector->NextLine();
  EXPECT_TRUE(connector->EofLine().AsBool());
  EXPECT_EQ(connector->GetCurrentLine().Len(), 0u);
  EXPECT_EQ(Text(connector->GetLineValue(Value("NOMBRE"), Value("none"))), "none");
  connector->ResetLine();
  EXPECT_EQ(Text(connector->GetLineValue(Value("NOMBRE"))), "a");
  connector->nIndiceLineActual = -1;
  EXPECT_EQ(connector->GetCurrentLine().Len(), 0u);

  // A new send resets the cursor.
  connector->NextLine();
  connector->SendDataLine(defs, Row({Row({"z"})}));
  EXPECT_EQ(connector->nIndiceLineActual, 0);
  EXPECT_EQ(Text(connector->GetLineValue(Value("NOMBRE"))), "z");
}

TEST(ConnectorReg, LineBlocksShortRowsAndNonArrayRows) {
  auto connector = TConectorDatosReg::New();
  Value defs = Row({Def({{"nombre", "DET.A"}}), Def({{"nombre", "B"}}), Def({{"nombre", "OTRA.C"}})});
  connector->SendDataLine(defs, Row({Row({1, 2, 3}), Value("skip"), Row({4}), Value()}));
  EXPECT_EQ(connector->cGrupoLineActual, "DET");
  EXPECT_EQ(ValueInt(connector->GetTotalLine()), 4);

  Value detalle = connector->GetData()["DetalleVar"];
  // Row 2 is not an array: its place is an empty record because row 3 fills a higher position.
  ASSERT_EQ(detalle["DET"].Len(), 3u);
  EXPECT_EQ(detalle["DET"].Item(2).Len(), 0u);
  // Short rows store nil for the missing fields.
  EXPECT_TRUE(detalle["DET"].Item(3).Has("A"));
  EXPECT_TRUE(detalle["OTRA"].Item(3)["C"]["valor"].IsNil());
  EXPECT_EQ(Text(detalle["LINEAS"].Item(1)["B"]["valor"]), "2");

  // Records of all blocks, block after block, empty ones kept.
  Value records = connector->GetRegistrosDetalle();
  ASSERT_EQ(records.Len(), 9u);
  EXPECT_EQ(ValueInt(records.Item(1)["DET.A"]), 1);
  EXPECT_EQ(records.Item(2).Len(), 0u);
  EXPECT_EQ(ValueInt(records.Item(4)["LINEAS.B"]), 2);
  EXPECT_EQ(ValueInt(records.Item(7)["OTRA.C"]), 3);
  EXPECT_EQ(ValueInt(connector->GetLineValue(Value("A"))), 1);
}

TEST(ConnectorReg, CachesAreDroppedExactlyBySends) {
  auto connector = TConectorDatosReg::New();
  connector->SendDataLine(Row({Def({{"grupo", "LINEAS"}, {"nombre", "NOMBRE"}})}), Row({Row({"primera"}), Row({"b"})}));
  Value records = connector->GetRegistrosDetalle();
  EXPECT_TRUE(connector->GetRegistrosDetalle().SameRef(records));

  connector->SendDataVar(Row({Def({{"grupo", "DATOS"}, {"nombre", "CLIENTE"}})}), Row({Row({"X"})}));
  // The records cache survives a variable send; the variables include the first line record.
  EXPECT_TRUE(connector->GetRegistrosDetalle().SameRef(records));
  Value vars = connector->GetVariables();
  EXPECT_EQ(Text(HGet(vars, "DATOS.CLIENTE")), "X");
  EXPECT_EQ(Text(HGet(vars, "LINEAS.NOMBRE")), "primera");
  EXPECT_TRUE(connector->GetVariables().SameRef(vars));
  // GetVarValue reads data variables only, never detail fields.
  EXPECT_TRUE(connector->GetVarValue(Value("LINEAS.NOMBRE")).IsNil());

  connector->SendDataLine(Row({Def({{"grupo", "LINEAS"}, {"nombre", "NOMBRE"}})}), Row({Row({"nueva"})}));
  EXPECT_FALSE(connector->GetRegistrosDetalle().SameRef(records));
  EXPECT_FALSE(connector->GetVariables().SameRef(vars));
  EXPECT_EQ(Text(HGet(connector->GetVariables(), "LINEAS.NOMBRE")), "nueva");

  // A mask block sent as variables is normalised like a loaded one.
  connector->SendDataVar(Row({Def({{"grupo", "OMEM_PICTURES"}, {"nombre", "IMPORTE"}})}), Row({Row({"#,##0.00"})}));
  EXPECT_EQ(Text(HGet(connector->GetVariables(), "OMEM_PICTURES.IMPORTE")), "@E 9,999.99");

  // Creating it through its base class loads nothing either: the sent data stay.
  std::shared_ptr<TConectorDatos> base = connector;
  base->Create();
  EXPECT_EQ(Text(HGet(connector->GetVariables(), "OMEM_PICTURES.IMPORTE")), "@E 9,999.99");

  connector->End();
  EXPECT_EQ(connector->GetVariables().Len(), 0u);
  EXPECT_EQ(connector->GetRegistrosDetalle().Len(), 0u);
  Value keys = HashKeys(connector->GetData());
  ASSERT_EQ(keys.Len(), 6u);
  EXPECT_EQ(Text(keys.Item(1)), "DataVar");
  EXPECT_EQ(Text(keys.Item(6)), "_RegLine");
}

// Regression: a zero placeholder made the common mask ###,##0.00 look like no mask at all.
TEST(Connector, ZeroPlaceholderKeepsAMaskNumeric) {
  EXPECT_TRUE(TConectorDatos::EsMascaraNumericaVb12(Value("###,##0.00")));
  EXPECT_FALSE(TConectorDatos::EsMascaraNumericaVb12(Value("0.00")));
  EXPECT_EQ(ValueString(TConectorDatos::NormalizarMascaraVb12(Value("#0"))), "@E 99");
}

TEST(ConnectorReg, RecordsOfABlockKeepTheirOwnFieldsWhateverTheirNeighbours) {
  // Records usually share their fields and are built from one key shape; records with other
  // fields, or the same fields in another order, must still get exactly their own keys.
  auto connector = TConectorDatosReg::New();
  auto field = [](const char* valor) {
    Value f = Value::NewHash();
    f.Set("tipo", "texto");
    f.Set("valor", valor);
    return f;
  };
  auto record = [](std::initializer_list<std::pair<const char*, Value>> fields) {
    Value r = Value::NewHash();
    for (const auto& [name, value] : fields) r.Set(name, value);
    return r;
  };
  Value lineas = Row({record({{"A", field("1")}, {"B", field("2")}}), record({{"A", field("3")}, {"B", field("4")}}),
                      record({{"B", field("5")}, {"A", field("6")}}), record({{"A", field("7")}}),
                      record({{"A", field("8")}, {"B", field("9")}, {"C", field("10")}}),
                      record({{"A", field("11")}, {"B", field("12")}})});
  Value detalle = Value::NewHash();
  detalle.Set("L", lineas);
  connector->hDatos.Set("DetalleVar", detalle);
  Value records = connector->GetRegistrosDetalle();
  ASSERT_EQ(records.Len(), 6u);
  auto describe = [](const Value& r) {
    std::string out;
    for (const auto& [key, value] : r.AsHash()) out += key + "=" + ValueString(value) + ";";
    return out;
  };
  EXPECT_EQ(describe(records.Item(1)), "L.A=1;L.B=2;");
  EXPECT_EQ(describe(records.Item(2)), "L.A=3;L.B=4;");
  EXPECT_EQ(describe(records.Item(3)), "L.B=5;L.A=6;");
  EXPECT_EQ(describe(records.Item(4)), "L.A=7;");
  EXPECT_EQ(describe(records.Item(5)), "L.A=8;L.B=9;L.C=10;");
  EXPECT_EQ(describe(records.Item(6)), "L.A=11;L.B=12;");
  // Each record is a hash of its own that finds its keys.
  records.Item(1).Set("L.A", Value("x"));
  EXPECT_EQ(Text(records.Item(2)["L.A"]), "3");
  EXPECT_EQ(Text(records.Item(6)["L.B"]), "12");
  EXPECT_FALSE(records.Item(2).Has("L.C"));
}
