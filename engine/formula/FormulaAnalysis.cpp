#include "formula/FormulaAnalysis.h"

#include "Accessors.h"
#include "formula/EngineFunctions.h"
#include "formula/FormulaSplitter.h"
#include "formula/FormulaText.h"
#include "formula/FormulaValues.h"
#include "formula/TFuncFormulas.h"

namespace nv {

FormulaAnalysis FormulaAnalysis::Of(std::string_view text) {
  using T = FormulaAnalysis::Tipo;
  FormulaAnalysis a;
  auto decided = [&]() -> bool {
    if (FormulaSplitter::EsLiteralTextoCompleto(text) || EsTextoNumerico(text)) {
      a.tipo = T::Literal;
      return true;
    }
    std::vector<std::string> orParts = FormulaSplitter::SepararPorOperadorLogico(text, ".OR.");
    std::vector<std::string> andParts = FormulaSplitter::SepararPorOperadorLogico(text, ".AND.");
    bool single = orParts.size() == 1 && andParts.size() == 1;
    if (single) {
      if (text.size() >= 4 && StartsWithIgnoreCase(text, 0, "NOT ")) {
        a.tipo = T::Not;
        a.expresion = std::string(text.substr(4));
        return true;
      }
      if (text.size() >= 5 && StartsWithIgnoreCase(text, 0, ".NOT.")) {
        a.tipo = T::Not;
        a.expresion = std::string(TrimView(text.substr(5)));
        return true;
      }
      if (!text.empty() && text[0] == '!') {
        a.tipo = T::Not;
        a.expresion = std::string(text.substr(1));
        return true;
      }
    }
    if (orParts.size() > 1) {
      a.tipo = T::Or;
      a.partes = std::move(orParts);
      return true;
    }
    if (andParts.size() > 1) {
      a.tipo = T::And;
      a.partes = std::move(andParts);
      return true;
    }
    if (FormulaSplitter::SepararComparacion(text, a.left, a.op, a.right)) {
      a.tipo = T::Comparacion;
      return true;
    }
    std::vector<std::string> sum = FormulaSplitter::SepararPorSuma(text);
    if (sum.size() > 1) {
      a.tipo = T::Suma;
      a.partes = std::move(sum);
      return true;
    }
    auto minus = FormulaSplitter::SepararPorResta(text);
    if (minus.size() > 1) {
      a.tipo = T::Aritmetica;
      a.pares = std::move(minus);
      return true;
    }
    auto product = FormulaSplitter::SepararPorOperadoresAritmeticos(text, "*/", false);
    if (product.size() > 1) {
      a.tipo = T::Aritmetica;
      a.pares = std::move(product);
      return true;
    }
    if (FormulaSplitter::EsLlamadaFuncion(text)) {
      size_t open = text.find('(');
      a.tipo = T::Funcion;
      a.funcion = FormulaSplitter::NormalizarNombreFuncion(text.substr(0, open));
      a.clave = UpperTrim(a.funcion);
      a.esIf = a.clave == "IF" || a.clave == "IIF" || a.clave == "COND";
      a.esMotor = EngineFunctions::IsEngineFunction(a.clave);
      a.slot = TFuncFormulas::FunctionSlot(a.funcion);
      std::string_view trimmed = text;
      while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
      a.argumentos = FormulaSplitter::SepararArgumentos(trimmed.substr(open + 1, trimmed.size() - open - 2));
      return true;
    }
    return false;
  };
  if (!decided()) a.tipo = T::Argumento;
  return a;
}

Value FormulaAnalysis::AsHash() const {
  using T = FormulaAnalysis::Tipo;
  switch (tipo) {
    case T::Literal: return MakeHash({{"tipo", "literal"}});
    case T::Argumento: return MakeHash({{"tipo", "argumento"}});
    case T::Not: return MakeHash({{"tipo", "not"}, {"expresion", expresion}});
    case T::Or: return MakeHash({{"tipo", "or"}, {"partes", StringArray(partes)}});
    case T::And: return MakeHash({{"tipo", "and"}, {"partes", StringArray(partes)}});
    case T::Comparacion: return MakeHash({{"tipo", "comparacion"}, {"left", left}, {"operator", op}, {"right", right}});
    case T::Suma: return MakeHash({{"tipo", "suma"}, {"partes", StringArray(partes)}});
    case T::Aritmetica: {
      Value pairs = Value::NewArray();
      for (const auto& [operand, opBefore] : pares) {
        Value pair = Value::NewArray();
        pair.Append(Value(operand));
        pair.Append(opBefore.empty() ? Value() : Value(opBefore));
        pairs.Append(pair);
      }
      return MakeHash({{"tipo", "aritmetica"}, {"partes", pairs}});
    }
    case T::Funcion:
      return MakeHash(
          {{"tipo", "funcion"}, {"funcion", funcion}, {"argumentos", StringArray(argumentos)}, {"clave", clave}});
  }
  return Value();
}

}  // namespace nv
