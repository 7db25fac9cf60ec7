// Making, finding, replacing and deleting charts through the language
// functions, and the common frame every function runs in.
#include "tests/chart_model/chart_fixture.h"

namespace charttest {
namespace {

using kv::chart::ChartType;
using kv::chart::MenuLanguage;

TEST_F(ChartTest, TypeNumbersSelectTheClassAndOthersMakeACurve) {
  const struct {
    int32_t number;
    ChartType type;
  } cases[] = {{0, ChartType::kPie},
               {1, ChartType::kColumn},
               {2, ChartType::kCurve},
               {3, ChartType::kPie3D},
               {4, ChartType::kColumn3D},
               {5, ChartType::kScatter},
               {9, ChartType::kCurve},
               {-1, ChartType::kCurve},
               {6, ChartType::kCurve},
               // Read as 16 bits: 0x10001 is 1.
               {0x10001, ChartType::kColumn}};
  for (const auto& c : cases) {
    Ok("grCreate", 0, {T("C"), I(c.number)});
    EXPECT_EQ(ModelOf("C").type(), c.type) << c.number;
  }
  EXPECT_EQ(ChartCount(), 1u);
}

TEST_F(ChartTest, NamesAreUpperCasedInTheHostsBuffer) {
  const CallOutcome created = Call("grCreate", 0, {T("ventes"), I(1)});
  EXPECT_EQ(created.returned, 1);
  ASSERT_EQ(created.textsAfter.size(), 2u);
  EXPECT_EQ(created.textsAfter[0], "VENTES");
  EXPECT_NE(Model("VENTES"), nullptr);
  EXPECT_EQ(ModelOf("VENTES").name, "VENTES");
  // Any case finds it, and the caller's buffer comes back upper-cased.
  const CallOutcome found = Call("grLegend", 0, {T("VeNtEs"), I(1)});
  EXPECT_EQ(found.returned, 1);
  EXPECT_EQ(found.textsAfter[0], "VENTES");

  // Letters with accents are upper-cased as Windows-1252 letters.
  const CallOutcome accented = Call("grCreate", 0, {T(Win1252("été œuvre")), I(0)});
  EXPECT_EQ(accented.textsAfter[0], Win1252("ÉTÉ ŒUVRE"));
  Ok("grLegend", 0, {T(Win1252("ÉTÉ œuvre")), I(2)});
  EXPECT_EQ(ModelOf(Win1252("ÉTÉ ŒUVRE")).pending.legendPosition, 2);
}

TEST_F(ChartTest, CreatingWithoutANameIsAnIncorrectParameter) {
  Fails("grCreate", 0, {Argument::NullText(), I(1)}, 2, 3);
  EXPECT_EQ(ChartCount(), 0u);
}

TEST_F(ChartTest, CreatingAgainReplacesTheChart) {
  Ok("grCreate", 0, {T("A"), I(1)});
  Ok("grCreate", 0, {T("B"), I(1)});
  Ok("grAddData", 0, {T("A"), I(1), D(3.0)});
  Ok("grCreate", 0, {T("a"), I(0)});
  EXPECT_EQ(ChartCount(), 2u);
  EXPECT_EQ(ModelOf("A").type(), ChartType::kPie);
  EXPECT_EQ(ModelOf("A").data.SeriesCount(), 0);
  // The new chart goes to the end of the list.
  EXPECT_EQ(instance().charts->charts.back()->name, "A");
}

TEST_F(ChartTest, NewChartsTakeTheModuleAndTheInitialValues) {
  Ok("grCreate", 0, {T("A"), I(2)});
  const kv::chart::Chart& chart = ModelOf("A");
  EXPECT_EQ(chart.module, library_.module());
  EXPECT_EQ(chart.list, instance().charts);
  EXPECT_EQ(chart.menuEnabled, 1);
  EXPECT_EQ(chart.drawingScale, 1.0);
  EXPECT_FALSE(chart.settingsChanged());
  EXPECT_EQ(chart.pending.destinationKind, kv::chart::DestinationKind::kWindow);
  EXPECT_EQ(chart.pending.destinationHandle, nullptr);
  EXPECT_EQ(chart.pending.title, "");
  EXPECT_EQ(chart.labelDisplay[0] + chart.labelDisplay[1] + chart.labelDisplay[2], 0);
  const int heights[] = {14, 14, 16, 18};
  for (int element = 0; element < kv::chart::kFontElements; ++element) {
    const kv::chart::ElementFont& font = chart.font(static_cast<kv::chart::FontElement>(element));
    const kvp::LOGFONTA d = Describe(font.font.get());
    EXPECT_STREQ(d.lfFaceName, "Arial");
    EXPECT_EQ(d.lfHeight, heights[element]);
    EXPECT_EQ(font.colour, 0u);
  }
}

TEST_F(ChartTest, LanguageIsTakenWhenAChartIsCreated) {
  Ok("grCreate", 0, {T("BEFORE"), I(0)});
  ASSERT_TRUE(library_.SetLanguage(1));
  Ok("grCreate", 0, {T("AFTER"), I(0)});
  EXPECT_EQ(ModelOf("BEFORE").language, 0);
  EXPECT_EQ(ModelOf("AFTER").language, 1);
  EXPECT_EQ(ModelOf("BEFORE").shownMenu()[0].text, "&Type de graphe");
  EXPECT_EQ(ModelOf("AFTER").shownMenu()[0].text, "Graph &type");
  // Back to French: only charts made from now on follow.
  ASSERT_TRUE(library_.SetLanguage(0));
  Ok("grCreate", 0, {T("LATER"), I(0)});
  EXPECT_EQ(ModelOf("LATER").language, 0);
  EXPECT_EQ(ModelOf("AFTER").language, 1);
}

TEST_F(ChartTest, MissingChartIsReportedInBothLanguages) {
  const CallOutcome outcome = Fails("grLegend", 0, {T("nothing"), I(1)}, 2, 50);
  EXPECT_EQ(outcome.frenchText, Win1252("Graphe non créé, utilisez GrCrée"));
  EXPECT_EQ(outcome.englishText, "Uncreated Graph, use GrCreate");
  Ok("grCreate", 0, {T("X"), I(0)});
  Fails("grDraw", 0, {T("Y")}, 2, 50);
  Fails("grDeleteAll", 0, {T("Y")}, 2, 50);
  Fails("grTitleFont", 0, {T("Y"), I(1)}, 2, 50);
}

TEST_F(ChartTest, UndeclaredSyntaxesFailWithoutReport) {
  Ok("grCreate", 0, {T("A"), I(1)});
  const kvhost::ResultArea area;
  const struct {
    const char* symbol;
    int16_t syntax;
  } cases[] = {{"GRAPH_bGrCree", 1},       {"GRAPH_bGrCree", -1},
               {"GRAPH_bGrTitre", 3},      {"GRAPH_bGrAjouteDonnee", 2},
               {"GRAPH_bGrMenu", 2},       {"GRAPH_bGrCreePolice", 2},
               {"GRAPH_bGrDessine", 1},    {"GRAPH_bGrSupprimeTout", -32768},
               {"GRAPH_bGrPoliceTitre", 1}};
  for (const auto& c : cases) {
    auto function = reinterpret_cast<KvLanguageFunction>(library_.Symbol(c.symbol));
    ASSERT_NE(function, nullptr) << c.symbol;
    const CallOutcome outcome =
        library_.CallDirect(function, c.syntax, {T("A"), I(1), I(1), D(1.0)}, area);
    EXPECT_EQ(outcome.returned, 0) << c.symbol << " " << c.syntax;
    EXPECT_FALSE(outcome.reported) << c.symbol << " " << c.syntax;
  }
  EXPECT_EQ(ChartCount(), 1u);
}

TEST_F(ChartTest, DeleteAllRemovesTheChartAndSucceeds) {
  Ok("grCreate", 0, {T("A"), I(1)});
  Ok("grCreate", 0, {T("B"), I(0)});
  Ok("grTitle", 1, {T("A"), T("Sales")});
  Ok("grDeleteAll", 0, {T("a")});
  EXPECT_EQ(Model("A"), nullptr);
  EXPECT_NE(Model("B"), nullptr);
  Fails("grDraw", 0, {T("A")}, 2, 50);
}

TEST_F(ChartTest, ManyChartsComeAndGo) {
  for (int i = 0; i < 45; ++i) Ok("grCreate", 0, {T("C" + std::to_string(i)), I(i % 6)});
  EXPECT_EQ(ChartCount(), 45u);
  for (int i = 0; i < 45; i += 2) Ok("grDeleteAll", 0, {T("c" + std::to_string(i))});
  EXPECT_EQ(ChartCount(), 22u);
  for (int i = 1; i < 45; i += 2) EXPECT_NE(Model("C" + std::to_string(i)), nullptr) << i;
  // Command 2 in TearDown destroys the rest with their fonts.
}

}  // namespace
}  // namespace charttest
