// Where a panel's controls go, in dialog units, so that the system font
// scales the whole panel (the window turns them into pixels with
// MapDialogRect). Pure logic.
//
// The automatic panel: a group box per message in columns as wide as the
// window allows, each message in the shortest column; in a box, one line
// per signal (its name, its control, what was received) and a last line
// with Send, Cyclic and the period. A panel file: a grid whose columns share
// the width; each widget's label and received value over its control.
#pragma once
#include <stddef.h>

#include <vector>

#include "velkpanel/PanelFile.h"

struct DluRect {
    int x = 0, y = 0, width = 0, height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
};

enum {
    kPanelMarginDlu = 4,
    kPanelLineDlu = 12,          // one line of controls
    kPanelGapDlu = 3,            // between lines and columns
    kGroupMinWidthDlu = 260,
    kGroupHeadDlu = 10,          // the group box's caption
    kCellMinWidthDlu = 110,
    kCellHeightDlu = 2 * kPanelLineDlu + 2 * kPanelGapDlu,
};

struct GroupLayout {
    DluRect box;                  // the group box
    std::vector<DluRect> rows;    // a signal's line each
    DluRect footer;               // Send, Cyclic, period
};

// rowsPerGroup: the signals of each group. *heightDlu: what the groups take.
std::vector<GroupLayout> LayoutGroups(const std::vector<size_t>& rowsPerGroup, int widthDlu, int* heightDlu);

// The order Tab visits the groups in: down each column on screen, the
// columns left to right (the file's order fills the shortest column first).
std::vector<size_t> ColumnOrder(const std::vector<GroupLayout>& groups);

// The order Tab visits a panel file's widgets in: as they stand on screen,
// row by row, each row left to right (whatever the file's order).
std::vector<size_t> GridOrder(const PanelTab& tab);

// A panel file's widget in a tab of that many columns.
DluRect GridCell(const PanelWidget& widget, int columns, int widthDlu);
int GridHeight(int rows);

// A widget's parts. One line (the automatic panel's rows): name, control,
// received value side by side; two (a grid cell): name and received value
// over the control. A slider's control is its trackbar with edit and unit
// beside it, a spin box's its edit with the unit.
struct WidgetCells {
    DluRect label, control, edit, unit, indicator;
};
WidgetCells SplitWidget(PanelWidgetType type, const DluRect& rect, bool twoLines);

struct FooterCells {
    DluRect send, cyclic, period;
};
FooterCells SplitFooter(const DluRect& footer);
