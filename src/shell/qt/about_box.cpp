#include "about_box.h"

#include "app_icon.h"
#include "app_resources.h"
#include "handoff.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace tavik {

namespace {

// The dialog font "MS UI Gothic" 9 pt, or its nearest desktop look-alike.
QFont dialogFont() {
    QFont font;
    static const QStringList wanted{"MS UI Gothic", "IPAPGothic", "IPAGothic", "VL PGothic",
                                    "Noto Sans CJK JP"};
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : wanted) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            font.setFamily(family);
            break;
        }
    }
    font.setPointSize(9);
    return font;
}

// MulDiv: a * b / c rounded to the nearest whole number.
int mulDiv(int a, int b, int c) {
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

QString fromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The icon shows in its real size: the 32 x 32 image.
constexpr int ICON_REAL_SIZE = 32;

} // namespace

AboutBox::AboutBox(ScreenPort& screen, QWidget* parent)
    : QWidget(parent), screen_(screen), dialogFont_(dialogFont()) {
    setAutoFillBackground(true);
    setFont(dialogFont_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* caption = new QWidget(this);
    caption->setAutoFillBackground(true);
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::Window, QColor(0x20, 0x30, 0x60));
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    caption->setPalette(captionPalette);
    auto* captionRow = new QHBoxLayout(caption);
    captionRow->setContentsMargins(6, 2, 2, 2);
    auto* title = new QLabel(fromUtf16(ABOUT_CAPTION), caption);
    captionRow->addWidget(title, 1);
    ok_ = new QPushButton(QStringLiteral("OK"), caption);
    ok_->setDefault(true);
    captionRow->addWidget(ok_);
    outer->addWidget(caption);

    client_ = new QWidget(this);
    outer->addWidget(client_, 1);
    for (const std::uint16_t id : {IDC_ABOUT_ICON, IDC_ABOUT_VERSION, IDC_ABOUT_NOTICE}) {
        auto* label = new QLabel(client_);
        label->setTextFormat(Qt::PlainText);
        controls_[id] = label;
    }
    connect(ok_, &QPushButton::clicked, this, [this] { close(); });
    setAttribute(Qt::WA_DeleteOnClose);
}

std::uint16_t AboutBox::templateForScreen() const {
    // A square screen takes the landscape template.
    return screen_.screenHeight() > screen_.screenWidth() ? IDD_ABOUT_PORTRAIT : IDD_ABOUT_LANDSCAPE;
}

void AboutBox::relayout() {
    lastLayoutResult_ = applyDialogTemplateLayout(applicationResources(), *this, templateForScreen());
    setControlText(IDC_ABOUT_VERSION, aboutVersionText());
}

QLabel* AboutBox::control(std::uint16_t id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

bool AboutBox::hasControl(std::uint16_t id) const {
    return controls_.count(id) != 0;
}

bool AboutBox::mapDialogRect(DialogRect& rect) const {
    // Dialog units: a quarter of the font's average character width, an eighth of its height.
    const QFontMetrics metrics(dialogFont_);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = mulDiv(metrics.horizontalAdvance(alphabet), 1, 52);
    const int baseY = metrics.height();
    rect = {mulDiv(rect.left, baseX, 4), mulDiv(rect.top, baseY, 8), mulDiv(rect.right, baseX, 4),
            mulDiv(rect.bottom, baseY, 8)};
    return true;
}

bool AboutBox::beginMoves(int count) {
    moves_.clear();
    moves_.reserve(static_cast<std::size_t>(std::max(count, 0)));
    return true;
}

bool AboutBox::deferMove(std::uint16_t id, const DialogRect& pixels) {
    if (!hasControl(id)) return false;
    moves_.emplace_back(id, pixels);
    return true;
}

bool AboutBox::endMoves() {
    for (const auto& [id, r] : moves_)
        controls_.at(id)->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    moves_.clear();
    return true;
}

void AboutBox::setControlText(std::uint16_t id, std::u16string_view text) {
    if (QLabel* label = control(id)) label->setText(fromUtf16(text));
}

void AboutBox::reloadImage(std::uint16_t id, ImageKind kind, std::uint16_t resource) {
    QLabel* label = control(id);
    // The application has one image resource, its icon; anything else fails to load and changes nothing.
    if (label == nullptr || kind != ImageKind::Icon || resource != IDI_APPLICATION_ICON) return;
    label->setPixmap(applicationIcon().pixmap(ICON_REAL_SIZE, ICON_REAL_SIZE));
    ++iconLoads_;
}

int AboutBox::currentSelection(std::uint16_t, ListKind) const {
    return -1;
}

void AboutBox::select(std::uint16_t, ListKind, int) {}

void AboutBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: close(); return;
    default: event->accept(); // nothing reaches the console behind the box
    }
}

void AboutBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
}

} // namespace tavik
