#include "chart/model/chart.h"

namespace kv::chart {

namespace {

// Initial faces and heights of the legend, label, axis-title and title fonts.
constexpr const char* kInitialFace = "Arial";
constexpr int kInitialHeights[kFontElements] = {14, 14, 16, 18};

constexpr uint16_t kLegendItems[kLastPosition + 1] = {kMenuLegendNone, kMenuLegendRight,
                                                      kMenuLegendLeft};

}  // namespace

uint16_t TypeMenuCommand(ChartType type) {
  switch (type) {
    case ChartType::kPie:
      return kMenuTypePie;
    case ChartType::kColumn:
      return kMenuTypeColumn;
    case ChartType::kCurve:
      return kMenuTypeCurve;
    case ChartType::kPie3D:
      return kMenuTypePie3D;
    case ChartType::kColumn3D:
      return kMenuTypeColumn3D;
    case ChartType::kScatter:
      return kMenuTypeScatter;
  }
  return kMenuTypeCurve;
}

Chart::Chart(ChartType type)
    : type_(type),
      frenchMenu_(BuildMenuTree(MenuLanguage::kFrench)),
      englishMenu_(BuildMenuTree(MenuLanguage::kEnglish)) {
  for (int i = 0; i < kFontElements; ++i) {
    fonts_[i].font = MakeFont(kInitialFace, kInitialHeights[i]);
  }
  // A new chart shows its type and its (absent) legend as checked; the grid
  // items follow the grid switches, which start off.
  SetMenuCheck(TypeMenuCommand(type), true);
  CheckLegendItem();
}

Chart::~Chart() { ClearDrawing(); }

void Chart::SetVerticalGrid(int32_t) {
  SetMenuCheck(kMenuGridVertical, false);
}

void Chart::SetHorizontalGrid(int32_t) {
  SetMenuCheck(kMenuGridHorizontal, false);
}

ErrorState Chart::TakeErrorState() {
  const ErrorState state = errorState_;
  errorState_ = ErrorState::kNone;
  return state;
}

void Chart::SetErrorFrom(StoreResult result) {
  switch (result) {
    case StoreResult::kDone:
      break;
    case StoreResult::kOutOfRange:
      SetError(ErrorState::kIncorrectParameter);
      break;
    case StoreResult::kFull:
      SetError(ErrorState::kDataOverflow);
      break;
  }
}

void Chart::ApplySettings() {
  if (!settingsChanged_) return;
  applied = pending;
  settingsChanged_ = false;
}

void Chart::SetTitlePosition(int32_t position) {
  if (position < kPositionNone || position > kLastPosition) {
    SetError(ErrorState::kIncorrectParameter);
    return;
  }
  pending.titlePosition = position;
  MarkSettingsChanged();
}

void Chart::SetTitleText(std::string_view text) {
  pending.title.assign(text);
  MarkSettingsChanged();
}

void Chart::SetLegendPosition(int32_t position) {
  if (position < kPositionNone || position > kLastPosition) {
    SetError(ErrorState::kIncorrectParameter);
    return;
  }
  pending.legendPosition = position;
  CheckLegendItem();
  MarkSettingsChanged();
}

void Chart::CheckLegendItem() {
  for (int position = kPositionNone; position <= kLastPosition; ++position) {
    SetMenuCheck(kLegendItems[position], position == pending.legendPosition);
  }
}

void Chart::SetWindowDestination(void* owner, std::string_view caption) {
  pending.destinationKind = DestinationKind::kWindow;
  pending.destinationHandle = owner;
  pending.destinationText.assign(caption);
  MarkSettingsChanged();
}

void Chart::SetFieldDestination(void* deviceContext, void* fieldWindow) {
  pending.destinationKind = DestinationKind::kField;
  pending.destinationHandle = deviceContext;
  pending.fieldWindow = fieldWindow;
  pending.destinationText.clear();
  MarkSettingsChanged();
}

void Chart::SetFileDestination(std::string_view fileName) {
  pending.destinationKind = DestinationKind::kMetafile;
  pending.destinationHandle = nullptr;
  pending.destinationText.assign(fileName);
  MarkSettingsChanged();
}

void Chart::SetLabelSwitch(int32_t which, int32_t value) {
  if (which < 0 || which >= kLabelSwitches) {
    SetError(ErrorState::kIncorrectParameter);
    return;
  }
  labelDisplay[static_cast<size_t>(which)] = value;
}

void Chart::SetMenuCheck(uint16_t command, bool checked) {
  for (MenuTree* tree : {&frenchMenu_, &englishMenu_}) {
    if (MenuItem* item = FindMenuItem(*tree, command)) item->state = checked ? kMenuChecked : 0;
  }
}

void Chart::SetMenuText(uint16_t command, std::string_view text) {
  for (MenuTree* tree : {&frenchMenu_, &englishMenu_}) {
    if (MenuItem* item = FindMenuItem(*tree, command)) item->text.assign(text);
  }
}

}  // namespace kv::chart
