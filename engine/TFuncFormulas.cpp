#include "TFuncFormulas.h"

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"

namespace nv {

// Provisional bodies: the interface is fixed, the functions follow.

std::shared_ptr<TFuncFormulas> TFuncFormulas::New() {
  auto library = std::make_shared<TFuncFormulas>();
  library->Init();
  return library;
}

std::shared_ptr<TFuncFormulas> TFuncFormulas::Init() {
  hFunciones = Value::NewHash();
  hTransformPlanCache = Value::NewHash();
  transformPlans_.clear();
  lCreated = false;
  return std::static_pointer_cast<TFuncFormulas>(shared_from_this());
}

std::shared_ptr<TFuncFormulas> TFuncFormulas::Create() {
  lCreated = true;
  return std::static_pointer_cast<TFuncFormulas>(shared_from_this());
}

Value TFuncFormulas::End() {
  hFunciones = Value::NewHash();
  hTransformPlanCache = Value::NewHash();
  transformPlans_.clear();
  lCreated = false;
  return Value();
}

bool TFuncFormulas::RespondsTo(std::string_view name) const {
  return NameIn(name, {"Ejecutar", "hFunciones", "hTransformPlanCache", "lCreated", "DateDifference",
                       "FechaDesdeValor"}) ||
         Object::RespondsTo(name);
}

Value TFuncFormulas::Ejecutar(const Value& name, const Value& values) {
  if (const ArrayPtr* list = values.ArrayRef()) return Ejecutar(nv::ValorAString(name), std::span<const Value>(**list));
  return Ejecutar(nv::ValorAString(name), std::span<const Value>());
}

Value TFuncFormulas::Ejecutar(std::string_view name, std::span<const Value>) {
  return Value("[Funcion no implementada: " + std::string(name) + "]");
}

#define NV_STUB1(F) Value TFuncFormulas::F(const Value&) { return Value(); }
#define NV_STUB2(F) Value TFuncFormulas::F(const Value&, const Value&) { return Value(); }
#define NV_STUB3(F) Value TFuncFormulas::F(const Value&, const Value&, const Value&) { return Value(); }
NV_STUB1(Abs) NV_STUB2(AddDays) NV_STUB1(AllTrim) NV_STUB2(At) NV_STUB2(RAt) NV_STUB3(StrPos)
NV_STUB2(Barcode) NV_STUB1(Chr) NV_STUB2(Contains) NV_STUB1(CToD) NV_STUB3(DateYMD) NV_STUB1(Dow)
NV_STUB1(DToC) NV_STUB1(DToS) NV_STUB1(Empty) NV_STUB1(Exp10) NV_STUB1(hb_MemoRead) NV_STUB1(Hour)
NV_STUB1(Int) NV_STUB1(IsNull) NV_STUB2(Left) NV_STUB1(Len) NV_STUB2(LoadFile) NV_STUB1(Lower)
NV_STUB1(LTrim) NV_STUB1(Month) NV_STUB2(Right) NV_STUB3(RGB) NV_STUB2(Round) NV_STUB1(RTrim)
NV_STUB1(SToD) NV_STUB3(Str) NV_STUB3(SubStr) NV_STUB2(Transform) NV_STUB1(Upper) NV_STUB1(Val)
NV_STUB1(Year) NV_STUB1(ValorAString) NV_STUB3(ArgAt) NV_STUB1(EsNumerico) NV_STUB1(NormalizarComponenteColor)
NV_STUB1(ResolverRutaFichero) NV_STUB1(FechaDesdeValor) NV_STUB1(FechaDesdeTextoSerial)
NV_STUB1(FechaDesdeTextoVisible) NV_STUB1(FechaValida) NV_STUB1(FormatearFechaVisible)
NV_STUB1(FormatearFechaVisibleLarga) NV_STUB1(LongitudTexto) NV_STUB3(SubTexto) NV_STUB1(ContarDecimalesMascara)
NV_STUB1(MascaraUsaMiles) NV_STUB1(ExtraerPlantillaNumericaTransform) NV_STUB2(AjustarAnchoMascaraNumerica)
NV_STUB3(AplicarSeparadorMiles) NV_STUB1(EsMascaraFecha) NV_STUB2(FormatearFechaConMascara)
NV_STUB2(NumeroATexto) NV_STUB1(MaxArray) NV_STUB1(ExtraerNumeroInicial) NV_STUB2(DateDifference)
#undef NV_STUB1
#undef NV_STUB2
#undef NV_STUB3

Value TFuncFormulas::Date() { return Value(); }
Value TFuncFormulas::Now() { return Value(); }
Value TFuncFormulas::Null() { return Value(); }
Value TFuncFormulas::Max(std::span<const Value>) { return Value(); }
Value TFuncFormulas::StrTran(const Value&, const Value&, const Value&, const Value&, const Value&) { return Value(); }
nv::Date TFuncFormulas::DateFromValue(const Value&) { return nv::Date{}; }
nv::Date TFuncFormulas::DateFromSerialText(std::string_view) { return nv::Date{}; }
nv::Date TFuncFormulas::DateFromVisibleText(std::string_view) { return nv::Date{}; }
std::string TFuncFormulas::VisibleDate(nv::Date) { return ""; }
std::string TFuncFormulas::LongVisibleDate(nv::Date) { return ""; }
std::string TFuncFormulas::NumberText(const Number&, int) { return ""; }
std::string TFuncFormulas::GroupThousands(std::string_view, char, char) { return ""; }
std::string TFuncFormulas::LeadingNumberText(std::string_view) { return ""; }

}  // namespace nv
