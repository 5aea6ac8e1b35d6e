// The program store against a reference model: random entries, replacements and deletions of lines, typed
// through the interpreter loop, are mirrored in a sorted map of line texts. After every step the stored
// bytes, LIST, usedBytes and the array's extent agree with the map, up to and past "Out of memory".
#include "interpreter_fixture.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

namespace tavik::test {
namespace {

constexpr int AREA = PROGRAM_AREA_BYTES;

class StoreModel : public InterpreterTest {
  protected:
    // The record a line makes: its TokenLine with the first four bytes replaced by number and length.
    const Bytes& record(const std::u16string& text) const {
        const auto known = records.find(text);
        if (known != records.end()) return known->second;
        const auto t = tokens(text);
        EXPECT_TRUE(t.has_value()) << "generated line does not tokenise";
        Bytes& r = records[text] = t.value_or(Bytes{});
        if (r.size() < 4) return r;
        const auto number = static_cast<std::uint16_t>(r[2] | (r[3] << 8));
        const auto length = static_cast<std::uint16_t>(r.size());
        r[0] = static_cast<std::uint8_t>(number);
        r[1] = static_cast<std::uint8_t>(number >> 8);
        r[2] = static_cast<std::uint8_t>(length);
        r[3] = static_cast<std::uint8_t>(length >> 8);
        return r;
    }

    Bytes expectedArea() const {
        Bytes out;
        for (const auto& [number, text] : model) {
            const Bytes& r = record(text);
            out.insert(out.end(), r.begin(), r.end());
        }
        out.push_back(0);
        out.push_back(0);
        return out;
    }

    std::u16string expectedListing(unsigned from = 1, unsigned to = 32767) const {
        std::u16string out;
        for (auto it = model.lower_bound(from); it != model.end() && it->first <= to; ++it)
            out += it->second + u"\n";
        return out;
    }

    std::size_t usedByModel() const {
        std::size_t used = 2;
        for (const auto& entry : model) used += record(entry.second).size();
        return used;
    }

    // Types one line as the user would; returns what the console showed besides the loop's "OK".
    std::u16string type(const std::u16string& line) {
        std::u16string shown = session({line});
        EXPECT_EQ(shown.substr(0, 3), u"OK\n");
        shown.erase(0, 3);
        if (shown.size() >= 3 && shown.substr(shown.size() - 3) == u"OK\n") shown.resize(shown.size() - 3);
        return shown;
    }

    // The whole listing, as SAVE writes it (LIST writes the same text to the console, which is slower).
    std::u16string listing() {
        class Memory : public OutputStream {
          public:
            bool write(const char16_t* units, std::size_t count) override {
                for (std::size_t i = 0; i < count; ++i)
                    if (units[i] != u'\r') text += units[i];
                return true;
            }
            std::u16string text;
        } memory;
        EXPECT_TRUE(peer.listLines(&memory, 1, 32767));
        return memory.text;
    }

    // Everything the store shows must agree with the model.
    void expectAgreement(const std::string& step) {
        SCOPED_TRACE(step);
        const Bytes expected = expectedArea();
        ASSERT_EQ(peer.program.usedBytes, expected.size());
        ASSERT_EQ(area(), expected);
        // The listing follows from the bytes; checking it now and then keeps the test quick.
        ++checks;
        if (checks % 8 == 0) {
            ASSERT_EQ(listing(), expectedListing());
        }
        if (checks % 64 == 0) {
            ASSERT_EQ(list(), expectedListing()) << "LIST on the console";
        }
        // The array fills the rest of the area: its last element exists, the one after it does not.
        const int last = (AREA - peer.program.usedBytes) / 2 - 1;
        ASSERT_GE(last, 0);
        peer.errorFlag = 0;
        EXPECT_EQ(peer.arrayElement(last), peer.program.area + peer.program.usedBytes + 2 * last);
        EXPECT_EQ(peer.errorFlag, 0);
        view.forget();
        EXPECT_EQ(peer.arrayElement(last + 1), nullptr);
        EXPECT_EQ(view.transcript, u"Out of Array Subscription in 0\n");
        peer.errorFlag = 0;
    }

    // A body whose listing is the text itself (keywords in lower case, plain literals, no letters in a row,
    // no tab, which the console shows as spaces), short enough that the line after a number of up to five
    // digits fits the console's 255 units.
    std::u16string body() {
        static const std::u16string pieces[] = {
            u" print 1", u" A=2",        u"?\"abc\"",  u" for I=1 to 10 step 2",
            u":next",    u" @(3)=-7",    u" goto 100", u" gosub 20",
            u" 0x1f",    u"  ",          u" cls",      u"?\"\u3042\uFF21\"",
            u" a=b*c/d", u":",           u" x=0x0",    u" if A<>B then 30",
            u" end",     u" locate 1,2", u" return",
        };
        std::u16string out;
        const int count = static_cast<int>(random() % 6);
        for (int k = 0; k < count; ++k) out += pieces[random() % std::size(pieces)];
        if (out.find_first_not_of(u" \t") == std::u16string::npos) out += u" ?1"; // blanks alone delete
        if (random() % 2 == 0) {
            // A remark of any length, which fills memory fast.
            out += random() % 2 ? u" '" : u" rem ";
            const std::size_t length =
                std::min<std::size_t>(random() % 250, out.size() < 250 ? 250 - out.size() : 0);
            for (std::size_t k = 0; k < length; ++k) out += static_cast<char16_t>(u'a' + random() % 26);
        }
        return out;
    }

    // A line number: often one in use, so that lines get replaced and deleted.
    unsigned lineNumber() {
        if (!model.empty() && random() % 2 == 0) {
            auto it = model.begin();
            std::advance(it, static_cast<long>(random() % model.size()));
            return it->first;
        }
        return 1 + static_cast<unsigned>(random() % (random() % 4 == 0 ? 32767 : 1000));
    }

    static std::u16string number(unsigned n) { return u16(std::to_string(n)); }

    // One random step: enter or replace a line, delete one (existing or not), or type line 0.
    void step(int stepNumber) {
        const unsigned kind = static_cast<unsigned>(random() % 20);
        const unsigned n = lineNumber();
        std::u16string line;
        std::u16string expectedMessage;
        if (kind < 16) {
            line = number(n) + body();
            const std::size_t length = record(line).size();
            const auto old = model.find(n);
            const std::size_t used = usedByModel();
            const std::size_t after = used + length - (old == model.end() ? 0 : record(old->second).size());
            if (after >= static_cast<std::size_t>(AREA)) {
                expectedMessage = u"Out of memory in 0\n";
                ++outOfMemory;
            } else {
                model[n] = line;
            }
        } else if (kind < 19) {
            // Deleting: the number alone, maybe with blanks after it.
            line = number(n) + (random() % 2 ? u"" : u" \t ");
            if (model.erase(n) == 0) expectedMessage = u"Line Number " + number(n) + u" not Found in 0\n";
        } else {
            line = u"0" + body();
            expectedMessage = u"Invalid Line Number 0\n";
        }
        EXPECT_EQ(type(line), expectedMessage) << std::string(line.begin(), line.end());
        ++steps;
        expectAgreement("step " + std::to_string(stepNumber));
    }

    std::map<unsigned, std::u16string> model;
    mutable std::map<std::u16string, Bytes> records; // record() of each text met, made once
    std::mt19937 random{1};
    int outOfMemory = 0;
    int checks = 0;
    int steps = 0;
};

TEST_F(StoreModel, RandomEditsAgreeWithASortedMap) {
    int refused = 0;
    std::size_t peak = 0;
    for (unsigned seed : {1u, 2u, 3u}) {
        random.seed(seed);
        model.clear();
        session({u"new"});
        outOfMemory = 0;
        for (int i = 0; i < 1500; ++i) {
            step(i);
            if (HasFatalFailure()) return;
            peak = std::max<std::size_t>(peak, peer.program.usedBytes);
        }
        EXPECT_GT(outOfMemory, 0) << "the run never filled the store (seed " << seed << ")";
        EXPECT_GT(model.size(), 50u);
        refused += outOfMemory;
    }
    RecordProperty("steps", steps);
    RecordProperty("outOfMemory", refused);
    std::printf("store model: %d steps, %d refused with Out of memory, %d agreement checks, usedBytes up to "
                "%zu of %d\n",
                steps, refused, checks, peak, AREA);
}

TEST_F(StoreModel, RangesOfListAgreeWithTheMap) {
    random.seed(7);
    for (int i = 0; i < 150; ++i) step(i);
    for (int k = 0; k < 200; ++k) {
        const unsigned from = lineNumber();
        const unsigned to = lineNumber();
        const std::u16string range = number(from) + u"-" + number(to);
        EXPECT_EQ(exec(u"list " + range), expectedListing(from, to))
            << std::string(range.begin(), range.end());
        EXPECT_EQ(exec(u"list " + number(from)), expectedListing(from, from));
    }
}

TEST_F(StoreModel, SavedAndLoadedStoresAgreeWithTheMap) {
    TempDir dir;
    const std::u16string file = u"\"" + dir.name("model.tk") + u"\"";
    random.seed(11);
    for (int round = 0; round < 8; ++round) {
        for (int i = 0; i < 60; ++i) step(i);
        EXPECT_EQ(type(u"save " + file), u"");
        // LOAD appends in file order; MERGE into an empty program goes through the editing path.
        EXPECT_EQ(type(u"new"), u"");
        EXPECT_EQ(type(u"load " + file), u"");
        expectAgreement("after load, round " + std::to_string(round));
        EXPECT_EQ(type(u"new"), u"");
        EXPECT_EQ(type(u"merge " + file), u"");
        expectAgreement("after merge, round " + std::to_string(round));
    }
}

TEST_F(StoreModel, TheLastBytesOfTheAreaAreUsedExactly) {
    // Fill with long remarks until little room is left, then find lines that fit exactly and one unit over.
    unsigned n = 1;
    while (AREA - usedByModel() > 480) {
        const std::u16string line = number(n++) + u" '" + std::u16string(200, u'r');
        EXPECT_EQ(type(line), u"");
        model[n - 1] = line;
    }
    expectAgreement("filled");
    // A record can be at most room bytes: usedBytes may reach 0xBFFE, never 0xC000.
    const std::size_t room = AREA - 2 - usedByModel();
    std::u16string fits, over;
    for (int k = 0; k < 245 && (fits.empty() || over.empty()); ++k) {
        const std::u16string line = number(n) + u" '" + std::u16string(static_cast<std::size_t>(k), u'z');
        const std::size_t length = record(line).size();
        if (length == room) fits = line;
        if (length == room + 2) over = line;
    }
    ASSERT_FALSE(fits.empty());
    ASSERT_FALSE(over.empty());
    EXPECT_EQ(type(over), u"Out of memory in 0\n");
    expectAgreement("one record too long");
    EXPECT_EQ(type(fits), u"");
    model[n] = fits;
    expectAgreement("full to the last byte");
    EXPECT_EQ(peer.program.usedBytes, AREA - 2);
    // The array keeps its one element; replacing the last line by a longer one is refused whole.
    EXPECT_EQ(exec(u"@(0)=5:?@(0)"), u"5\n");
    EXPECT_EQ(exec(u"?@(1)"), u"Out of Array Subscription in 0\n");
    EXPECT_EQ(type(number(n) + u" '" + std::u16string(250, u'y')), u"Out of memory in 0\n");
    EXPECT_EQ(type(u"1 ?2"), u"") << "a shorter replacement always fits";
    model[1] = u"1 ?2";
    expectAgreement("after a shorter replacement");
    EXPECT_EQ(type(number(n)), u"");
    model.erase(n);
    expectAgreement("after deleting the last line");
}

} // namespace
} // namespace tavik::test
