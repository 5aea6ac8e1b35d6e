#pragma once
// Dialog templates in the handheld platform's binary layout (a header, then DWORD-aligned items), the
// application's resources that hold them, and the re-layout that moves a dialog's controls to the places an
// alternative template gives (one template for portrait, one for landscape). The dialog itself is reached
// through DialogSurface, so the reader knows no window system.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavik {

// Style bits and control classes the reader looks at.
constexpr std::uint32_t DS_SETFONT = 0x40;
constexpr std::uint32_t SS_ICON = 0x3;
constexpr std::uint32_t SS_BITMAP = 0xE;
constexpr std::uint16_t ATOM_BUTTON = 0x80;
constexpr std::uint16_t ATOM_STATIC = 0x82;
constexpr std::uint16_t ATOM_LISTBOX = 0x83;
constexpr std::uint16_t ATOM_COMBOBOX = 0x85;
constexpr std::uint16_t ID_UNUSED = 0xFFFF;

// A field that is either a 16-bit ordinal (written 0xFFFF, ordinal) or a NUL-terminated UTF-16 string.
struct TemplateField {
    bool isOrdinal = false;
    std::uint16_t ordinal = 0;
    std::u16string text;

    static TemplateField ofOrdinal(std::uint16_t value) { return {true, value, {}}; }
    static TemplateField ofText(std::u16string_view value) { return {false, 0, std::u16string(value)}; }
};

struct DialogItem {
    std::uint32_t style = 0;
    std::uint32_t extendedStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint16_t id = 0;
    TemplateField windowClass;
    TemplateField title;
    // Bytes of creation data after the size word (written as that size plus the word's own 2).
    std::vector<std::uint8_t> creationData;
};

struct DialogHeader {
    std::uint32_t style = 0;
    std::uint32_t extendedStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    TemplateField menu;
    TemplateField windowClass;
    TemplateField caption;
    std::uint16_t pointSize = 0;
    std::u16string fontName;
};

// Writes a template in the binary layout: the header, then each item on a 4-byte boundary.
std::vector<std::uint8_t> buildDialogTemplate(const DialogHeader& header,
                                              const std::vector<DialogItem>& items);

// A dialog rectangle: in dialog units before mapping, in pixels after.
struct DialogRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const DialogRect&) const = default;
};

enum class ImageKind { Icon, Bitmap };
enum class ListKind { ListBox, ComboBox };

// The dialog the re-layout works on; each member stands for the platform call named beside it.
class DialogSurface {
  public:
    virtual ~DialogSurface() = default;
    virtual bool hasControl(std::uint16_t id) const = 0; // GetDlgItem
    // MapDialogRect: dialog units to pixels in place; false when it fails.
    virtual bool mapDialogRect(DialogRect& rect) const = 0;
    virtual bool beginMoves(int count) = 0;                                 // BeginDeferWindowPos
    virtual bool deferMove(std::uint16_t id, const DialogRect& pixels) = 0; // DeferWindowPos, false: given up
    virtual bool endMoves() = 0;                                            // EndDeferWindowPos
    virtual void setControlText(std::uint16_t id, std::u16string_view text) = 0; // SetDlgItemTextW
    // STM_GETIMAGE, LoadIconW/LoadBitmapW, STM_SETIMAGE, DestroyIcon/DeleteObject: the image resource is
    // loaded; when it loads, it replaces the control's image and the old image is released.
    virtual void reloadImage(std::uint16_t id, ImageKind kind, std::uint16_t resource) = 0;
    // LB_GETCURSEL/CB_GETCURSEL (-1: none) and LB_SETCURSEL/CB_SETCURSEL.
    virtual int currentSelection(std::uint16_t id, ListKind kind) const = 0;
    virtual void select(std::uint16_t id, ListKind kind, int index) = 0;
};

enum class ResourceType { Dialog, Icon };

struct Resource {
    ResourceType type;
    std::uint16_t id;
    std::span<const std::uint8_t> bytes;
};

// FindResourceW and LoadResource over a fixed table.
class ResourceTable {
  public:
    explicit ResourceTable(std::vector<Resource> resources) : resources_(std::move(resources)) {}
    std::optional<std::span<const std::uint8_t>> find(std::uint16_t id, ResourceType type) const;

  private:
    std::vector<Resource> resources_;
};

// Moves and refreshes the dialog's controls as the template says. True on full success; false when the
// template is not a dialog resource (nothing touched), when a control is missing or cannot be placed
// (the moves before it still take effect), or when two or more placed items have the id 0xFFFF.
bool applyDialogTemplateLayout(const ResourceTable& resources, DialogSurface& dialog,
                               std::uint16_t templateId);

// Puts a control's template content back: the title text of a button or static, the image of an icon or
// bitmap static, the selection of a list or combo box. Other classes, and classes given by name, are left.
void refreshControlFromTemplate(DialogSurface& dialog, const DialogItem& item);

} // namespace tavik
