#include "app/Desktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The group of the test's layout among the keyboard's groups, by the names
// the keyboard gives them.
TEST(Desktop, KeyboardGroupOfTheTestsLayout)
{
    const std::vector<std::string> usRuUa = {"English (US)", "Russian", "Ukrainian"};
    const std::vector<std::string> uaUs = {"Ukrainian", "English (US)"};
    const std::vector<std::string> variants = {"English (US, intl., with dead keys)",
                                               "Russian (phonetic)", "Ukrainian (legacy)"};
    const std::vector<std::string> plainAfterVariant = {"Russian (phonetic)", "Russian"};
    const std::vector<std::string> others = {"English (UK)", "German", "Belarusian", ""};
    struct Case
    {
        int kbLayout;
        const std::vector<std::string>& groups;
        int group;
    } cases[] = {
        {0, usRuUa, 0},   {1, usRuUa, 1},
        {2, usRuUa, 2},   {2, uaUs, 0},
        {0, uaUs, 1},     {1, uaUs, -1},
        {0, variants, 0}, {1, variants, 1},
        {2, variants, 2}, {1, plainAfterVariant, 1},
        {0, others, -1},  {1, others, -1},
        {2, others, -1},  {3, usRuUa, -1},
        {-1, usRuUa, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qd::keyboardGroupFor(c.kbLayout, c.groups), c.group)
            << "layout " << c.kbLayout << " first group '" << (c.groups.empty() ? "" : c.groups[0])
            << "'";
    }
    EXPECT_EQ(qd::keyboardGroupFor(1, {}), -1);
}

} // namespace
