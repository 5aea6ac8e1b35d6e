// How clipboard text becomes typed units: line ends, control codes and the line limit.
#include "paste.h"

#include <gtest/gtest.h>

namespace tavik {
namespace {

TEST(PastePlan, EveryLineEndBecomesOneEnterAndControlCodesButTabVanish) {
    // LF, CR LF and CR alike; an empty line is an Enter of its own; the last line keeps no end it lacked.
    EXPECT_EQ(planPaste(u"10 A=1\n20 B=2\r\n\r\n30 C=3\r40 END").units, u"10 A=1\r20 B=2\r\r30 C=3\r40 END");
    // LF CR is two ends, not one.
    EXPECT_EQ(planPaste(u"a\n\rb").units, u"a\r\rb");
    // Ctrl-C, backspace, Ctrl-K, form feed, escape, DEL and C1 codes would break, erase, jump or clear.
    EXPECT_EQ(planPaste(u"p\x03r\bi\x0Bn\x0Ct\x1B\x7F\x85\x9F 1\t;2").units, std::u16string(u"print 1\t;2"));
    // Full-width and surrogate units are text like any other.
    EXPECT_EQ(planPaste(u"\u3042\U0001F600").units, u"\u3042\U0001F600");
    EXPECT_TRUE(planPaste(u"\x01\x02").units.empty());
}

TEST(PastePlan, ALineOver255UnitsRefusesTheWholePaste) {
    const std::u16string full(255, u'x');
    PastePlan plan = planPaste(u"1 REM\n" + full + u"\n" + full);
    EXPECT_EQ(plan.refusedLine, 0);
    EXPECT_EQ(plan.units.size(), 6u + 256u + 255u);

    // Dropped control codes do not count; a tab does.
    plan = planPaste(full + u"\x01\x02\n");
    EXPECT_EQ(plan.refusedLine, 0);
    plan = planPaste(u"a\r\nb\rc\n" + full + u"\t\x01" + u"yz\r\nlast");
    EXPECT_EQ(plan.refusedLine, 4);
    EXPECT_EQ(plan.refusedUnits, 258);
    EXPECT_TRUE(plan.units.empty());

    PasteResult result{PasteResult::Refused, plan.refusedLine, plan.refusedUnits};
    EXPECT_EQ(pasteMessage(result),
              "Nothing was pasted: line 4 has 258 characters, and a line holds at most 255.");
    EXPECT_EQ(pasteMessage(PasteResult{PasteResult::Typed}), "");
}

} // namespace
} // namespace tavik
