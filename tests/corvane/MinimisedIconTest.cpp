// Where the icon is drawn while the main window is minimised.
#include "app/MinimisedIcon.h"

#include <gtest/gtest.h>

TEST(MinimisedIcon, CentredOffsetTruncatesTowardZero)
{
    struct Case { int client; int icon; int offset; };
    const Case cases[] = {
        { 36, 32, 2 },
        { 37, 32, 3 },
        { 32, 32, 0 },
        { 0, 32, -15 },    // -31 / 2 truncates to -15, not -16
        { 1, 32, -15 },
        { 31, 32, 0 },
        { 160, 32, 64 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(CentredIconOffset(c.client, c.icon), c.offset) << c.client << " x " << c.icon;
}
