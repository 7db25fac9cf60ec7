#include "chart/command/chart_strings.h"

#include "chart/model/menu_strings.h"

namespace kv::chart {
namespace {

// Windows-1252 bytes, accented letters as octal escapes (\350 "è", \351
// "é"); the readable form stands in the comment.
constexpr kv::ext::StringEntry kMessages[] = {
    // "Destination non définie " (the trailing space belongs to the text)
    {1, "Destination non d\351finie "},
    {10001, "No destination"},
    // "Données incorrecte pour ce type de graphe"
    {2, "Donn\351es incorrecte pour ce type de graphe"},
    {10002, "Incorrect data"},
    // "Paramètre incorrect"
    {3, "Param\350tre incorrect"},
    {10003, "Incorrect parameter"},
    // "Dépassement de capacité des données du graphe"
    {4, "D\351passement de capacit\351 des donn\351es du graphe"},
    {10004, "Graph data overflow"},
    // "Graphe non créé, utilisez GrCrée"
    {50, "Graphe non cr\351\351, utilisez GrCr\351e"},
    {10050, "Uncreated Graph, use GrCreate"},
    // "Police non créée , utilisez GrCréePolice"
    {51, "Police non cr\351\351e , utilisez GrCr\351ePolice"},
    {10051, "Uncreated Font , use GrCreateFont"},
};

}  // namespace

std::span<const kv::ext::StringEntry> MessageStrings() {
  return kMessages;
}

const kv::ext::StringTable& ChartStrings() {
  static const kv::ext::StringTable table{MessageStrings(), MenuStrings()};
  return table;
}

}  // namespace kv::chart
