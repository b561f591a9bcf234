// The table every host builds its window from: the properties a host cannot check by looking at
// its own window. Built and run on every host.

#include "setup_elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pulsaro {
namespace {

TEST(SetupWindowTable, ListsEveryElementOnceInElementOrderWithDistinctTabIndexes) {
    using setup::Element;
    using setup::ElementKind;
    std::set<int> tabIndexes;
    std::set<std::pair<std::string_view, int>> names;
    for (std::size_t i = 0; i < setup::kElements.size(); ++i) {
        const setup::ElementRow& e = setup::kElements[i];
        SCOPED_TRACE(std::string(e.name));
        EXPECT_EQ(static_cast<std::size_t>(e.id), i) << "the table is in element order";
        EXPECT_TRUE(tabIndexes.insert(e.tabIndex).second);
        EXPECT_TRUE(names.insert({e.name, e.index}).second);
        EXPECT_EQ(e.kind == ElementKind::PictureBox, e.font.points == 0);
        EXPECT_EQ(e.kind == ElementKind::PictureBox, e.text.empty());
        if (e.kind == ElementKind::PictureBox) {
            EXPECT_FALSE(e.visibleAtStart) << "marks start hidden";
        }
    }
    EXPECT_EQ(*tabIndexes.begin(), 0);
    EXPECT_EQ(*tabIndexes.rbegin(), 16);
    // The first visible element that takes the focus is the start button.
    std::vector<const setup::ElementRow*> focusable;
    for (const auto& e : setup::kElements) {
        if (e.visibleAtStart && e.kind == ElementKind::PushButton) focusable.push_back(&e);
    }
    ASSERT_FALSE(focusable.empty()) << "no visible button takes the focus";
    const auto first = std::ranges::min_element(focusable, {}, &setup::ElementRow::tabIndex);
    EXPECT_EQ((*first)->id, Element::Command4);
    EXPECT_EQ(setup::pixels(setup::kClientWidthTwips), 357);
    EXPECT_EQ(setup::pixels(setup::kClientHeightTwips), 397);
}

}  // namespace
}  // namespace pulsaro
