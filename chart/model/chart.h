// A chart: its settings, data, fonts and menus, and the operations each
// chart type implements in its own way.
//
// The virtual operations are declared in the order of the type's operation
// table (destroy first); an operation a type does not support does nothing,
// and a getter it does not support answers the value that a chart of
// another type starts with, so that converting a chart from one type to
// another (ConvertChart) carries each setting over or drops it.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "chart/draw/box.h"
#include "chart/draw/value_scale.h"
#include "chart/model/data_store.h"
#include "chart/model/menu_tree.h"
#include "chart/model/owned_font.h"
#include "chart/model/palette.h"

struct KvChartList;

namespace kv::chart {

enum class ChartType : int16_t {
  kPie = 0,
  kColumn = 1,
  kCurve = 2,
  kPie3D = 3,
  kColumn3D = 4,
  kScatter = 5,
};

enum class DestinationKind : int32_t {
  kWindow = 0,
  kField = 1,
  kMetafile = 2,
  kPrinter = 3,  // only while printing
};

// What a failed operation leaves for the language function to report.
enum class ErrorState : int32_t {
  kNone = 0,
  kNoDestination = 1,
  kIncorrectData = 2,
  kIncorrectParameter = 3,
  kDataOverflow = 4,
};

// Title positions: 0 none, 1 top, 2 bottom. Legend positions: 0 none,
// 1 right, 2 left.
inline constexpr int32_t kPositionNone = 0;
inline constexpr int32_t kLastPosition = 2;

struct WindowRect {
  int16_t left = 0;
  int16_t top = 0;
  int16_t right = 0;
  int16_t bottom = 0;
};

struct PrintRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The settings a drawing depends on. The language functions change the
// pending copy; a drawing copies it into the applied one.
struct ChartSettings {
  // The owner window (window destination) or the field's device context.
  void* destinationHandle = nullptr;
  DestinationKind destinationKind = DestinationKind::kWindow;
  void* fieldWindow = nullptr;
  std::string destinationText;  // window caption or file name
  std::string title;
  int32_t titlePosition = kPositionNone;
  int32_t legendPosition = kPositionNone;
  WindowRect windowRect;
};

// Label display switches.
enum LabelSwitch : int { kShowValues = 0, kShowPercentages = 1, kShowLabels = 2, kLabelSwitches };

enum class FontElement : int { kLegend = 0, kLabel = 1, kAxisTitle = 2, kTitle = 3 };
inline constexpr int kFontElements = 4;

struct ElementFont {
  OwnedFont font;
  Rgb colour = 0;
};

// Where the drawing under way goes, and what its layout found for the
// legend (slot 20) and plot (slot 30) operations.
struct DrawingState {
  kvp::HDC dc = nullptr;
  DestinationKind kind = DestinationKind::kWindow;
  Box legendArea;
  Box plotArea;   // the sector area of a pie, the plot rectangle of an axis chart
  Box labelArea;  // what the title band and the legend left
  int zeroY = 0;  // axis charts: the y of the value 0
  ValueScale scale;
  // The size of the last drawing on the screen (field or window), from
  // which printing scales; 0 before any.
  int screenWidth = 0;
  int screenHeight = 0;
  // The field's own picture, kept while the chart covers it.
  kvp::HBITMAP fieldPicture = nullptr;
  kvp::HDC fieldDC = nullptr;
  // The chart's own window (window destination), or the field window it
  // covers with the field's procedure from before; both carry the
  // "TWKKVGraph" property, a block holding the chart's address.
  kvp::HWND chartWindow = nullptr;
  kvp::HWND coveredField = nullptr;
  void* fieldProcedure = nullptr;
  kvp::HGLOBAL propertyBlock = 0;
};

class Chart {
 public:
  Chart(const Chart&) = delete;
  Chart& operator=(const Chart&) = delete;

  // Operation table, in slot order.
  virtual ~Chart();                                                                          // 0
  virtual void Draw();                                                                       // 1
  virtual void SetVerticalGrid(int32_t on);                                                  // 2
  virtual void SetHorizontalGrid(int32_t on);                                                // 3
  virtual void SetPointSize(int32_t) {}                                                      // 4
  virtual int32_t PointSize() const { return 2; }                                            // 5
  virtual void SetHorizontalStep(double) {}                                                  // 6
  virtual double HorizontalStep() const { return 0.0; }                                      // 7
  virtual void SetVerticalAxisTitle(std::string_view) {}                                     // 8
  virtual void SetVerticalStep(double) {}                                                    // 9
  virtual void SetColumnSpacing(int32_t) {}                                                  // 10
  virtual void SetHorizontalAxisTitle(std::string_view) {}                                   // 11
  virtual int32_t VerticalGrid() const { return 0; }                                         // 12
  virtual int32_t HorizontalGrid() const { return 0; }                                       // 13
  virtual std::string_view VerticalAxisTitle() const { return {}; }                          // 14
  virtual size_t VerticalAxisTitleLength() const { return VerticalAxisTitle().size(); }      // 15
  virtual double VerticalStep() const { return 0.0; }                                        // 16
  virtual int32_t ColumnSpacing() const { return 10; }                                       // 17
  virtual std::string_view HorizontalAxisTitle() const { return {}; }                        // 18
  virtual size_t HorizontalAxisTitleLength() const { return HorizontalAxisTitle().size(); }  // 19
  virtual void DrawLegend() {}                                                               // 20
  virtual void DrawBody() {}                                                                 // 21
  virtual void SetReliefDepth(int32_t) {}                                                    // 22
  virtual int32_t ReliefDepth() const { return 10; }                                         // 23
  virtual void SetLinkPoints(int32_t) {}                                                     // 24
  virtual int32_t LinkPoints() const { return 1; }                                           // 25
  virtual void SetStartAngle(int16_t) {}                       // 26, degrees
  virtual double StartAngle() const { return 0.0; }            // 27, radians
  virtual void SetExplodedSector(int64_t, int32_t) {}          // 28
  virtual int16_t ExplodedSector(int64_t) const { return 0; }  // 29
  virtual void DrawPlot() {}                                   // 30

  // How many categories carry an exploded-sector entry (0 without any).
  virtual size_t ExplodedSectorCount() const { return 0; }
  // Scatter charts keep series k as the two series 2k-1 (x) and 2k (y).
  virtual bool KeepsPairedSeries() const { return false; }

  ChartType type() const { return type_; }

  // Removes what the chart shows: its window goes, the field's own picture
  // and procedure come back.
  void ClearDrawing();
  // Puts the field's saved picture back into its context.
  void RestoreFieldPicture();

  // Prints on the context (null: the default printer) into the rectangle
  // in millimetres (all zero: the whole page less 5 pixels).
  void Print(kvp::HDC printer, const PrintRect& millimetres);

  // The error state of the last operation; taking it resets it.
  void SetError(ErrorState state) { errorState_ = state; }
  ErrorState TakeErrorState();
  ErrorState errorState() const { return errorState_; }
  // Turns a data store answer into the error state.
  void SetErrorFrom(StoreResult result);

  bool settingsChanged() const { return settingsChanged_; }
  void MarkSettingsChanged() { settingsChanged_ = true; }
  // What a drawing does first when the settings changed.
  void ApplySettings();

  // Changes of pending settings, with their checks and the mark.
  void SetTitlePosition(int32_t position);
  void SetTitleText(std::string_view text);
  void SetLegendPosition(int32_t position);
  void SetWindowDestination(void* owner, std::string_view caption);
  void SetFieldDestination(void* deviceContext, void* fieldWindow);
  void SetFileDestination(std::string_view fileName);
  void SetLabelSwitch(int32_t which, int32_t value);

  ElementFont& font(FontElement element) { return fonts_[static_cast<int>(element)]; }
  const ElementFont& font(FontElement element) const { return fonts_[static_cast<int>(element)]; }

  MenuTree& menu(MenuLanguage language) {
    return language == MenuLanguage::kFrench ? frenchMenu_ : englishMenu_;
  }
  const MenuTree& menu(MenuLanguage language) const {
    return language == MenuLanguage::kFrench ? frenchMenu_ : englishMenu_;
  }
  // The menu the chart shows: French for language 0, English otherwise.
  const MenuTree& shownMenu() const {
    return menu(language == 0 ? MenuLanguage::kFrench : MenuLanguage::kEnglish);
  }
  // Both menus: check or clear the item, give it a text.
  void SetMenuCheck(uint16_t command, bool checked);
  void SetMenuText(uint16_t command, std::string_view text);

  // The fields the language functions and the drawing read and write.
  std::string name;  // upper case
  void* module = nullptr;
  KvChartList* list = nullptr;
  ChartSettings applied;
  ChartSettings pending;
  DataStore data;
  std::array<int32_t, kLabelSwitches> labelDisplay{};
  PrintRect printRect;
  double drawingScale = 1.0;
  uint16_t language = 0;
  int32_t menuEnabled = 1;
  DrawingState drawing;

 protected:
  explicit Chart(ChartType type);

 private:
  friend void CopyCommonParts(const Chart& from, Chart& to);
  void CheckLegendItem();

  ChartType type_;
  bool settingsChanged_ = false;
  ErrorState errorState_ = ErrorState::kNone;
  std::array<ElementFont, kFontElements> fonts_;
  MenuTree frenchMenu_;
  MenuTree englishMenu_;
};

// The menu item that selects a chart type.
uint16_t TypeMenuCommand(ChartType type);

}  // namespace kv::chart
