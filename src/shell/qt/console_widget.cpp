#include "console_widget.h"

#include "console.h"
#include "key_map.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <mutex>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// One screen refresh at 60 Hz, less a little.
constexpr int FLUSH_INTERVAL_MS = 15;

const QEvent::Type RepaintEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type BeepEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

ConsoleWidget::ConsoleWidget(Console& console, WindowView& view, KeyboardSink& keyboard, QWidget* parent)
    : QWidget(parent), console_(console), view_(view), keyboard_(keyboard) {
    // Every pixel comes from the image: nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    flushTimer_.setSingleShot(true);
    connect(&flushTimer_, &QTimer::timeout, this, [this] { flush(); });
}

void ConsoleWidget::requestRepaint() {
    if (!repaintPosted_.exchange(true)) QCoreApplication::postEvent(this, new QEvent(RepaintEvent));
}

void ConsoleWidget::requestBeep() {
    QCoreApplication::postEvent(this, new QEvent(BeepEvent));
}

void ConsoleWidget::requestCursorUpdate() {
    // The input method hears of the cursor with the next repaint: a printing program moves the cursor at
    // every character, and each question the input method asks back takes the console's lock.
    cursorMoved_.store(true);
    requestRepaint();
}

void ConsoleWidget::followPixelRatio() {
    const qreal ratio = devicePixelRatioF();
    if (ratio == seenPixelRatio_) return;
    seenPixelRatio_ = ratio;
    Guard guard(console_.lock());
    view_.setDevicePixelRatio(ratio);
}

void ConsoleWidget::flush() {
    // Requests from now on need a flush of their own.
    repaintPosted_.store(false);
    followPixelRatio();
    QRect changed;
    {
        Guard guard(console_.lock());
        changed = view_.toLogical(view_.bringUpToDate());
    }
    sinceFlush_.start();
    if (!changed.isEmpty()) update(changed);
    if (cursorMoved_.exchange(false) && hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
}

bool ConsoleWidget::event(QEvent* event) {
    if (event->type() == RepaintEvent) {
        // Until the flush, further requests post nothing: the flush will draw what they changed.
        if (flushTimer_.isActive()) return true;
        const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : FLUSH_INTERVAL_MS;
        if (since >= FLUSH_INTERVAL_MS)
            flush();
        else
            flushTimer_.start(static_cast<int>(FLUSH_INTERVAL_MS - since));
        return true;
    }
    if (event->type() == BeepEvent) {
        QApplication::beep();
        return true;
    }
    return QWidget::event(event);
}

void ConsoleWidget::paintEvent(QPaintEvent* event) {
    followPixelRatio();
    QPainter painter(this);
    QRect changed;
    {
        Guard guard(console_.lock());
        changed = view_.toLogical(view_.bringUpToDate());
        const QRect r = event->rect();
        const double ratio = view_.devicePixelRatio();
        // One image pixel to each device pixel: the image was drawn at the screen's density.
        painter.drawImage(QRectF(r), view_.image(),
                          QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
    }
    // What changed outside this paint's area is painted by a paint of its own.
    if (!changed.isEmpty() && !event->region().contains(changed)) update(changed);
}

void ConsoleWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    {
        Guard guard(console_.lock());
        const QWidget* top = window();
        view_.setGeometry(top->width(), top->height(), width(), height());
    }
    // The input method's window follows the cursor, which moved with the grid.
    requestCursorUpdate();
}

void ConsoleWidget::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Insert && held == Qt::ShiftModifier) ||
        (event->key() == Qt::Key_V && held == (Qt::ControlModifier | Qt::ShiftModifier))) {
        keyboard_.paste();
        return;
    }
    const KeyStroke stroke = translateKey(event->key(), event->modifiers(), event->text());
    if (stroke.controlOnly && stroke.virtualKey != 0 && keyboard_.accelerator(stroke.virtualKey)) return;
    if (stroke.virtualKey != 0) keyboard_.keyDown(stroke.virtualKey);
    for (const char16_t unit : stroke.units) keyboard_.character(unit);
}

void ConsoleWidget::keyReleaseEvent(QKeyEvent* event) {
    // A key held down repeats as release and press pairs; it stays down until it is really let go.
    if (event->isAutoRepeat()) return;
    const int vk = virtualKeyOf(event->key(), event->modifiers());
    if (vk != 0) keyboard_.keyUp(vk);
}

void ConsoleWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    keyboard_.focusLost();
}

void ConsoleWidget::inputMethodEvent(QInputMethodEvent* event) {
    // Only what the input method commits is typed; its composition is shown in its own window.
    const QString commit = event->commitString();
    for (const QChar c : commit) keyboard_.character(c.unicode());
    event->accept();
}

bool ConsoleWidget::focusNextPrevChild(bool) {
    // Tab is a key of the console, not a move to the next widget.
    return false;
}

void ConsoleWidget::mousePressEvent(QMouseEvent* event) {
    // A tap on a touch screen arrives as this press too.
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    keyboard_.pressed(at.x(), at.y());
}

QRect ConsoleWidget::cursorCellRect() const {
    Guard guard(console_.lock());
    return view_.cellRect(console_.screen().cursorColumn, console_.screen().cursorRow);
}

QVariant ConsoleWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle: return cursorCellRect();
    case Qt::ImFont: {
        Guard guard(console_.lock());
        return consoleFont(console_.screen().fontHeight);
    }
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition: return 0;
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection: return QString();
    case Qt::ImHints: return static_cast<int>(Qt::ImhNone);
    default: return QWidget::inputMethodQuery(query);
    }
}

} // namespace tavik
