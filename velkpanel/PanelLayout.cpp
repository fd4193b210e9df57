#include "velkpanel/PanelLayout.h"

#include <algorithm>

namespace {

DluRect Rect(int x, int y, int width, int height)
{
    DluRect rect;
    rect.x = x;
    rect.y = y;
    rect.width = std::max(width, 0);
    rect.height = std::max(height, 0);
    return rect;
}

// The part of a line from fraction a to b of its width, less a gap before
// each part but the first.
DluRect Part(const DluRect& line, int a, int b)
{
    const int left = line.x + line.width * a / 100 + (a == 0 ? 0 : kPanelGapDlu / 2);
    const int right = line.x + line.width * b / 100 - (b == 100 ? 0 : kPanelGapDlu / 2);
    return Rect(left, line.y, right - left, line.height);
}

// The control's own parts: a slider's trackbar, edit and unit; a spin box's
// edit and unit; a text's edit; else the control alone.
void SplitControl(PanelWidgetType type, const DluRect& control, WidgetCells* cells)
{
    if (type == kWidgetSlider) {
        cells->control = Part(control, 0, 42);
        cells->edit = Part(control, 42, 76);
        cells->unit = Part(control, 76, 100);
    } else if (type == kWidgetSpin) {
        cells->edit = Part(control, 0, 64);
        cells->unit = Part(control, 64, 100);
    } else if (type == kWidgetText) {
        cells->edit = control;
    } else {
        cells->control = control;
    }
}

} // namespace

std::vector<GroupLayout> LayoutGroups(const std::vector<size_t>& rowsPerGroup, int widthDlu, int* heightDlu)
{
    const int usable = std::max<int>(widthDlu - 2 * kPanelMarginDlu, kGroupMinWidthDlu);
    const int columns = std::max(1, (usable + kPanelGapDlu) / (kGroupMinWidthDlu + kPanelGapDlu));
    const int columnWidth = (usable - (columns - 1) * kPanelGapDlu) / columns;
    std::vector<int> bottoms(static_cast<size_t>(columns), kPanelMarginDlu);
    std::vector<GroupLayout> groups;
    for (size_t rows : rowsPerGroup) {
        const size_t column = static_cast<size_t>(std::min_element(bottoms.begin(), bottoms.end()) - bottoms.begin());
        const int x = kPanelMarginDlu + static_cast<int>(column) * (columnWidth + kPanelGapDlu);
        const int top = bottoms[column];
        GroupLayout group;
        int y = top + kGroupHeadDlu;
        const int inner = x + kPanelMarginDlu, innerWidth = columnWidth - 2 * kPanelMarginDlu;
        for (size_t row = 0; row < rows; ++row) {
            group.rows.push_back(Rect(inner, y, innerWidth, kPanelLineDlu));
            y += kPanelLineDlu + kPanelGapDlu;
        }
        group.footer = Rect(inner, y, innerWidth, kPanelLineDlu);
        y += kPanelLineDlu + kPanelMarginDlu;
        group.box = Rect(x, top, columnWidth, y - top);
        bottoms[column] = y + kPanelGapDlu;
        groups.push_back(group);
    }
    *heightDlu = *std::max_element(bottoms.begin(), bottoms.end()) + kPanelMarginDlu;
    return groups;
}

std::vector<size_t> ColumnOrder(const std::vector<GroupLayout>& groups)
{
    std::vector<size_t> order(groups.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&groups](size_t a, size_t b) {
        const DluRect &first = groups[a].box, &second = groups[b].box;
        return first.x != second.x ? first.x < second.x : first.y < second.y;
    });
    return order;
}

std::vector<size_t> GridOrder(const PanelTab& tab)
{
    std::vector<size_t> order(tab.widgets.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&tab](size_t a, size_t b) {
        const PanelWidget &first = tab.widgets[a], &second = tab.widgets[b];
        return first.row != second.row ? first.row < second.row : first.col < second.col;
    });
    return order;
}

DluRect GridCell(const PanelWidget& widget, int columns, int widthDlu)
{
    columns = std::max(columns, 1);
    const int usable = std::max<int>(widthDlu - 2 * kPanelMarginDlu, columns * kCellMinWidthDlu);
    const int cell = (usable + kPanelGapDlu) / columns;
    const int x = kPanelMarginDlu + (widget.col - 1) * cell;
    const int y = kPanelMarginDlu + (widget.row - 1) * (kCellHeightDlu + kPanelGapDlu);
    return Rect(x, y, widget.span * cell - kPanelGapDlu, kCellHeightDlu);
}

int GridHeight(int rows)
{
    return 2 * kPanelMarginDlu + rows * (kCellHeightDlu + kPanelGapDlu);
}

WidgetCells SplitWidget(PanelWidgetType type, const DluRect& rect, bool twoLines)
{
    WidgetCells cells;
    if (!twoLines) {
        const DluRect line = Rect(rect.x, rect.y, rect.width, kPanelLineDlu);
        cells.label = Part(line, 0, 28);
        cells.indicator = Part(line, 74, 100);
        SplitControl(type, Part(line, 28, 74), &cells);
        return cells;
    }
    const DluRect top = Rect(rect.x, rect.y + kPanelGapDlu, rect.width, kPanelLineDlu);
    const DluRect bottom = Rect(rect.x, top.Bottom() + kPanelGapDlu, rect.width, kPanelLineDlu);
    cells.label = Part(top, 0, 55);
    cells.indicator = Part(top, 55, 100);
    if (type == kWidgetLamp) {
        // The lamp on the left of its line, its label beside it.
        cells.control = Rect(bottom.x, bottom.y, kPanelLineDlu, kPanelLineDlu);
        cells.label = Rect(bottom.x + kPanelLineDlu + kPanelGapDlu, bottom.y,
                           bottom.width - kPanelLineDlu - kPanelGapDlu, kPanelLineDlu);
        cells.indicator = DluRect();
        return cells;
    }
    if (type == kWidgetValue) {
        // The read-out is the widget: under its label, the whole width.
        cells.label = top;
        cells.indicator = bottom;
        return cells;
    }
    SplitControl(type, bottom, &cells);
    return cells;
}

FooterCells SplitFooter(const DluRect& footer)
{
    FooterCells cells;
    cells.send = Part(footer, 0, 30);
    cells.cyclic = Part(footer, 30, 62);
    cells.period = Part(footer, 62, 88);
    return cells;
}
