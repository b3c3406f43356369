#pragma once
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "app/FleetDialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace kv::ui {

// The network printers' window over the fleet logic: targets and port,
// Scan, the image line, a table with a check box per printer, its progress
// bar, phase and verdict in the main window's colours, columns as wide as
// their texts, the printers that may be left in flash mode with the advice
// and Copy Addresses, the summary, Flash Selected and Stop. Space toggles
// the current row, Ctrl+A checks every printer the image suits; a row's
// context menu copies its detail or opens the History table of its
// printer. It opens tall enough for kFleetDefaultRows rows where the
// screen allows, or at the size it was left at. Every text from a device is
// plain text. UI thread only.
class QtFleetWindow final : public QDialog, private FleetWindowHost {
    Q_OBJECT

public:
    // The table's columns: the check box, then the fleet's columns.
    static constexpr int kCheckColumn = 0;
    static constexpr int kColumnCount = kFleetColumnCount + 1;
    static int columnOf(FleetColumn column) { return static_cast<int>(column) + 1; }

    QtFleetWindow(Context& ctx, std::function<platform::Clock&(size_t)> clockFor,
                  QWidget* parent = nullptr);
    ~QtFleetWindow() override;

    FleetDialog& logic() { return logic_; }
    QTableWidget* table() const { return table_; }
    // Nothing while the row has no progress to show.
    QProgressBar* progress(int row) const;
    QLabel* summary() const { return summary_; }
    QLabel* unreachable() const { return unreachable_; }
    QLabel* imageLine() const { return imageLine_; }
    QLabel* flashModeAdvice() const { return advice_; }
    QPushButton* copyAddressesButton() const { return copyAddresses_; }
    QPushButton* scanButton() const { return scan_; }
    QPushButton* flashButton() const { return flash_; }
    QPushButton* stopButton() const { return stop_; }
    QLineEdit* targetsEdit() const { return targets_; }

    // Opens the window, or brings it to the front.
    void present();
    // The size that shows kFleetDefaultRows rows and every column at its
    // widest sample, whatever the screen.
    QSize defaultSize();
    // Escape and the close button ask the logic, as the close box does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void draw(const FleetPicture& picture) override;
    void startTimer(unsigned intervalMs) override;
    void stopTimer() override;
    void drawRow(int row, const FleetRow& r);
    void showHistory(const HistoryView& view) override;
    void showRowMenu(const QPoint& at);
    int fittedWidth(int column) const;
    void fitColumns();

    QLineEdit* targets_ = nullptr;
    QLineEdit* port_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* selectFile_ = nullptr;
    QLabel* imageLine_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* unreachable_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* advice_ = nullptr;
    QPushButton* copyAddresses_ = nullptr;
    // Each column's least width: its widest sample text.
    std::array<int, kColumnCount> sampleWidths_{};
    QPushButton* flash_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* timer_ = nullptr;
    bool drawing_ = false;
    bool opened_ = false;
    FleetDialog logic_;
};

}  // namespace kv::ui
