// The dialog-template reader and the re-layout, from byte arrays: what is placed, refreshed and reported.
#include "app_resources.h"
#include "dialog_template.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tavik {
namespace {

// A dialog that records every call; mapping doubles the dialog units.
class RecordingDialog final : public DialogSurface {
  public:
    std::map<std::uint16_t, int> controls; // id -> list selection (-1 none)
    bool failMap = false;
    bool failDefer = false;
    bool failEnd = false;
    bool failBegin = false;
    std::vector<std::pair<std::uint16_t, DialogRect>> pending;
    std::vector<std::pair<std::uint16_t, DialogRect>> moved;
    std::vector<std::string> calls;

    bool hasControl(std::uint16_t id) const override { return controls.count(id) != 0; }
    bool mapDialogRect(DialogRect& r) const override {
        if (failMap) return false;
        r = {r.left * 2, r.top * 2, r.right * 2, r.bottom * 2};
        return true;
    }
    bool beginMoves(int count) override {
        calls.push_back("begin " + std::to_string(count));
        return !failBegin;
    }
    bool deferMove(std::uint16_t id, const DialogRect& r) override {
        calls.push_back("defer " + std::to_string(id));
        if (failDefer) return false;
        pending.emplace_back(id, r);
        return true;
    }
    bool endMoves() override {
        calls.push_back("end");
        moved.insert(moved.end(), pending.begin(), pending.end());
        pending.clear();
        return !failEnd;
    }
    void setControlText(std::uint16_t id, std::u16string_view text) override {
        calls.push_back("text " + std::to_string(id) + " " + std::string(text.begin(), text.end()));
    }
    void reloadImage(std::uint16_t id, ImageKind kind, std::uint16_t resource) override {
        calls.push_back(std::string(kind == ImageKind::Icon ? "icon " : "bitmap ") + std::to_string(id) +
                        " " + std::to_string(resource));
    }
    int currentSelection(std::uint16_t id, ListKind) const override { return controls.at(id); }
    void select(std::uint16_t id, ListKind kind, int index) override {
        calls.push_back(std::string(kind == ListKind::ListBox ? "listbox " : "combo ") + std::to_string(id) +
                        " " + std::to_string(index));
    }
};

DialogItem item(std::uint16_t id, std::uint16_t atom, TemplateField title, std::int16_t x, std::int16_t y,
                std::uint32_t style = 0x50000000) {
    DialogItem i;
    i.id = id;
    i.style = style;
    i.x = x;
    i.y = y;
    i.cx = 10;
    i.cy = 8;
    i.windowClass = TemplateField::ofOrdinal(atom);
    i.title = std::move(title);
    return i;
}

DialogHeader header() {
    DialogHeader h;
    h.style = 0x80C00040;
    h.cx = 100;
    h.cy = 80;
    h.caption = TemplateField::ofText(u"T");
    h.pointSize = 9;
    h.fontName = u"F";
    return h;
}

struct Fixture {
    std::vector<std::uint8_t> bytes;
    ResourceTable table;
    explicit Fixture(std::vector<std::uint8_t> b)
        : bytes(std::move(b)), table({{ResourceType::Dialog, 7, bytes}, {ResourceType::Icon, 8, {}}}) {}
};

TEST(DialogTemplateTest, BuilderWritesThePlatformLayout) {
    DialogHeader h;
    h.style = 0x80C00040;
    h.extendedStyle = 0x80000000;
    h.cx = 156;
    h.cy = 129;
    h.caption = TemplateField::ofText(u"A");
    h.pointSize = 9;
    h.fontName = u"B";
    const std::vector<std::uint8_t> bytes =
        buildDialogTemplate(h, {item(201, ATOM_STATIC, TemplateField::ofOrdinal(101), 12, 12, 0x50000803)});
    const std::vector<std::uint8_t> expected{
        0x40, 0x00, 0xC0, 0x80, 0x00, 0x00, 0x00, 0x80,             // style, extended style
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x9C, 0x00, 0x81, 0x00, // 1 item, x y cx cy
        0x00, 0x00, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00,             // no menu, default class, caption "A"
        0x09, 0x00, 0x42, 0x00, 0x00, 0x00,             // 9 point "B", ending on a 4-byte boundary
        0x03, 0x08, 0x00, 0x50, 0x00, 0x00, 0x00, 0x00, // item style, extended style
        0x0C, 0x00, 0x0C, 0x00, 0x0A, 0x00, 0x08, 0x00, 0xC9, 0x00, // x y cx cy id
        0xFF, 0xFF, 0x82, 0x00, 0xFF, 0xFF, 0x65, 0x00,             // Static, icon 101
        0x00, 0x00};                                                // no creation data
    EXPECT_EQ(bytes, expected);
}

TEST(DialogTemplateTest, PlacesEveryControlAndRefreshesButtonsStaticsAndLists) {
    Fixture f(
        buildDialogTemplate(header(), {item(1, ATOM_STATIC, TemplateField::ofText(u"hi"), 3, 4),
                                       item(2, ATOM_BUTTON, TemplateField::ofText(u"OK"), 5, 6),
                                       item(3, ATOM_STATIC, TemplateField::ofOrdinal(101), 7, 8, 0x50000003),
                                       item(4, ATOM_STATIC, TemplateField::ofOrdinal(102), 9, 9, 0x5000000E),
                                       item(5, ATOM_LISTBOX, TemplateField::ofText(u""), 1, 1),
                                       item(6, ATOM_COMBOBOX, TemplateField::ofText(u""), 1, 2),
                                       item(7, ATOM_LISTBOX, TemplateField::ofText(u""), 1, 3)}));
    RecordingDialog d;
    d.controls = {{1, -1}, {2, -1}, {3, -1}, {4, -1}, {5, 2}, {6, 0}, {7, -1}};
    EXPECT_TRUE(applyDialogTemplateLayout(f.table, d, 7));
    const std::vector<std::string> expected{
        "begin 7",      "defer 1", "text 1 hi",   "defer 2", "text 2 OK", "defer 3", "icon 3 101", "defer 4",
        "bitmap 4 102", "defer 5", "listbox 5 2", "defer 6", "combo 6 0", "defer 7", "end"};
    EXPECT_EQ(d.calls, expected);
    ASSERT_EQ(d.moved.size(), 7u);
    EXPECT_EQ(d.moved[0].second, (DialogRect{6, 8, 26, 24}));
}

TEST(DialogTemplateTest, TwoControlsWithTheUnusedIdAreAppliedButReportFailure) {
    Fixture f(buildDialogTemplate(header(), {item(ID_UNUSED, ATOM_STATIC, TemplateField::ofText(u"a"), 1, 1),
                                             item(ID_UNUSED, ATOM_STATIC, TemplateField::ofText(u"b"), 2, 2),
                                             item(9, ATOM_STATIC, TemplateField::ofText(u"c"), 3, 3)}));
    RecordingDialog d;
    d.controls = {{ID_UNUSED, -1}, {9, -1}};
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, d, 7));
    EXPECT_EQ(d.moved.size(), 3u);
    // One such control is fine.
    Fixture one(
        buildDialogTemplate(header(), {item(ID_UNUSED, ATOM_STATIC, TemplateField::ofText(u"a"), 1, 1)}));
    RecordingDialog d1;
    d1.controls = {{ID_UNUSED, -1}};
    EXPECT_TRUE(applyDialogTemplateLayout(one.table, d1, 7));
}

TEST(DialogTemplateTest, MissingControlStopsThePlacingButEarlierMovesTakeEffect) {
    Fixture f(buildDialogTemplate(header(), {item(1, ATOM_STATIC, TemplateField::ofText(u"a"), 1, 1),
                                             item(2, ATOM_STATIC, TemplateField::ofText(u"b"), 2, 2),
                                             item(3, ATOM_STATIC, TemplateField::ofText(u"c"), 3, 3)}));
    RecordingDialog d;
    d.controls = {{1, -1}, {3, -1}};
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, d, 7));
    const std::vector<std::string> expected{"begin 3", "defer 1", "text 1 a", "end"};
    EXPECT_EQ(d.calls, expected);
    ASSERT_EQ(d.moved.size(), 1u);

    // A failed mapping stops the same way; a failed batch is given up without being ended.
    RecordingDialog mapFails;
    mapFails.controls = {{1, -1}, {2, -1}, {3, -1}};
    mapFails.failMap = true;
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, mapFails, 7));
    EXPECT_EQ(mapFails.calls, (std::vector<std::string>{"begin 3", "end"}));
    RecordingDialog deferFails;
    deferFails.controls = mapFails.controls;
    deferFails.failDefer = true;
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, deferFails, 7));
    EXPECT_EQ(deferFails.calls, (std::vector<std::string>{"begin 3", "defer 1"}));
    RecordingDialog endFails;
    endFails.controls = mapFails.controls;
    endFails.failEnd = true;
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, endFails, 7));
    EXPECT_EQ(endFails.moved.size(), 3u);
}

TEST(DialogTemplateTest, UnknownClassesAndNamedClassesArePlacedButNotRefreshed) {
    DialogItem named = item(2, 0, TemplateField::ofText(u"x"), 2, 2);
    named.windowClass = TemplateField::ofText(u"MyClass");
    DialogItem withData = item(3, 0x81, TemplateField::ofText(u"edit"), 3, 3); // Edit: not refreshed
    withData.creationData = {1, 2, 3, 4, 5};
    Fixture f(
        buildDialogTemplate(header(), {item(1, 0x84, TemplateField::ofText(u"scroll"), 1, 1), named, withData,
                                       item(4, ATOM_STATIC, TemplateField::ofOrdinal(5), 4, 4)}));
    RecordingDialog d;
    d.controls = {{1, -1}, {2, -1}, {3, -1}, {4, -1}};
    EXPECT_TRUE(applyDialogTemplateLayout(f.table, d, 7));
    // Item 4 was found after the creation data was skipped: an ordinal title without an image style is left.
    EXPECT_EQ(d.calls,
              (std::vector<std::string>{"begin 4", "defer 1", "defer 2", "defer 3", "defer 4", "end"}));
    ASSERT_EQ(d.moved.size(), 4u);
    EXPECT_EQ(d.moved[3].second, (DialogRect{8, 8, 28, 24}));
}

TEST(DialogTemplateTest, TemplateThatIsNotADialogFailsWithoutTouchingTheDialog) {
    Fixture f(buildDialogTemplate(header(), {item(1, ATOM_STATIC, TemplateField::ofText(u"a"), 1, 1)}));
    RecordingDialog d;
    d.controls = {{1, -1}};
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, d, 8));  // an icon resource
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, d, 99)); // no resource at all
    // The extended layout and a header cut short are not this layout either.
    std::vector<std::uint8_t> extended{0x01, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0,
                                       0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0};
    ResourceTable other(
        {{ResourceType::Dialog, 1, extended}, {ResourceType::Dialog, 2, std::span(f.bytes).first(10)}});
    EXPECT_FALSE(applyDialogTemplateLayout(other, d, 1));
    EXPECT_FALSE(applyDialogTemplateLayout(other, d, 2));
    EXPECT_TRUE(d.calls.empty());
    // A failed start of the batch also leaves it untouched.
    d.failBegin = true;
    EXPECT_FALSE(applyDialogTemplateLayout(f.table, d, 7));
    EXPECT_EQ(d.calls, (std::vector<std::string>{"begin 1"}));
}

TEST(DialogTemplateTest, TemplateCutShortInsideAnItemPlacesWhatCameBefore) {
    Fixture whole(buildDialogTemplate(header(), {item(1, ATOM_STATIC, TemplateField::ofText(u"a"), 1, 1),
                                                 item(2, ATOM_STATIC, TemplateField::ofText(u"b"), 2, 2)}));
    std::vector<std::uint8_t> cut(whole.bytes.begin(), whole.bytes.end() - 6);
    ResourceTable table({{ResourceType::Dialog, 7, cut}});
    RecordingDialog d;
    d.controls = {{1, -1}, {2, -1}};
    EXPECT_FALSE(applyDialogTemplateLayout(table, d, 7));
    EXPECT_EQ(d.calls, (std::vector<std::string>{"begin 2", "defer 1", "text 1 a", "end"}));
}

TEST(DialogTemplateTest, AboutTemplatesDifferOnlyInPlacesAndBothLayOutTheThreeStatics) {
    const ResourceTable& resources = applicationResources();
    for (const std::uint16_t id : {IDD_ABOUT_PORTRAIT, IDD_ABOUT_LANDSCAPE}) {
        RecordingDialog d;
        d.controls = {{IDC_ABOUT_ICON, -1}, {IDC_ABOUT_VERSION, -1}, {IDC_ABOUT_NOTICE, -1}};
        EXPECT_TRUE(applyDialogTemplateLayout(resources, d, id));
        ASSERT_EQ(d.moved.size(), 3u);
        EXPECT_EQ(d.moved[0].second, (DialogRect{24, 24, 64, 64}));
        EXPECT_EQ(d.calls[2], "icon 201 101");
        EXPECT_EQ(d.calls[4], "text 204 tavikWM Version X.X");
        const DialogRect version = d.moved[1].second;
        if (id == IDD_ABOUT_PORTRAIT)
            EXPECT_EQ(version, (DialogRect{24, 72, 24 + 274, 72 + 16}));
        else
            EXPECT_EQ(version, (DialogRect{96, 24, 96 + 310, 24 + 16}));
    }
    const auto portrait = resources.find(IDD_ABOUT_PORTRAIT, ResourceType::Dialog);
    const auto landscape = resources.find(IDD_ABOUT_LANDSCAPE, ResourceType::Dialog);
    ASSERT_TRUE(portrait && landscape);
    EXPECT_EQ(portrait->size(), landscape->size());
}

} // namespace
} // namespace tavik
