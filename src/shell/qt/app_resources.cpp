#include "app_resources.h"

namespace tavik {

namespace {

constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_EX_CAPTIONOKBTN = 0x80000000;
constexpr std::uint32_t ICON_STYLE = 0x50000803;    // WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE
constexpr std::uint32_t VERSION_STYLE = 0x50020080; // WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX
constexpr std::uint32_t NOTICE_STYLE = 0x50020000;  // WS_CHILD | WS_VISIBLE | WS_GROUP

DialogItem staticItem(std::uint16_t id, std::uint32_t style, TemplateField title, std::int16_t x,
                      std::int16_t y, std::int16_t cx, std::int16_t cy) {
    DialogItem item;
    item.style = style;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    item.windowClass = TemplateField::ofOrdinal(ATOM_STATIC);
    item.title = std::move(title);
    return item;
}

// The two templates differ only in sizes and places: in portrait the text stands under the icon, in
// landscape beside it.
std::vector<std::uint8_t> aboutTemplate(bool landscape) {
    DialogHeader header;
    header.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    header.extendedStyle = WS_EX_CAPTIONOKBTN;
    header.cx = landscape ? 210 : 156;
    header.cy = 129;
    header.caption = TemplateField::ofText(ABOUT_CAPTION);
    header.pointSize = 9;
    header.fontName = u"MS UI Gothic";
    const std::int16_t textX = landscape ? 48 : 12;
    const std::int16_t versionY = landscape ? 12 : 36;
    const std::int16_t noticeY = landscape ? 24 : 48;
    const std::int16_t textWidth = landscape ? 155 : 137;
    return buildDialogTemplate(
        header, {staticItem(IDC_ABOUT_ICON, ICON_STYLE, TemplateField::ofOrdinal(IDI_APPLICATION_ICON), 12,
                            12, 20, 20),
                 staticItem(IDC_ABOUT_VERSION, VERSION_STYLE, TemplateField::ofText(u"tavikWM Version X.X"),
                            textX, versionY, textWidth, 8),
                 staticItem(IDC_ABOUT_NOTICE, NOTICE_STYLE, TemplateField::ofText(ABOUT_NOTICE), textX,
                            noticeY, textWidth, 8)});
}

} // namespace

const ResourceTable& applicationResources() {
    static const std::vector<std::uint8_t> portrait = aboutTemplate(false);
    static const std::vector<std::uint8_t> landscape = aboutTemplate(true);
    static const ResourceTable table({{ResourceType::Icon, IDI_APPLICATION_ICON, {}},
                                      {ResourceType::Dialog, IDD_ABOUT_PORTRAIT, portrait},
                                      {ResourceType::Dialog, IDD_ABOUT_LANDSCAPE, landscape}});
    return table;
}

} // namespace tavik
