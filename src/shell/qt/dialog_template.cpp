#include "dialog_template.h"

namespace tavik {

namespace {

// Reads little-endian words from a template; a read past the end marks the reader failed and yields 0.
class TemplateReader {
  public:
    explicit TemplateReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t position() const { return position_; }
    void moveTo(std::size_t position) {
        if (position > bytes_.size()) ok_ = false;
        position_ = position;
    }
    // Items start on 4-byte boundaries of the template.
    void alignToDword() { moveTo((position_ + 3) & ~std::size_t{3}); }

    std::uint16_t word() {
        if (!ok_ || position_ + 2 > bytes_.size()) {
            ok_ = false;
            return 0;
        }
        const auto value = static_cast<std::uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
        position_ += 2;
        return value;
    }
    std::uint32_t dword() {
        const std::uint32_t low = word();
        return low | (std::uint32_t{word()} << 16);
    }
    std::int16_t shortValue() { return static_cast<std::int16_t>(word()); }

    // 0xFFFF and an ordinal, or a string up to its 0 unit.
    TemplateField field() {
        TemplateField f;
        const std::uint16_t first = word();
        if (first == 0xFFFF) {
            f.isOrdinal = true;
            f.ordinal = word();
            return f;
        }
        for (std::uint16_t unit = first; ok_ && unit != 0; unit = word()) f.text.push_back(unit);
        return f;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

class TemplateWriter {
  public:
    void word(std::uint16_t value) {
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void dword(std::uint32_t value) {
        word(static_cast<std::uint16_t>(value & 0xFFFF));
        word(static_cast<std::uint16_t>(value >> 16));
    }
    void text(std::u16string_view value) {
        for (const char16_t unit : value) word(unit);
        word(0);
    }
    void field(const TemplateField& f) {
        if (f.isOrdinal) {
            word(0xFFFF);
            word(f.ordinal);
        } else {
            text(f.text);
        }
    }
    void alignToDword() {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
    }

    std::vector<std::uint8_t> bytes;
};

// The fixed part of a header: style, extended style, item count, x, y, cx, cy.
constexpr std::size_t HEADER_FIXED_BYTES = 18;

// The extended template layout starts with version 1 and the signature 0xFFFF; this reader does not take it.
bool isExtendedTemplate(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
}

} // namespace

std::vector<std::uint8_t> buildDialogTemplate(const DialogHeader& header,
                                              const std::vector<DialogItem>& items) {
    TemplateWriter w;
    w.dword(header.style);
    w.dword(header.extendedStyle);
    w.word(static_cast<std::uint16_t>(items.size()));
    w.word(static_cast<std::uint16_t>(header.x));
    w.word(static_cast<std::uint16_t>(header.y));
    w.word(static_cast<std::uint16_t>(header.cx));
    w.word(static_cast<std::uint16_t>(header.cy));
    w.field(header.menu);
    w.field(header.windowClass);
    w.field(header.caption);
    if (header.style & DS_SETFONT) {
        w.word(header.pointSize);
        w.text(header.fontName);
    }
    for (const DialogItem& item : items) {
        w.alignToDword();
        w.dword(item.style);
        w.dword(item.extendedStyle);
        w.word(static_cast<std::uint16_t>(item.x));
        w.word(static_cast<std::uint16_t>(item.y));
        w.word(static_cast<std::uint16_t>(item.cx));
        w.word(static_cast<std::uint16_t>(item.cy));
        w.word(item.id);
        w.field(item.windowClass);
        w.field(item.title);
        if (item.creationData.empty()) {
            w.word(0);
        } else {
            w.word(static_cast<std::uint16_t>(item.creationData.size() + 2));
            w.bytes.insert(w.bytes.end(), item.creationData.begin(), item.creationData.end());
        }
    }
    return std::move(w.bytes);
}

std::optional<std::span<const std::uint8_t>> ResourceTable::find(std::uint16_t id, ResourceType type) const {
    for (const Resource& r : resources_)
        if (r.id == id && r.type == type) return r.bytes;
    return std::nullopt;
}

bool applyDialogTemplateLayout(const ResourceTable& resources, DialogSurface& dialog,
                               std::uint16_t templateId) {
    const auto found = resources.find(templateId, ResourceType::Dialog);
    if (!found || found->size() < HEADER_FIXED_BYTES || isExtendedTemplate(*found)) return false;

    TemplateReader in(*found);
    const std::uint32_t dialogStyle = in.dword();
    (void)in.dword(); // extended style
    const int count = in.word();
    in.moveTo(HEADER_FIXED_BYTES);
    if (!dialog.beginMoves(count)) return false;

    (void)in.field(); // menu
    (void)in.field(); // class
    (void)in.field(); // caption
    if (dialogStyle & DS_SETFONT) {
        (void)in.word(); // point size
        (void)in.field();
    }

    bool result = in.ok();
    int unusedIds = 0;
    for (int i = 0; result && i < count; ++i) {
        in.alignToDword();
        DialogItem item;
        item.style = in.dword();
        item.extendedStyle = in.dword();
        item.x = in.shortValue();
        item.y = in.shortValue();
        item.cx = in.shortValue();
        item.cy = in.shortValue();
        item.id = in.word();
        item.windowClass = in.field();
        item.title = in.field();
        const std::size_t sizeWord = in.position();
        const std::uint16_t extra = in.word();
        // A template cut short is as good as a control that cannot be found: nothing more is placed.
        if (!in.ok()) {
            result = false;
            break;
        }
        in.moveTo(sizeWord + (extra != 0 ? extra : 2));

        if (!dialog.hasControl(item.id)) {
            result = false;
            break;
        }
        DialogRect rect{item.x, item.y, item.x + item.cx, item.y + item.cy};
        if (!dialog.mapDialogRect(rect)) {
            result = false;
            break;
        }
        // A batch that failed is given up whole: it is not ended, and nothing more is placed.
        if (!dialog.deferMove(item.id, rect)) return false;
        refreshControlFromTemplate(dialog, item);
        if (item.id == ID_UNUSED) ++unusedIds;
    }
    if (!dialog.endMoves()) result = false;
    if (unusedIds >= 2) return false;
    return result;
}

void refreshControlFromTemplate(DialogSurface& dialog, const DialogItem& item) {
    if (!item.windowClass.isOrdinal) return;
    switch (item.windowClass.ordinal) {
    case ATOM_BUTTON:
    case ATOM_STATIC:
        if (!item.title.isOrdinal) {
            dialog.setControlText(item.id, item.title.text);
        } else if ((item.style & 3) == SS_ICON) {
            dialog.reloadImage(item.id, ImageKind::Icon, item.title.ordinal);
        } else if ((item.style & 0xE) == SS_BITMAP) {
            dialog.reloadImage(item.id, ImageKind::Bitmap, item.title.ordinal);
        }
        break;
    case ATOM_LISTBOX:
    case ATOM_COMBOBOX: {
        const ListKind kind =
            item.windowClass.ordinal == ATOM_LISTBOX ? ListKind::ListBox : ListKind::ComboBox;
        const int selection = dialog.currentSelection(item.id, kind);
        if (selection != -1) dialog.select(item.id, kind, selection);
        break;
    }
    default: break;
    }
}

} // namespace tavik
