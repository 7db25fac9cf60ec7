#include "chart/model/menu_strings.h"

namespace kv::chart {

namespace {

// None of the menu texts needs a byte outside ASCII.
constexpr kv::ext::StringEntry kMenuStrings[] = {
    {101, "&Type de graphe"},
    {102, "&Secteur"},
    {103, "&Courbe"},
    {104, "&Histogramme"},
    {105, "S&ecteur 3D"},
    {106, "H&istogramme 3D"},
    {107, "&Nuage de points"},
    {108, "&Polices"},
    {109, "&Titre du graphique"},
    {110, "T&itre des axes"},
    {111, "&Legende"},
    {112, "L&abels"},
    {113, "&Legende"},
    {114, "&Sans"},
    {115, "&Droite"},
    {116, "&Gauche"},
    {117, "&Quadrillage"},
    {118, "&Horizontal"},
    {119, "&Vertical"},
    {120, "&Imprime..."},
    {10101, "Graph &type"},
    {10102, "&Sector"},
    {10103, "&Curves"},
    {10104, "C&harts"},
    {10105, "S&ector 3D"},
    {10106, "Char&ts 3D"},
    {10107, "&Points"},
    {10108, "&Fonts"},
    {10109, "Graph &title"},
    {10110, "Axes t&itle"},
    {10111, "&Legende"},
    {10112, "L&abels"},
    {10113, "&Legende"},
    {10114, "&No"},
    {10115, "&Right"},
    {10116, "&Left"},
    {10117, "&Grid"},
    {10118, "&Horizontal"},
    {10119, "&Vertical"},
    {10120, "&Print..."},
};

}  // namespace

std::span<const kv::ext::StringEntry> MenuStrings() {
  return kMenuStrings;
}

}  // namespace kv::chart
