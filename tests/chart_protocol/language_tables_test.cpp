// The tables the library declares by command 3, read as the host reads them
// and compared with the published names, syntaxes and values.
#include <string>
#include <vector>

#include "tests/chart_protocol/protocol_fixture.h"
#include "tests/support/packed.h"

namespace chartprotocol {
namespace {

using kvtest::V;

// Parameter type codes as published.
constexpr uint16_t kN = 0x0b;  // the chart name (or any text)
constexpr uint16_t kI4 = 0x04, kX8 = 0x08, kI = 0x0c, kD = 0x0d, kF = 0x0f, kW = 0x10;

struct PublishedFunction {
  const char* exportName;
  const char* french;  // UTF-8
  const char* english;
  std::vector<std::vector<uint16_t>> syntaxes;  // after the chart name
  bool takesChartName = true;
};

const std::vector<PublishedFunction>& Published() {
  static const std::vector<PublishedFunction> functions = {
      {"GRAPH_bGrCree", "grCrée", "grCreate", {{kI}}},
      {"GRAPH_bGrType", "grType", "grType", {{kI}}},
      {"GRAPH_bGrTitre", "grTitre", "grTitle", {{kI4}, {kX8}, {kX8, kI}}},
      {"GRAPH_bGrDestinationChamp", "grDestinationChamp", "grDestinationField", {{kF}}},
      {"GRAPH_bGrDestinationFenetre", "grDestinationFen", "grDestinationWnd", {{kW, kN}}},
      {"GRAPH_bGrDestinationFichier", "grDestinationWMF", "grDestinationWMF", {{kN}}},
      {"GRAPH_bGrAjouteDonnee", "grAjouteDonnée", "grAddData", {{kI, kD}, {kI, kI, kD}}},
      {"GRAPH_bGrCouleurSerie", "grCouleurSérie", "grSerialColor", {{kI, kI}}},
      {"GRAPH_bGrEtiquetteSerie", "grEtiquetteSérie", "grSerialLabel", {{kI, kN}}},
      {"GRAPH_bGrEtiquetteCategorie", "grEtiquetteCatégorie", "grCategoryLabel", {{kI, kN}}},
      {"GRAPH_bGrLibelle", "grLibellé", "grLabel", {{kI, kI}}},
      {"GRAPH_bGrLegende", "grLégende", "grLegend", {{kI}}},
      {"GRAPH_bGrQuadrillage", "grQuadrillage", "grQuadrillage", {{kI, kI}}},
      {"GRAPH_bGrTitreAxe", "grTitreAxe", "grAxisTitle", {{kN, kI}}},
      {"GRAPH_bGrGraduation", "grGraduation", "grGraduate", {{kD, kI}}},
      {"GRAPH_bGrEspacement", "grHistoEspacement", "grColumnSpacement", {{kI}}},
      {"GRAPH_bGrRelief", "grRelief", "grRelief", {{kI}}},
      {"GRAPH_bGrNuageReliePoints", "grNuageReliePoint", "grScatterLinkPoint", {{kI}}},
      {"GRAPH_bGrNuageTaillePoint", "grNuageTaillePoint", "grScatterPointSize", {{kI}}},
      {"GRAPH_bGrNuageAjouteDonneeXY",
       "grNuageAjouteDonnéeXY",
       "grScatterAddDataXY",
       {{kI, kD, kD}, {kI, kI, kD, kD}}},
      {"GRAPH_bGrSecteurAngleDepart", "grSecteurAngleDépart", "grPieStartAngle", {{kI}}},
      {"GRAPH_bGrDessine", "grDessine", "grDraw", {{}}},
      {"GRAPH_bGrMenu", "grMenu", "grMenu", {{}, {kI}}},
      {"GRAPH_bGrOptionMenu", "grOptionMenu", "grMenuOption", {{kI, kN}}},
      {"GRAPH_bGrSupprimeSerie", "grSupprimeSérie", "grDeleteSerial", {{}, {kI}}},
      {"GRAPH_bGrSupprimeTout", "grSupprimeTout", "grDeleteAll", {{}}},
      {"GRAPH_bGrEffaceDessin", "grEffaceDessin", "grClearPict", {{}}},
      {"GRAPH_bGrFenTaille", "grFenTaille", "grWndSize", {{kI, kI, kI, kI}}},
      {"GRAPH_bGrImprime", "grImprime", "grPrint", {{}, {kI, kI, kI, kI}}},
      {"GRAPH_bGrSecteurExcentree", "grSecteurPartExcentrée", "grPieEccentred", {{kI, kI}}},
      {"GRAPH_bGrCreePolice",
       "grCréePolice",
       "grCreateFont",
       {{kI, kI, kI, kN}, {kI, kI, kI, kN, kI}},
       false},
      {"GRAPH_bGrPoliceTitre", "grPoliceTitre", "grTitleFont", {{kI}}},
      {"GRAPH_bGrPoliceTitreAxe", "grPoliceTitreAxe", "grAxeTitleFont", {{kI}}},
      {"GRAPH_bGrPoliceLegende", "grPoliceLegende", "grLegendFont", {{kI}}},
      {"GRAPH_bGrPoliceLabel", "grPoliceEtiquette", "grLabelFont", {{kI}}},
  };
  return functions;
}

using TablesTest = ProtocolTest;

TEST_F(TablesTest, FunctionTableMatchesThePublishedNamesAndSyntaxes) {
  const ExtensionDescription& description = library_.description();
  ASSERT_EQ(V(description.functionCount), Published().size());
  for (size_t f = 0; f < Published().size(); ++f) {
    const PublishedFunction& expected = Published()[f];
    const FunctionEntry& entry = description.functions[f];
    SCOPED_TRACE(expected.exportName);
    EXPECT_EQ(std::string(entry.frenchName), kvtest::Cp1252(expected.french));
    EXPECT_EQ(std::string(entry.englishName), expected.english);
    // The entry calls the export of that name.
    EXPECT_EQ(reinterpret_cast<void*>(entry.function), library_.Symbol(expected.exportName));
    EXPECT_NE(V(entry.function), nullptr);
    EXPECT_EQ(V(entry.reserved), 0);
    ASSERT_EQ(V(entry.syntaxCount), expected.syntaxes.size());
    for (size_t s = 0; s < expected.syntaxes.size(); ++s) {
      SCOPED_TRACE(s);
      std::vector<uint16_t> types = expected.syntaxes[s];
      if (expected.takesChartName) types.insert(types.begin(), kN);
      const SyntaxDescriptor& syntax = entry.syntaxes[s];
      ASSERT_EQ(V(syntax.parameterCount), types.size());
      EXPECT_EQ(V(syntax.resultType), 0);
      for (size_t k = 0; k < KV_EXT_MAX_PARAMETERS; ++k) {
        EXPECT_EQ(V(syntax.parameters[k].type), k < types.size() ? types[k] : 0) << k;
        EXPECT_EQ(V(syntax.parameters[k].reserved), 0u) << k;
      }
      EXPECT_EQ(V(syntax.end), 0);
    }
  }
}

TEST_F(TablesTest, EveryFunctionIsFoundByItsFrenchAndItsEnglishName) {
  for (const PublishedFunction& expected : Published()) {
    const FunctionEntry* byFrench = library_.FindFunction(kvtest::Cp1252(expected.french));
    const FunctionEntry* byEnglish = library_.FindFunction(expected.english);
    ASSERT_NE(byFrench, nullptr) << expected.french;
    EXPECT_EQ(byFrench, byEnglish) << expected.english;
  }
  // The accented letter is one Windows-1252 byte, not its UTF-8 pair.
  EXPECT_NE(library_.FindFunction("grCr\351e"), nullptr);
  EXPECT_EQ(library_.FindFunction("grCrée"), nullptr);
  EXPECT_EQ(library_.FindFunction("grCree"), nullptr);
}

struct PublishedConstant {
  const char* french;
  const char* english;
  int32_t value;
};

TEST_F(TablesTest, ConstantTableMatchesThePublishedNamesAndValues) {
  const PublishedConstant expected[] = {
      {"grSecteur", "grPie", 0},
      {"grHisto", "grColumn", 1},
      {"grCourbe", "grCurve", 2},
      {"grSecteur3D", "grPie3D", 3},
      {"grHisto3D", "grColumn3D", 4},
      {"grNuage", "grScatter", 5},
      {"grSans", "grNone", 0},
      {"grADroite", "grAtRight", 1},
      {"grAGauche", "grAtLeft", 2},
      {"grEnHaut", "grAtTop", 1},
      {"grEnBas", "grAtBottom", 2},
      {"grAfficheValeur", "grShowValue", 0},
      {"grAffichePourcentage", "grShowPercent", 1},
      {"grAfficheEtiquette", "grShowLabel", 2},
      {"grVertical", "grVertical", 0},
      {"grHorizontal", "grHorizontal", 1},
  };
  const ExtensionDescription& description = library_.description();
  ASSERT_EQ(V(description.constantCount), std::size(expected));
  for (size_t c = 0; c < std::size(expected); ++c) {
    const ConstantEntry& entry = description.constants[c];
    SCOPED_TRACE(expected[c].french);
    EXPECT_EQ(std::string(entry.frenchName), expected[c].french);
    EXPECT_EQ(std::string(entry.englishName), expected[c].english);
    EXPECT_EQ(V(entry.type), 3);
    EXPECT_EQ(V(entry.value), expected[c].value);
    EXPECT_EQ(library_.FindConstant(expected[c].english),
              library_.FindConstant(expected[c].french));
  }
}

// The messages a host shows, in both languages, from the failures that
// produce them.
TEST_F(TablesTest, ErrorMessagesReachTheHostInBothLanguages) {
  // 50: the chart does not exist.
  CallOutcome missing = Call("grTitle", 1, {T("nowhere"), T("x")});
  EXPECT_EQ(missing.errorKind, 2);
  EXPECT_EQ(missing.errorMessage, 50u);
  EXPECT_EQ(missing.frenchText, kvtest::Cp1252("Graphe non créé, utilisez GrCrée"));
  EXPECT_EQ(missing.englishText, "Uncreated Graph, use GrCreate");

  ASSERT_EQ(Call("grCreate", 0, {T("c"), I(1)}).returned, 1);
  // 3: a title position outside 0..2.
  CallOutcome parameter = Call("grTitle", 0, {T("c"), I(3)});
  EXPECT_EQ(parameter.returned, 0);
  EXPECT_EQ(parameter.errorKind, 2);
  EXPECT_EQ(parameter.errorMessage, 3u);
  EXPECT_EQ(parameter.frenchText, kvtest::Cp1252("Paramètre incorrect"));
  EXPECT_EQ(parameter.englishText, "Incorrect parameter");

  // 51: a font number never created.
  CallOutcome font = Call("grTitleFont", 0, {T("c"), I(99)});
  EXPECT_EQ(font.returned, 0);
  EXPECT_EQ(font.errorKind, 2);
  EXPECT_EQ(font.errorMessage, 51u);
  EXPECT_EQ(font.frenchText, kvtest::Cp1252("Police non créée , utilisez GrCréePolice"));
  EXPECT_EQ(font.englishText, "Uncreated Font , use GrCreateFont");

  // 4: the label list holds at most 1000 series labels.
  CallOutcome overflow = Call("grSerialLabel", 0, {T("c"), I(1001), T("one too many")});
  EXPECT_EQ(overflow.returned, 0);
  EXPECT_EQ(overflow.errorKind, 2);
  EXPECT_EQ(overflow.errorMessage, 4u);
  EXPECT_EQ(overflow.frenchText, kvtest::Cp1252("Dépassement de capacité des données du graphe"));
  EXPECT_EQ(overflow.englishText, "Graph data overflow");
}

}  // namespace
}  // namespace chartprotocol
