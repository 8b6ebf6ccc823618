#include "objects/table/TableRenderObjects.h"

#include <array>
#include <string_view>

#include "Accessors.h"
#include "Hash.h"
#include "objects/table/TableMath.h"

namespace nv {

namespace {

constexpr std::array<std::string_view, 28> kLineKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "estiloRelleno", "colorRelleno2", "colorRelleno3",
    "opacidadRelleno", "redondeo", "redondeoMm", "rotacionOriginal", "rotacion", "opacidad", "sombraTamano",
    "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

constexpr std::array<std::string_view, 27> kCellKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "estiloRelleno", "colorRelleno2", "colorRelleno3",
    "opacidadRelleno", "redondeo", "rotacionOriginal", "rotacion", "opacidad", "sombraTamano",
    "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

constexpr std::array<std::string_view, 27> kRuleKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "color", "grosor", "orientacion", "estilo", "colorBorde",
    "grosorBorde", "bordeSuperior", "bordeDerecho", "bordeInferior", "bordeIzquierdo", "colorFondo", "redondeo",
    "rotacionOriginal", "rotacion", "opacidad", "sombraTamano", "sombraTransparencia", "sombraColor",
    "ordenOriginal", "capa", "zIndex"};

constexpr std::array<std::string_view, 23> kEdgeKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "redondeo", "rotacionOriginal", "rotacion", "opacidad",
    "sombraTamano", "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

template <const auto& Keys>
const Hash& ShapeOf() {
  // One shape per key list, made on first use and shared by every object of that kind.
  static const Hash shape = Hash::Shape(Keys, Keys.size());
  return shape;
}

// The keys every object of this file starts with: identity, kind and box ("ancho" and "alto" at
// least 0.1).
void PutHead(ShapeFiller& put, const Value& id, std::string_view tipo, const Value& x, const TableBox& box,
             const Value& width) {
  put("id", id);
  put("tipo", Value(tipo));
  put("x", x);
  put("y", box.y);
  put("ancho", width);
  put("alto", TableRenderObjects::AtLeastTenth(box.height));
}

// The keys shared by every object of this file after its own: rotation, opacity, shadow, layer.
void PutTail(ShapeFiller& put, const Value& layer) {
  put("rotacionOriginal", Value::Int(0));
  put("rotacion", Value::Int(0));
  put("opacidad", Value::Int(1));
  put("sombraTamano", Value::Int(0));
  put("sombraTransparencia", Value::Int(50));
  put("sombraColor", Value("#000000"));
  put("ordenOriginal", layer);
  put("capa", layer);
  put("zIndex", layer);
}

Value Opacity(const Value& n) {
  const Value v = ValorANumero(n);
  const double d = TableMath::D(v);
  if (!(d >= 0)) return Value::Int(0);
  return d > 1 ? Value::Int(1) : v;
}

Value TextOr(const Value& hash, std::string_view key, std::string_view def) {
  const Value v = HGet(hash, key);
  return v.IsNil() ? Value(def) : Value(ValueString(v));
}

}  // namespace

Value TableRenderObjects::AtLeastTenth(const Value& n) { return TableMath::D(n) < 0.1 ? Value(0.1) : n; }

Value TableRenderObjects::LineRectangle(const Value& id, const TableBox& box, const Value& borderWidth,
                                        const Value& fill, const Value& borderColor, Sides sides,
                                        const Value& fillOpacity, const Value& radiusMm) {
  Value render(Hash::CopyOfShape(ShapeOf<kLineKeys>()));
  ShapeFiller put(render.AsHash());
  PutHead(put, id, "rectangulo", box.x, box, AtLeastTenth(box.width));
  put("colorBorde", borderColor);
  put("grosorBorde", borderWidth);
  put("bordeSuperior", Value(sides.top));
  put("bordeDerecho", Value(sides.right));
  put("bordeInferior", Value(sides.bottom));
  put("bordeIzquierdo", Value(sides.left));
  put("colorFondo", fill);
  put("estiloRelleno", Value("solid"));
  put("colorRelleno2", Value("#ffffff"));
  put("colorRelleno3", Value("#ffffff"));
  put("opacidadRelleno", Opacity(fillOpacity));
  put("redondeo", Value::Int(0));
  put("redondeoMm", radiusMm);
  PutTail(put, box.layer);
  return render;
}

Value TableRenderObjects::CellBackground(const Value& id, const TableBox& box, const Value& color,
                                         const Value& background) {
  Value render(Hash::CopyOfShape(ShapeOf<kCellKeys>()));
  ShapeFiller put(render.AsHash());
  PutHead(put, id, "rectangulo", box.x, box, AtLeastTenth(box.width));
  put("colorBorde", Value("transparent"));
  put("grosorBorde", Value::Int(0));
  put("bordeSuperior", Value(false));
  put("bordeDerecho", Value(false));
  put("bordeInferior", Value(false));
  put("bordeIzquierdo", Value(false));
  put("colorFondo", color);
  put("estiloRelleno", TextOr(background, "cFillStyle", "solid"));
  put("colorRelleno2", TextOr(background, "cFillColor2", "#ffffff"));
  put("colorRelleno3", TextOr(background, "cFillColor3", "#ffffff"));
  put("opacidadRelleno", Opacity(HGet(background, "nFillOpacity", Value::Int(1))));
  put("redondeo", Value::Int(0));
  PutTail(put, box.layer);
  return render;
}

Value TableRenderObjects::VerticalRule(const Value& id, const TableBox& box, const Value& color) {
  const Value w = AtLeastTenth(box.width);
  // The rule is centred on the middle of the requested width, which only moves it when the width
  // was below the 0.1 minimum.
  const Value x = TableMath::D(w) == TableMath::D(box.width)
                      ? box.x
                      : TableMath::Sub(TableMath::Add(box.x, TableMath::Half(box.width)), TableMath::Half(w));
  Value render(Hash::CopyOfShape(ShapeOf<kRuleKeys>()));
  ShapeFiller put(render.AsHash());
  PutHead(put, id, "linea", x, box, w);
  put("color", color);
  put("grosor", w);
  put("orientacion", Value("vertical"));
  put("estilo", Value("solid"));
  put("colorBorde", color);
  put("grosorBorde", Value::Int(0));
  put("bordeSuperior", Value(false));
  put("bordeDerecho", Value(false));
  put("bordeInferior", Value(false));
  put("bordeIzquierdo", Value(false));
  put("colorFondo", color);
  put("redondeo", Value::Int(0));
  PutTail(put, box.layer);
  return render;
}

Value TableRenderObjects::SeparatorEdges(const Value& id, const TableBox& box, const Value& borderWidth,
                                         const Value& color, bool left, bool right) {
  Value render(Hash::CopyOfShape(ShapeOf<kEdgeKeys>()));
  ShapeFiller put(render.AsHash());
  PutHead(put, id, "rectangulo", box.x, box, AtLeastTenth(box.width));
  put("colorBorde", color);
  put("grosorBorde", borderWidth);
  put("bordeSuperior", Value(false));
  put("bordeDerecho", Value(right));
  put("bordeInferior", Value(false));
  put("bordeIzquierdo", Value(left));
  put("colorFondo", Value("transparent"));
  put("redondeo", Value::Int(0));
  PutTail(put, box.layer);
  return render;
}

}  // namespace nv
