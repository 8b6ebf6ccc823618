#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "PipelineDoubles.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;
using namespace nv::testing;

namespace {

// One part of a text-flow group: a text render object as the text object leaves it.
Value Part(const std::string& id, const std::string& group, double x, double y, double ancho, double alto,
           const std::string& texto, double line) {
  Value r = Render("texto", id, x, y);
  r.Set("grupoFlujoTexto", group);
  r.Set("ancho", Value(ancho));
  r.Set("alto", Value(alto));
  r.Set("texto", texto);
  r.Set("alturaLineaFlujoTexto", Value(line));
  r.Set("conservarParrafosVacios", false);
  return r;
}

// Runs the given render objects through the engine and returns the objects of page 1 by id.
struct Flow {
  Pipeline p;
  Value result;
  void Run(std::initializer_list<Value> parts) {
    for (const Value& part : parts) p.Add(part);
    auto doc = p.Run();
    result = doc->GetPagina(Value::Int(1))["objetos"];
  }
  std::vector<std::string> Ids() const {
    std::vector<std::string> ids;
    for (const Value& o : result.AsArray()) ids.push_back(ValueString(o["id"]));
    return ids;
  }
  Value Get(const std::string& id) const {
    for (const Value& o : result.AsArray()) {
      if (ValueString(o["id"]) == id) return o;
    }
    return Value::NewHash();
  }
  double Num(const std::string& id, const char* key) const { return ValueDouble(HGet(Get(id), key)); }
};

}  // namespace

TEST(TextFlow, EmptyPartIsRemovedAndLaterPartsMoveUp) {
  Flow f;
  Value first = Part("a", "G", 10, 5, 40, 5, " \t", 5);
  Value second = Part("b", " G ", 10, 10, 40, 5, "Calle Mayor 1", 5);
  Value outside = Render("texto", "c", 10, 20);
  Value other = Part("d", "H", 10, 30, 40, 5, "otro", 5);
  f.Run({first, second, outside, other});
  EXPECT_EQ(f.Ids(), (std::vector<std::string>{"b", "c", "d"}));
  EXPECT_DOUBLE_EQ(f.Num("b", "y"), 5.0);
  EXPECT_DOUBLE_EQ(f.Num("b", "x"), 10.0);
  EXPECT_DOUBLE_EQ(f.Num("c", "y"), 20.0);
  EXPECT_DOUBLE_EQ(f.Num("d", "y"), 30.0);
  // The composed render objects themselves are not touched.
  EXPECT_DOUBLE_EQ(ValueDouble(second["y"]), 10.0);
  EXPECT_EQ(ValueString(second["grupoFlujoTexto"]), " G ");
  EXPECT_FALSE(f.result.Item(1).SameRef(second));
}

TEST(TextFlow, PartsShrinkByTheSuppressedHeight) {
  Flow f;
  Value second = Part("b", "dir", 0, 32.822, 50, 5.644, "Linea", 2.822);
  second.Set("alturaSuprimidaFlujoTexto", Value(2.822));
  f.Run({Part("a", "dir", 0, 30, 50, 2.822, "Nombre", 2.822), second, Part("c", "dir", 0, 38.466, 50, 2.822, "CP", 2.822)});
  EXPECT_EQ(f.Ids(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_DOUBLE_EQ(f.Num("a", "y"), 30.0);
  EXPECT_NEAR(f.Num("b", "alto"), 2.822, 1e-9);
  EXPECT_NEAR(f.Num("b", "y"), 32.822, 1e-9);
  EXPECT_NEAR(f.Num("c", "y"), 35.644, 1e-9);
  EXPECT_NEAR(ValueDouble(second["alto"]), 5.644, 1e-12);
}

TEST(TextFlow, RotationDecidesTheDirectionOfTheFlow) {
  {
    Flow f;
    Value a = Part("a", "R", 61.15, 20, 4.233, 6, "", 4.233);
    Value b = Part("b", "R", 65.383, 20, 4.233, 6, "Segunda", 4.233);
    a.Set("rotacion", Value::Int(90));
    b.Set("rotacion", Value::Int(90));
    f.Run({a, b});
    EXPECT_EQ(f.Ids(), (std::vector<std::string>{"b"}));
    EXPECT_NEAR(f.Num("b", "x"), 61.15, 1e-9);
    EXPECT_DOUBLE_EQ(f.Num("b", "y"), 20.0);
    EXPECT_DOUBLE_EQ(f.Num("b", "alto"), 6.0);
  }
  {
    // -90 counts as 270: later parts move right, and shrink in width.
    Flow f;
    Value a = Part("a", "R", 50, 20, 4, 6, "", 4);
    Value b = Part("b", "R", 46, 20, 8, 6, "Segunda", 4);
    Value c = Part("c", "R", 38, 20, 4, 6, "Tercera", 4);
    a.Set("rotacion", Value::Int(-90));
    b.Set("rotacion", Value(-90.0));
    b.Set("alturaSuprimidaFlujoTexto", Value::Int(4));
    c.Set("rotacion", Value::Int(630));
    f.Run({a, b, c});
    EXPECT_EQ(f.Ids(), (std::vector<std::string>{"b", "c"}));
    EXPECT_DOUBLE_EQ(f.Num("b", "x"), 50.0);
    EXPECT_DOUBLE_EQ(f.Num("b", "ancho"), 4.0);
    EXPECT_DOUBLE_EQ(f.Num("b", "alto"), 6.0);
    EXPECT_DOUBLE_EQ(f.Num("c", "x"), 46.0);
  }
  {
    // 180 flows upwards, so later parts move down; other angles flow as unrotated text.
    Flow f;
    Value a = Part("a", "R", 0, 50, 30, 5, "", 5);
    Value b = Part("b", "R", 0, 45, 30, 5, "texto", 5);
    Value c = Part("c", "S", 0, 45, 30, 5, "", 5);
    Value d = Part("d", "S", 0, 50, 30, 5, "texto", 5);
    a.Set("rotacion", Value::Int(180));
    b.Set("rotacion", Value::Int(180));
    c.Set("rotacion", Value::Int(45));
    d.Set("rotacion", Value::Int(45));
    f.Run({a, b, c, d});
    EXPECT_EQ(f.Ids(), (std::vector<std::string>{"b", "d"}));
    EXPECT_DOUBLE_EQ(f.Num("b", "y"), 50.0);
    EXPECT_DOUBLE_EQ(f.Num("d", "y"), 45.0);
  }
}

TEST(TextFlow, KeptParagraphsLineHeightsAndLimits) {
  Flow f;
  // A part that keeps its empty paragraphs is never removed or resized, even when empty.
  Value kept = Part("a", "G", 0, 0, 20, 5, "", 5);
  kept.Set("conservarParrafosVacios", true);
  kept.Set("alturaSuprimidaFlujoTexto", Value::Int(3));
  // Without a flow-line height one line is the part's own thickness (alto 4 here).
  Value noLine = Part("b", "G", 0, 5, 20, 4, "", 0);
  noLine.Remove("alturaLineaFlujoTexto");
  // Freed height beyond the thickness: the part shrinks to 0.1 and the shift grows by 6 only.
  Value over = Part("c", "G", 0, 9, 20, 6, "x", 6);
  over.Set("alturaSuprimidaFlujoTexto", Value::Int(50));
  Value last = Part("d", "G", 0, 15, 20, 5, "y", 5);
  // A missing keep flag means empty paragraphs are kept.
  Value defaultKeep = Part("e", "G", 0, 20, 20, 5, "", 5);
  defaultKeep.Remove("conservarParrafosVacios");
  Value noY = Part("f", "G", 3, 0, 20, 5, "z", 5);
  noY.Remove("y");
  f.Run({kept, noLine, over, last, defaultKeep, noY});

  EXPECT_EQ(f.Ids(), (std::vector<std::string>{"a", "c", "d", "e", "f"}));
  EXPECT_DOUBLE_EQ(f.Num("a", "alto"), 5.0);
  EXPECT_DOUBLE_EQ(f.Num("c", "y"), 5.0);
  EXPECT_DOUBLE_EQ(f.Num("c", "alto"), 0.1);
  EXPECT_DOUBLE_EQ(f.Num("d", "y"), 5.0);
  EXPECT_DOUBLE_EQ(f.Num("e", "y"), 10.0);
  EXPECT_DOUBLE_EQ(f.Num("e", "alto"), 5.0);
  EXPECT_FALSE(f.Get("f").Has("y"));
  EXPECT_DOUBLE_EQ(f.Num("f", "x"), 3.0);
}
