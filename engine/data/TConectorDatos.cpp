#include "data/TConectorDatos.h"

#include "Accessors.h"
#include "Hash.h"
#include "Json.h"
#include "Runtime.h"
#include "data/DetailRecordConverter.h"
#include "data/DetailRecordView.h"

namespace nv {

namespace {

constexpr std::string_view kAlternativeDetailKeys[] = {"lineasTabla", "LINEAS_TABLA", "detalleTabla",
                                                       "DETALLE_TABLA", "detalle",     "DETALLE",
                                                       "registros",   "REGISTROS"};

}  // namespace

bool TConectorDatos::RespondsTo(std::string_view name) const {
  return NameIn(name, {"hDatos", "cRuta", "New", "Init", "Create", "SetRuta", "GetVariables", "GetData",
                       "NormalizarDatosRuntime", "GetRegistrosDetalle"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TConectorDatos> TConectorDatos::New(const Value& path) {
  auto connector = std::make_shared<TConectorDatos>();
  connector->Init(path);
  return connector;
}

std::shared_ptr<TConectorDatos> TConectorDatos::Init(const Value& path) {
  cRuta = path.IsString() ? path.AsString() : "";
  hDatos = Value::NewHash();
  return std::static_pointer_cast<TConectorDatos>(shared_from_this());
}

void TConectorDatos::CargarDatos() { hDatos = cRuta.empty() ? Value::NewHash() : CargarJson(Value(cRuta)); }

std::shared_ptr<TConectorDatos> TConectorDatos::Create() {
  CargarDatos();
  return std::static_pointer_cast<TConectorDatos>(shared_from_this());
}

Value TConectorDatos::End() {
  hDatos = Value::NewHash();
  registrosArchivo_.reset();
  cRuta.clear();
  return Value();
}

std::shared_ptr<TConectorDatos> TConectorDatos::SetRuta(const Value& path) {
  cRuta = path.IsString() ? path.AsString() : "";
  return std::static_pointer_cast<TConectorDatos>(shared_from_this());
}

Value TConectorDatos::GetVariables() {
  Value variables = Value::NewHash();
  variables = HashMergeLocal(variables, VariablesDataVar(hDatos));
  variables = HashMergeLocal(variables, PrimerRegistroDetalleVar(hDatos));
  variables = HashMergeLocal(variables, VariablesUserVar(hDatos));
  variables = HashMergeLocal(variables, VariablesAcumVar(hDatos));
  return variables;
}

Value TConectorDatos::GetData() { return hDatos; }

Value TConectorDatos::GetRegistrosDetalle() {
  if (!registrosArchivo_) return RegistrosDetalle(hDatos);
  Value all = Value::NewArray();
  all.AsArray().reserve(static_cast<size_t>(registrosArchivo_->Count()));
  for (int64_t i = 0; i < registrosArchivo_->Count(); ++i) all.Append(registrosArchivo_->At(i));
  return all;
}

std::shared_ptr<RecordSequence> TConectorDatos::GetSecuenciaRegistros() {
  if (registrosArchivo_) return registrosArchivo_;
  // "DetalleVar" lines are converted as the run reaches them, not all at once.
  if (std::shared_ptr<DetailRecordView> lines = DetailRecordView::OfFirstBlock(hDatos)) return lines;
  return FuenteRegistros::GetSecuenciaRegistros();
}

bool TConectorDatos::LeerRegistrosDelArchivo(const std::string& path, int64_t registrosMinimos) {
  std::shared_ptr<DataFileRecords> records = DataFileRecords::Open(path);
  if (!records || records->Count() < registrosMinimos) return false;
  hDatos = NormalizarDatosRuntime(records->Data());
  cRuta = path;
  registrosArchivo_ = std::move(records);
  return true;
}

std::shared_ptr<RecordSequence> TConectorDatos::GetRegistrosDelArchivo() const { return registrosArchivo_; }

int64_t TConectorDatos::RegistrosIlegibles() const { return registrosArchivo_ ? registrosArchivo_->FailedReads() : 0; }

std::string TConectorDatos::ResolverRuta(const Value& path) {
  std::string text = ValueString(path);
  if (text.empty() || !FileExists(text)) return "";
  return text;
}

Value TConectorDatos::CargarJson(const Value& path) {
  std::string resolved = ResolverRuta(path);
  if (resolved.empty()) return Value::NewHash();
  Value data = ReadJsonFile(resolved);
  if (!data.IsHash()) return Value::NewHash();
  return NormalizarDatosRuntime(data);
}

Value TConectorDatos::NormalizarDatosRuntime(const Value& data) {
  if (!data.IsHash()) return Value::NewHash();
  Value pictures = HGet(HGet(data, "DataVar"), "OMEM_PICTURES");
  if (const HashPtr* block = pictures.HashRef()) {
    for (auto it = (*block)->begin(); it != (*block)->end(); ++it) {
      it.value() = NormalizarValorDato(it->second);
    }
  }
  return data;
}

Value TConectorDatos::NormalizarValorDato(const Value& value) {
  if (value.IsHash() && value.Has("valor")) {
    value.Set("valor", NormalizarMascaraVb12(value["valor"]));
    return value;
  }
  return NormalizarMascaraVb12(value);
}

bool TConectorDatos::EsMascaraNumericaVb12(const Value& value) {
  std::string text = AllTrim(ValueString(value));
  if (text.empty() || text[0] == '@') return false;
  bool placeholder = false;
  for (char c : text) {
    switch (c) {
      case '&':
      case '#':
      case '9': placeholder = true; break;
      // "0" (a digit shown even when zero) is accepted besides the other five characters:
      // without it the everyday mask ###,##0.00 would never be recognised.
      case '0':
      case '-':
      case ',':
      case '.': break;
      default: return false;
    }
  }
  return placeholder;
}

Value TConectorDatos::NormalizarMascaraVb12(const Value& value) {
  if (!value.IsString() || !EsMascaraNumericaVb12(value)) return value;
  const std::string& source = value.AsString();
  const bool hasPoint = source.find('.') != std::string::npos;
  std::string mask = "@E ";
  mask.reserve(source.size() + 3);
  for (char c : source) {
    if (c == ',') {
      // Without decimals a thousands separator has nothing to separate from in the target
      // notation, so it is dropped.
      if (hasPoint) mask += ',';
    } else if (c == '.') {
      mask += '.';
    } else {
      mask += '9';
    }
  }
  return Value(std::move(mask));
}

Value TConectorDatos::ValorVariableTipada(const Value& value) {
  if (const HashPtr* h = value.HashRef()) {
    if (const Value* inner = (*h)->Find("valor")) return *inner;
  }
  return value;
}

Value TConectorDatos::VariablesDataVar(const Value& data) {
  Value variables = Value::NewHash();
  Value blocks = HGet(data, "DataVar");
  const HashPtr* b = blocks.HashRef();
  if (b == nullptr) return variables;
  Hash& target = variables.AsHash();
  for (const auto& block : **b) {
    const HashPtr* fields = block.second.HashRef();
    if (block.first.empty() || fields == nullptr) continue;
    for (const auto& field : **fields) {
      if (field.first.empty()) continue;
      target.Put(block.first + "." + field.first, ValorVariableTipada(field.second));
    }
  }
  return variables;
}

namespace {

// Walks the records of the first "DetalleVar" block that yields any, calling take(record); take
// returns false to stop early. Returns true when some block yielded a record.
template <typename Take>
bool WalkDetalleVarRecords(const Value& data, Take take) {
  const std::optional<DetailRecordView::Block> block = DetailRecordView::FirstBlock(data);
  if (!block) return false;
  DetailRecordConverter converter(block->name + ".");
  for (const Value& line : block->lines.AsArray()) {
    Value record;
    if (converter.Convert(line, record) && !take(std::move(record))) break;
  }
  return true;
}

// Walks the detail sources in their order of precedence. For every record of the source that
// wins, calls take(record); take returns false to stop early.
template <typename Take>
void WalkDetailRecords(const Value& data, Take take) {
  if (WalkDetalleVarRecords(data, take)) return;
  for (std::string_view key : kAlternativeDetailKeys) {
    Value records = HGet(data, key);
    if (!records.IsArray()) continue;
    for (const Value& record : records.AsArray()) {
      if (record.IsHash() && !take(Value(record))) return;
    }
    return;
  }
}

}  // namespace

std::span<const std::string_view> TConectorDatos::ClavesDetalleAlternativas() { return kAlternativeDetailKeys; }

Value TConectorDatos::RegistrosDetalle(const Value& data) {
  Value result = Value::NewArray();
  Array& out = result.AsArray();
  WalkDetailRecords(data, [&out](Value record) {
    out.push_back(std::move(record));
    return true;
  });
  return result;
}

Value TConectorDatos::RegistrosDetalleVar(const Value& data) {
  Value result = Value::NewArray();
  Array& out = result.AsArray();
  WalkDetalleVarRecords(data, [&out](Value record) {
    out.push_back(std::move(record));
    return true;
  });
  return result;
}

Value TConectorDatos::PrimerRegistroDetalleVar(const Value& data) {
  // Only the first record is needed, so the walk stops there instead of converting every record.
  Value first = Value::NewHash();
  WalkDetailRecords(data, [&first](Value record) {
    first = std::move(record);
    return false;
  });
  return first;
}

namespace {

Value FormulaVariables(const Value& data, std::string_view key, const std::string& prefix) {
  Value variables = Value::NewHash();
  Value definitions = HGet(data, key);
  if (const HashPtr* defs = definitions.HashRef()) {
    Hash& target = variables.AsHash();
    for (const auto& entry : **defs) {
      if (entry.first.empty()) continue;
      std::string formula = entry.second.IsHash() ? ValueString(HGet(entry.second, "formula", Value(""))) : "";
      target.Put(prefix + entry.first, Value(std::move(formula)));
    }
  }
  return variables;
}

}  // namespace

Value TConectorDatos::VariablesUserVar(const Value& data) { return FormulaVariables(data, "UserVar", "VAR."); }

Value TConectorDatos::VariablesAcumVar(const Value& data) { return FormulaVariables(data, "AcumVar", "SUM."); }

Value TConectorDatos::HashMergeLocal(Value target, const Value& source) {
  if (!target.IsHash()) target = Value::NewHash();
  if (const HashPtr* s = source.HashRef()) {
    Hash& t = target.AsHash();
    for (const auto& entry : **s) t.Put(entry.first, entry.second);
  }
  return target;
}

}  // namespace nv
