#pragma once
#include "app/HistoryRows.h"

namespace kv::ui {

// The history window's items.
inline constexpr int kHistoryHeadingId = 100;
inline constexpr int kHistoryListId = 101;
inline constexpr int kHistoryDamagedId = 102;

// The flash history as a list view in report mode: one row per flash, a
// column click sorts by that column over the cells' typed values (again:
// the other way), the outcome drawn in the verdict's colour. Shown modally
// over `owner` on the calling thread, which must be the owner's.
void showHistoryWindow(void* owner, const HistoryView& view);
// The same window modeless, left to the caller's message loop (tests);
// DestroyWindow ends it.
void* createHistoryWindow(void* owner, const HistoryView& view);

}  // namespace kv::ui
