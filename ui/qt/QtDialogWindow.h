#pragma once
#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/DialogEvents.h"
#include "platform/DialogControls.h"
#include "ui/template/DialogTemplate.h"
#include "ui/qt/TransferProgress.h"

class QProgressBar;

namespace kv::ui {

// The main dialog as a Qt window: every item of the dialog template at its
// place, converted from dialog units by the window font's metrics, plus the
// transfer progress bar under the two program lines. Clicks, edits, the
// option list, Escape and the close box go to the attached DialogEvents.
// The window closes only through finish(); its methods run on the UI thread.
class QtDialogWindow final : public QDialog {
    Q_OBJECT

public:
    explicit QtDialogWindow(QWidget* parent = nullptr);
    ~QtDialogWindow() override;

    // Events go nowhere until attached; nullptr detaches.
    void attach(DialogEvents* events) { events_ = events; }

    void applyText(platform::Control control, const std::string& text);
    void applyEnabled(platform::Control control, bool enabled);
    void applyHeld(platform::Control control, bool held);
    void applyVisible(platform::Control control, bool visible);
    void applyProgress(const platform::TransferProgress& progress);
    void applyImageFacts(const std::optional<platform::ImageFacts>& facts);
    // The verdict in its colour on the verification line.
    void applyVerification(const std::optional<platform::Verification>& verification);
    void forwardTimer(int id);

    // Ends the dialog with this result: hides the window and leaves exec().
    void finish(int result);
    bool finished() const { return finished_; }
    int finishResult() const { return finishResult_; }
    // Gives the focus to the first control that takes it by Tab, as a dialog
    // does when it opens.
    void focusFirstControl();

    // The widget of a template item, by its index in mainDialogItems().
    QWidget* item(std::size_t index) const { return items_.at(index); }
    QWidget* control(platform::Control control) const;
    QProgressBar* transferProgress() const { return progress_; }

    // Escape (and the dialog's own reject) becomes the cancel command.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* createItem(const DialogItem& item);
    void forwardCommand(int id);
    void updateProgress();
    QRect toPixels(const DialogRect& rect) const;

    DialogEvents* events_ = nullptr;
    BaseUnits base_{};
    std::vector<QWidget*> items_;
    QProgressBar* progress_ = nullptr;
    TransferProgress tracker_;
    // Per control: shown disabled by applyHeld, and its own state meanwhile.
    std::array<bool, platform::kControlCount> held_{};
    std::array<bool, platform::kControlCount> wanted_{};
    bool finished_ = false;
    int finishResult_ = 0;
};

}  // namespace kv::ui
