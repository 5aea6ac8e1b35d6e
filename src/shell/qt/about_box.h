#pragma once
// The About box: it covers the whole window (the device's screen), shows the icon, the name and version and
// a notice, and has its OK button in its caption. Whenever its size changes it takes its controls' places
// from template 105 on a portrait screen and 106 on a landscape (or square) one.
#include "dialog_template.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

#include <map>
#include <vector>

class QPushButton;

namespace tavik {

class ScreenPort;

class AboutBox final : public QWidget, public DialogSurface {
  public:
    AboutBox(ScreenPort& screen, QWidget* parent);

    // The template the current screen shape asks for.
    std::uint16_t templateForScreen() const;
    // Lays the controls out for the screen's shape and sets the version text (the layout puts the
    // template's text back).
    void relayout();

    QLabel* control(std::uint16_t id) const;
    QPushButton* okButton() const { return ok_; }
    int iconLoads() const { return iconLoads_; }
    bool lastLayoutResult() const { return lastLayoutResult_; }

    // --- DialogSurface ---
    bool hasControl(std::uint16_t id) const override;
    bool mapDialogRect(DialogRect& rect) const override;
    bool beginMoves(int count) override;
    bool deferMove(std::uint16_t id, const DialogRect& pixels) override;
    bool endMoves() override;
    void setControlText(std::uint16_t id, std::u16string_view text) override;
    void reloadImage(std::uint16_t id, ImageKind kind, std::uint16_t resource) override;
    int currentSelection(std::uint16_t id, ListKind kind) const override;
    void select(std::uint16_t id, ListKind kind, int index) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    ScreenPort& screen_;
    QWidget* client_;
    QPushButton* ok_;
    QFont dialogFont_;
    std::map<std::uint16_t, QLabel*> controls_;
    std::vector<std::pair<std::uint16_t, DialogRect>> moves_;
    int iconLoads_ = 0;
    bool lastLayoutResult_ = false;
};

} // namespace tavik
