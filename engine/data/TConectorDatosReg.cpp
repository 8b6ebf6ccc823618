#include "data/TConectorDatosReg.h"

#include <initializer_list>

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"

namespace nv {

namespace {

// The value of the first key of the list present in the definition, else nil; found tells
// whether any was present.
Value FirstPresent(const Value& definition, std::initializer_list<std::string_view> keys, bool& found) {
  for (std::string_view key : keys) {
    if (const Value* v = definition.AsHash().Find(key)) {
      found = true;
      return *v;
    }
  }
  found = false;
  return Value();
}

Value TypedValue(const Value& type, Value value) {
  Value typed = Value::NewHash();
  typed.Set("tipo", type);
  typed.Set("valor", std::move(value));
  return typed;
}

Value ElementOr(const Array& row, size_t index0) { return index0 < row.size() ? row[index0] : Value(); }

}  // namespace

bool TConectorDatosReg::RespondsTo(std::string_view name) const {
  return NameIn(name, {"cGrupoVarDefecto", "cGrupoLineDefecto", "cGrupoLineActual", "nIndiceLineActual",
                       "hVariablesCache", "aRegistrosDetalleCache", "SendDataVar", "SendDataLine", "ResetLine",
                       "NextLine", "EofLine", "GetTotalLine", "GetCurrentLine", "GetLineValue", "GetVarValue"}) ||
         TConectorDatos::RespondsTo(name);
}

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::New(const Value& ignored) {
  auto connector = std::make_shared<TConectorDatosReg>();
  connector->Init(ignored);
  return connector;
}

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::Init(const Value&) {
  cRuta.clear();
  hDatos = EmptyData();
  cGrupoVarDefecto = "DATOS";
  cGrupoLineDefecto = "LINEAS";
  cGrupoLineActual = "LINEAS";
  nIndiceLineActual = 0;
  hVariablesCache = Value();
  aRegistrosDetalleCache = Value();
  return std::static_pointer_cast<TConectorDatosReg>(shared_from_this());
}

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::Create() {
  return std::static_pointer_cast<TConectorDatosReg>(shared_from_this());
}

Value TConectorDatosReg::End() {
  hDatos = EmptyData();
  cRuta.clear();
  cGrupoLineActual = "LINEAS";
  nIndiceLineActual = 0;
  hVariablesCache = Value();
  aRegistrosDetalleCache = Value();
  return Value();
}

Value TConectorDatosReg::EmptyData() {
  Value data = Value::NewHash();
  data.Set("DataVar", Value::NewHash());
  data.Set("DetalleVar", Value::NewHash());
  data.Set("_StructVar", Value::NewArray());
  data.Set("_RegVar", Value::NewArray());
  data.Set("_StructLine", Value::NewArray());
  data.Set("_RegLine", Value::NewArray());
  return data;
}

void TConectorDatosReg::EnsureData() {
  // hDatos is public and handed out live; a host that replaced it by another kind gets the empty
  // structure back instead of a failing send.
  if (!hDatos.IsHash()) hDatos = EmptyData();
}

Value TConectorDatosReg::NormalizarTipo(const Value& type) {
  std::string t = Lower(AllTrim(ValueString(type)));
  auto in = [&t](std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
      if (t == name) return true;
    }
    return false;
  };
  if (t.empty() || in({"c", "char", "character", "string", "texto"})) return Value("texto");
  if (in({"n", "num", "number", "numeric", "numerico", "decimal"})) return Value("numerico");
  if (in({"d", "date", "fecha"})) return Value("fecha");
  if (in({"l", "logical", "bool", "boolean", "logico"})) return Value("logico");
  if (in({"m", "memo"})) return Value("memo");
  if (in({"i", "image", "imagen"})) return Value("imagen");
  return Value(t);
}

Value TConectorDatosReg::DefinicionCampo(const Value& definition, const Value& block) {
  Value def = definition.IsHash() ? definition : Value::NewHash();
  bool found = false;
  std::string name = AllTrim(ValueString(FirstPresent(def, {"nombre", "name", "campo", "cName"}, found)));
  std::string group = ValueString(FirstPresent(def, {"grupo", "group", "tabla", "alias"}, found));
  if (group.empty()) group = ValueString(block);
  group = AllTrim(group);
  size_t point = name.find('.');
  if (point != std::string::npos) {
    group = name.substr(0, point);
    name = name.substr(point + 1);
  }
  Value type = FirstPresent(def, {"tipo", "type", "cType"}, found);
  Value length = FirstPresent(def, {"longitud", "length", "nLength"}, found);
  Value decimals = FirstPresent(def, {"decimales", "decimals", "nDecimals"}, found);

  Value normalised = Value::NewHash();
  normalised.Set("nombre", Value(name));
  normalised.Set("grupo", Value(group));
  normalised.Set("tipo", NormalizarTipo(type));
  normalised.Set("longitud", length);
  normalised.Set("decimales", decimals);
  return normalised;
}

Value TConectorDatosReg::NormalizarStruct(const Value& definitions, const Value& block) {
  Value defs = Value::NewArray();
  if (!definitions.IsArray()) return defs;
  for (const Value& definition : definitions.AsArray()) {
    if (!definition.IsHash()) continue;
    Value def = DefinicionCampo(definition, block);
    if (!def["nombre"].AsString().empty()) defs.Append(std::move(def));
  }
  return defs;
}

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::SendDataVar(const Value& definitions, const Value& rows) {
  EnsureData();
  Value defs = NormalizarStruct(definitions, Value(cGrupoVarDefecto));
  Value row = Value::NewArray();
  if (rows.IsArray() && rows.Len() > 0 && rows.Item(1).IsArray()) row = rows.Item(1);

  Value dataVar = Value::NewHash();
  const Array& values = row.AsArray();
  const Array& list = defs.AsArray();
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& group = list[i]["grupo"].AsString();
    const std::string& name = list[i]["nombre"].AsString();
    if (group.empty() || name.empty()) continue;
    Value* fields = dataVar.AsHash().Find(group);
    if (fields == nullptr) {
      dataVar.Set(group, Value::NewHash());
      fields = dataVar.AsHash().Find(group);
    }
    fields->Set(name, TypedValue(list[i]["tipo"], ElementOr(values, i)));
  }

  hDatos.Set("DataVar", dataVar);
  NormalizarDatosRuntime(hDatos);
  hDatos.Set("_StructVar", defs);
  hDatos.Set("_RegVar", rows.IsArray() ? rows : Value::NewArray());
  // The lines did not change, so the records cache stays valid.
  hVariablesCache = Value();
  return std::static_pointer_cast<TConectorDatosReg>(shared_from_this());
}

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::SendDataLine(const Value& definitions, const Value& rows) {
  EnsureData();
  Value defs = NormalizarStruct(definitions, Value(cGrupoLineDefecto));
  const Array& list = defs.AsArray();
  cGrupoLineActual = !list.empty() && !list[0]["grupo"].AsString().empty() ? list[0]["grupo"].AsString()
                                                                           : cGrupoLineDefecto;

  Value detalle = Value::NewHash();
  if (rows.IsArray()) {
    const Array& allRows = rows.AsArray();
    for (size_t r = 0; r < allRows.size(); ++r) {
      const ArrayPtr* row = allRows[r].ArrayRef();
      if (row == nullptr) continue;
      for (size_t i = 0; i < list.size(); ++i) {
        const std::string& group = list[i]["grupo"].AsString();
        const std::string& name = list[i]["nombre"].AsString();
        if (group.empty() || name.empty()) continue;
        Value* records = detalle.AsHash().Find(group);
        if (records == nullptr) {
          detalle.Set(group, Value::NewArray());
          records = detalle.AsHash().Find(group);
        }
        Array& recordList = records->AsArray();
        while (recordList.size() < r + 1) recordList.push_back(Value::NewHash());
        recordList[r].Set(name, TypedValue(list[i]["tipo"], ElementOr(**row, i)));
      }
    }
  }

  hDatos.Set("DetalleVar", detalle);
  hDatos.Set("_StructLine", defs);
  hDatos.Set("_RegLine", rows.IsArray() ? rows : Value::NewArray());
  hVariablesCache = Value();
  aRegistrosDetalleCache = Value();
  ResetLine();
  return std::static_pointer_cast<TConectorDatosReg>(shared_from_this());
}

Value TConectorDatosReg::ValorDefinicion(const Value& value) { return ValorVariableTipada(value); }

Value TConectorDatosReg::VariablesDataVarReg() {
  Value variables = Value::NewHash();
  Value blocks = HGet(hDatos, "DataVar");
  if (const HashPtr* b = blocks.HashRef()) {
    Hash& target = variables.AsHash();
    for (const auto& block : **b) {
      const HashPtr* fields = block.second.HashRef();
      if (fields == nullptr) continue;
      for (const auto& field : **fields) {
        target.Put(block.first + "." + field.first, ValorDefinicion(field.second));
      }
    }
  }
  return variables;
}

Value TConectorDatosReg::GetRegistrosDetalle() {
  if (aRegistrosDetalleCache.IsArray()) return aRegistrosDetalleCache;
  Value result = Value::NewArray();
  Array& out = result.AsArray();
  Value blocks = HGet(hDatos, "DetalleVar");
  if (const HashPtr* b = blocks.HashRef()) {
    for (const auto& block : **b) {
      const ArrayPtr* records = block.second.ArrayRef();
      if (records == nullptr) continue;
      const std::string prefix = block.first + ".";
      out.reserve(out.size() + (*records)->size());
      // The records of a block have the same fields, so the prefixed keys are built and hashed
      // once: a record whose field names are those of the shape, in its order, is a copy of the
      // shape filled by position; any other record builds the shape again.
      std::vector<std::string> shapeFields;
      Hash shape;
      bool haveShape = false;
      for (const Value& record : **records) {
        const HashPtr* fields = record.HashRef();
        if (fields == nullptr) continue;
        const Hash& f = **fields;
        bool same = haveShape && f.size() == shapeFields.size();
        for (size_t i = 0; same && i < f.size(); ++i) same = f.nth(i)->first == shapeFields[i];
        if (!same) {
          shapeFields.clear();
          std::vector<std::string> keys;
          for (const auto& field : f) {
            shapeFields.push_back(field.first);
            keys.push_back(prefix + field.first);
          }
          shape = Hash::Shape(keys, keys.size());
          haveShape = true;
        }
        HashPtr row = Hash::CopyOfShape(shape);
        for (size_t i = 0; i < f.size(); ++i) row->nth(i).value() = ValorDefinicion(f.nth(i)->second);
        out.push_back(Value(std::move(row)));
      }
    }
  }
  aRegistrosDetalleCache = result;
  return result;
}

Value TConectorDatosReg::GetVariables() {
  if (hVariablesCache.IsHash()) return hVariablesCache;
  Value variables = VariablesDataVarReg();
  Value records = GetRegistrosDetalle();
  if (records.Len() > 0) {
    if (const HashPtr* first = records.Item(1).HashRef()) {
      Hash& target = variables.AsHash();
      for (const auto& entry : **first) target.Put(entry.first, entry.second);
    }
  }
  hVariablesCache = variables;
  return variables;
}

Value TConectorDatosReg::GetData() { return hDatos; }

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::ResetLine() {
  nIndiceLineActual = 0;
  return std::static_pointer_cast<TConectorDatosReg>(shared_from_this());
}

std::shared_ptr<TConectorDatosReg> TConectorDatosReg::NextLine() {
  ++nIndiceLineActual;
  return std::static_pointer_cast<TConectorDatosReg>(shared_from_this());
}

Value TConectorDatosReg::GetTotalLine() { return Value::Int(static_cast<int64_t>(HGet(hDatos, "_RegLine").Len())); }

Value TConectorDatosReg::EofLine() { return Value(nIndiceLineActual >= GetTotalLine().AsNumber().i); }

Value TConectorDatosReg::GetCurrentLine() {
  Value records = GetRegistrosDetalle();
  if (nIndiceLineActual < 0 || nIndiceLineActual >= static_cast<int64_t>(records.Len())) return Value::NewHash();
  return records.Item(static_cast<size_t>(nIndiceLineActual) + 1);
}

Value TConectorDatosReg::GetLineValue(const Value& name, const Value& def) {
  std::string key = ValueString(name);
  if (key.find('.') == std::string::npos) key = cGrupoLineActual + "." + key;
  return HGet(GetCurrentLine(), key, def);
}

Value TConectorDatosReg::GetVarValue(const Value& name, const Value& def) {
  std::string key = ValueString(name);
  Value variables = VariablesDataVarReg();
  if (const Value* v = variables.AsHash().Find(key)) return *v;
  if (key.find('.') == std::string::npos) {
    if (const Value* v = variables.AsHash().Find(cGrupoVarDefecto + "." + key)) return *v;
  }
  return def;
}

}  // namespace nv
