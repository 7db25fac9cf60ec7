#include "chart/command/instance.h"

#include "chart/ext/global_block.h"
#include "chart/model/instance_lists.h"
#include "chart/window/chart_window.h"
#include "platform/kernel/memory.h"

namespace kv::chart {

InstanceContext* CreateInstance() {
  auto* context =
      static_cast<InstanceContext*>(kv::ext::AllocateHostBlock(sizeof(InstanceContext)));
  if (context == nullptr) return nullptr;
  KvChartList* charts = CreateChartList();
  KvFontList* fonts = charts != nullptr ? CreateFontList() : nullptr;
  if (fonts == nullptr) {
    if (charts != nullptr) DestroyChartList(charts);
    kv::ext::FreeHostBlock(context);
    return nullptr;
  }
  context->language = 0;
  context->charts = charts;
  context->fonts = fonts;
  return context;
}

bool DestroyInstance(InstanceContext* context) {
  if (context == nullptr) return true;
  // A stale or foreign address would make us free someone else's memory.
  if (kvp::GlobalHandle(context) == 0) return false;
  // Charts hold copies of the list's fonts, so the order does not matter.
  DestroyFontList(context->fonts);
  DestroyChartList(context->charts);
  kv::ext::FreeHostBlock(context);
  // The chart class goes with the last chart window.
  UnregisterChartClass(nullptr);
  return true;
}

}  // namespace kv::chart
