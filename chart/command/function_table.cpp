// The 35 language functions of the chart library with their syntaxes. Every
// chart function takes the chart name (text) first, the font creation alone
// does not; no syntax declares a result.
#include <array>
#include <initializer_list>

#include "chart/command/language_tables.h"
#include "kv/chart.h"

namespace kv::chart {
namespace {

constexpr SyntaxDescriptor Syntax(std::initializer_list<uint16_t> types) {
  SyntaxDescriptor syntax{};
  syntax.parameterCount = static_cast<uint8_t>(types.size());
  syntax.resultType = kResultNone;
  int slot = 0;
  for (uint16_t type : types) syntax.parameters[slot++].type = type;
  return syntax;
}

constexpr uint16_t T = kArgText;
constexpr uint16_t I = kArgInt;
constexpr uint16_t D = kArgDouble;

// The syntaxes of one function lie next to each other, one array each.
constexpr SyntaxDescriptor kCreate[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kType[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kTitle[] = {Syntax({T, kArgIntAlt}), Syntax({T, kArgTextAlt}),
                                       Syntax({T, kArgTextAlt, I})};
constexpr SyntaxDescriptor kDestinationField[] = {Syntax({T, kArgField})};
constexpr SyntaxDescriptor kDestinationWindow[] = {Syntax({T, kArgWindow, T})};
constexpr SyntaxDescriptor kDestinationFile[] = {Syntax({T, T})};
constexpr SyntaxDescriptor kAddData[] = {Syntax({T, I, D}), Syntax({T, I, I, D})};
constexpr SyntaxDescriptor kSeriesColour[] = {Syntax({T, I, I})};
constexpr SyntaxDescriptor kSeriesLabel[] = {Syntax({T, I, T})};
constexpr SyntaxDescriptor kCategoryLabel[] = {Syntax({T, I, T})};
constexpr SyntaxDescriptor kLabelDisplay[] = {Syntax({T, I, I})};
constexpr SyntaxDescriptor kLegend[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kGrid[] = {Syntax({T, I, I})};
constexpr SyntaxDescriptor kAxisTitle[] = {Syntax({T, T, I})};
constexpr SyntaxDescriptor kGraduation[] = {Syntax({T, D, I})};
constexpr SyntaxDescriptor kSpacing[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kRelief[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kLinkPoints[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kPointSize[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kAddDataXY[] = {Syntax({T, I, D, D}), Syntax({T, I, I, D, D})};
constexpr SyntaxDescriptor kStartAngle[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kDraw[] = {Syntax({T})};
constexpr SyntaxDescriptor kMenu[] = {Syntax({T}), Syntax({T, I})};
constexpr SyntaxDescriptor kMenuOption[] = {Syntax({T, I, T})};
constexpr SyntaxDescriptor kDeleteSeries[] = {Syntax({T}), Syntax({T, I})};
constexpr SyntaxDescriptor kDeleteAll[] = {Syntax({T})};
constexpr SyntaxDescriptor kClearDrawing[] = {Syntax({T})};
constexpr SyntaxDescriptor kWindowSize[] = {Syntax({T, I, I, I, I})};
constexpr SyntaxDescriptor kPrint[] = {Syntax({T}), Syntax({T, I, I, I, I})};
constexpr SyntaxDescriptor kExplodedSector[] = {Syntax({T, I, I})};
constexpr SyntaxDescriptor kCreateFont[] = {Syntax({I, I, I, T}), Syntax({I, I, I, T, I})};
constexpr SyntaxDescriptor kTitleFont[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kAxisTitleFont[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kLegendFont[] = {Syntax({T, I})};
constexpr SyntaxDescriptor kLabelFont[] = {Syntax({T, I})};

template <size_t N>
constexpr FunctionEntry Entry(const SyntaxDescriptor (&syntaxes)[N], const char* french,
                              const char* english, KvLanguageFunction function) {
  static_assert(N >= 1 && N <= KV_EXT_MAX_SYNTAXES);
  return FunctionEntry{static_cast<uint8_t>(N), syntaxes, french, english, function, 0};
}

// Names are Windows-1252 bytes, accented letters as octal escapes (\351 is
// "é"), which end after three digits; the readable form stands in the
// comment where it differs.
const FunctionEntry kFunctions[] = {
    Entry(kCreate, "grCr\351e", "grCreate", GRAPH_bGrCree),  // grCrée
    Entry(kType, "grType", "grType", GRAPH_bGrType),
    Entry(kTitle, "grTitre", "grTitle", GRAPH_bGrTitre),
    Entry(kDestinationField, "grDestinationChamp", "grDestinationField", GRAPH_bGrDestinationChamp),
    Entry(kDestinationWindow, "grDestinationFen", "grDestinationWnd", GRAPH_bGrDestinationFenetre),
    Entry(kDestinationFile, "grDestinationWMF", "grDestinationWMF", GRAPH_bGrDestinationFichier),
    Entry(kAddData, "grAjouteDonn\351e", "grAddData", GRAPH_bGrAjouteDonnee),  // grAjouteDonnée
    Entry(kSeriesColour, "grCouleurS\351rie", "grSerialColor",
          GRAPH_bGrCouleurSerie),  // grCouleurSérie
    Entry(kSeriesLabel, "grEtiquetteS\351rie", "grSerialLabel",
          GRAPH_bGrEtiquetteSerie),  // grEtiquetteSérie
    Entry(kCategoryLabel, "grEtiquetteCat\351gorie", "grCategoryLabel",
          GRAPH_bGrEtiquetteCategorie),                                 // grEtiquetteCatégorie
    Entry(kLabelDisplay, "grLibell\351", "grLabel", GRAPH_bGrLibelle),  // grLibellé
    Entry(kLegend, "grL\351gende", "grLegend", GRAPH_bGrLegende),       // grLégende
    Entry(kGrid, "grQuadrillage", "grQuadrillage", GRAPH_bGrQuadrillage),
    Entry(kAxisTitle, "grTitreAxe", "grAxisTitle", GRAPH_bGrTitreAxe),
    Entry(kGraduation, "grGraduation", "grGraduate", GRAPH_bGrGraduation),
    Entry(kSpacing, "grHistoEspacement", "grColumnSpacement", GRAPH_bGrEspacement),
    Entry(kRelief, "grRelief", "grRelief", GRAPH_bGrRelief),
    Entry(kLinkPoints, "grNuageReliePoint", "grScatterLinkPoint", GRAPH_bGrNuageReliePoints),
    Entry(kPointSize, "grNuageTaillePoint", "grScatterPointSize", GRAPH_bGrNuageTaillePoint),
    Entry(kAddDataXY, "grNuageAjouteDonn\351eXY", "grScatterAddDataXY",
          GRAPH_bGrNuageAjouteDonneeXY),  // grNuageAjouteDonnéeXY
    Entry(kStartAngle, "grSecteurAngleD\351part", "grPieStartAngle",
          GRAPH_bGrSecteurAngleDepart),  // grSecteurAngleDépart
    Entry(kDraw, "grDessine", "grDraw", GRAPH_bGrDessine),
    Entry(kMenu, "grMenu", "grMenu", GRAPH_bGrMenu),
    Entry(kMenuOption, "grOptionMenu", "grMenuOption", GRAPH_bGrOptionMenu),
    Entry(kDeleteSeries, "grSupprimeS\351rie", "grDeleteSerial",
          GRAPH_bGrSupprimeSerie),  // grSupprimeSérie
    Entry(kDeleteAll, "grSupprimeTout", "grDeleteAll", GRAPH_bGrSupprimeTout),
    Entry(kClearDrawing, "grEffaceDessin", "grClearPict", GRAPH_bGrEffaceDessin),
    Entry(kWindowSize, "grFenTaille", "grWndSize", GRAPH_bGrFenTaille),
    Entry(kPrint, "grImprime", "grPrint", GRAPH_bGrImprime),
    Entry(kExplodedSector, "grSecteurPartExcentr\351e", "grPieEccentred",
          GRAPH_bGrSecteurExcentree),  // grSecteurPartExcentrée
    Entry(kCreateFont, "grCr\351ePolice", "grCreateFont", GRAPH_bGrCreePolice),  // grCréePolice
    Entry(kTitleFont, "grPoliceTitre", "grTitleFont", GRAPH_bGrPoliceTitre),
    Entry(kAxisTitleFont, "grPoliceTitreAxe", "grAxeTitleFont", GRAPH_bGrPoliceTitreAxe),
    Entry(kLegendFont, "grPoliceLegende", "grLegendFont", GRAPH_bGrPoliceLegende),
    Entry(kLabelFont, "grPoliceEtiquette", "grLabelFont", GRAPH_bGrPoliceLabel),
};
static_assert(std::size(kFunctions) == kFunctionCount);

}  // namespace

std::span<const FunctionEntry> FunctionTable() {
  return kFunctions;
}

const FunctionEntry* FindFunctionEntry(KvLanguageFunction function) {
  for (const FunctionEntry& entry : kFunctions) {
    if (entry.function == function) return &entry;
  }
  return nullptr;
}

bool DeclaresSyntax(KvLanguageFunction function, const CallBlock& call) {
  const FunctionEntry* entry = FindFunctionEntry(function);
  return entry != nullptr && call.syntaxIndex >= 0 && call.syntaxIndex < entry->syntaxCount;
}

}  // namespace kv::chart
