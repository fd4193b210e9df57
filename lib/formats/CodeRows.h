// Tables of one row per message code, sorted by code and bounded: velkctl
// top's and velkscope's. A Row has a uint32_t code. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <vector>

// Where code's row is, or would go.
template <class Row>
size_t RowIndex(const std::vector<Row>& rows, uint32_t code)
{
    return static_cast<size_t>(std::lower_bound(rows.begin(), rows.end(), code,
                                                [](const Row& row, uint32_t wanted) { return row.code < wanted; }) -
                               rows.begin());
}

// code's row; a new one, with only its code set, while there are fewer
// than most rows (*made then true); null for a new code past the bound.
template <class Row>
Row* RowForCode(std::vector<Row>& rows, uint32_t code, size_t most, bool* made)
{
    size_t at = RowIndex(rows, code);
    *made = false;
    if (at < rows.size() && rows[at].code == code)
        return &rows[at];
    if (rows.size() >= most)
        return nullptr;
    Row row;
    row.code = code;
    *made = true;
    return &*rows.insert(rows.begin() + static_cast<ptrdiff_t>(at), row);
}
