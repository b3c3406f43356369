#include "ui/qt/QtFleetWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt/AppIcons.h"
#include "ui/qt/QtText.h"
#include "ui/template/FlashLines.h"

namespace kv::ui {

namespace {

QLabel* plainLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    // Device data shows as typed, never as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A tooltip is taken as markup when it looks like some: the detail goes in
// escaped, inside a paragraph that keeps its line breaks.
QString plainToolTip(const std::string& text) {
    if (text.empty()) return {};
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + toQtLines(text).toHtmlEscaped() +
           QStringLiteral("</p>");
}

}  // namespace

QtFleetWindow::QtFleetWindow(Context& ctx, std::function<platform::Clock&(size_t)> clockFor,
                             QWidget* parent)
    : QDialog(parent), logic_(ctx, *this, std::move(clockFor)) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    setWindowTitle(toQt(kFleetCaption));
    setWindowIcon(dialogIcon());
    setObjectName(QStringLiteral("fleetWindow"));

    targets_ = new QLineEdit(this);
    targets_->setObjectName(QStringLiteral("fleetTargets"));
    targets_->setPlaceholderText(QStringLiteral("192.168.0.10-40 10.1.2.0/24 @printers.txt"));
    port_ = new QLineEdit(this);
    port_->setObjectName(QStringLiteral("fleetPort"));
    port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) * 2);
    scan_ = new QPushButton(QStringLiteral("Scan"), this);
    selectFile_ = new QPushButton(QStringLiteral("Select Firmware File"), this);
    imageLine_ = plainLabel(this);
    imageLine_->setObjectName(QStringLiteral("fleetImage"));

    table_ = new QTableWidget(0, kColumnCount, this);
    table_->setObjectName(QStringLiteral("fleetTable"));
    QStringList titles{QString()};
    for (int c = 0; c < kFleetColumnCount; ++c) {
        titles << toQt(fleetColumnTitle(static_cast<FleetColumn>(c)));
    }
    table_->setHorizontalHeaderLabels(titles);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab goes on to the buttons; the arrows move between rows.
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(900, 300);
    table_->installEventFilter(this);
    unreachable_ = plainLabel(this);
    unreachable_->setObjectName(QStringLiteral("fleetUnreachable"));
    summary_ = plainLabel(this);
    summary_->setObjectName(QStringLiteral("fleetSummary"));
    flash_ = new QPushButton(QStringLiteral("Flash Selected"), this);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    close_ = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {scan_, selectFile_, flash_, stop_, close_}) b->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Printers:"), this));
    top->addWidget(targets_, 1);
    top->addWidget(new QLabel(QStringLiteral("Port:"), this));
    top->addWidget(port_);
    top->addWidget(scan_);
    auto* image = new QHBoxLayout;
    image->addWidget(selectFile_);
    image->addWidget(imageLine_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(summary_, 1);
    bottom->addWidget(flash_);
    bottom->addWidget(stop_);
    bottom->addWidget(close_);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(image);
    all->addWidget(table_, 1);
    all->addWidget(unreachable_);
    all->addLayout(bottom);
    // Tab: the fields, Scan, the image, the table, then the buttons.
    setTabOrder(targets_, port_);
    setTabOrder(port_, scan_);
    setTabOrder(scan_, selectFile_);
    setTabOrder(selectFile_, table_);
    setTabOrder(table_, flash_);
    setTabOrder(flash_, stop_);
    setTabOrder(stop_, close_);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { logic_.onTimer(); });
    connect(targets_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.onTargetsEdited(fromQt(t)); });
    connect(port_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.onPortEdited(fromQt(t)); });
    connect(scan_, &QPushButton::clicked, this, [this] { logic_.onScan(); });
    connect(selectFile_, &QPushButton::clicked, this, [this] { logic_.onSelectFile(); });
    connect(flash_, &QPushButton::clicked, this, [this] { logic_.onFlashSelected(); });
    connect(stop_, &QPushButton::clicked, this, [this] { logic_.onStop(); });
    connect(close_, &QPushButton::clicked, this, [this] { reject(); });
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (drawing_ || item->column() != kCheckColumn) return;
        logic_.onToggle(static_cast<size_t>(item->row()), item->checkState() == Qt::Checked);
    });
    connect(table_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showRowMenu(at); });
}

QtFleetWindow::~QtFleetWindow() = default;

void QtFleetWindow::present() {
    if (!opened_) {
        opened_ = true;
        logic_.onOpen();
    }
    show();
    raise();
    activateWindow();
}

QProgressBar* QtFleetWindow::progress(int row) const {
    return qobject_cast<QProgressBar*>(table_->cellWidget(row, columnOf(FleetColumn::Progress)));
}

void QtFleetWindow::startTimer(unsigned intervalMs) { timer_->start(static_cast<int>(intervalMs)); }

void QtFleetWindow::stopTimer() { timer_->stop(); }

void QtFleetWindow::draw(const FleetPicture& p) {
    drawing_ = true;
    if (!targets_->hasFocus() || targets_->text().isEmpty()) targets_->setText(toQt(p.targets));
    if (!port_->hasFocus() || port_->text().isEmpty()) port_->setText(toQt(p.port));
    imageLine_->setText(p.image ? toQt(ui::imageLine(*p.image)) : QString());
    const bool busy = p.scanning || p.flashing;
    targets_->setEnabled(!busy);
    port_->setEnabled(!busy);
    scan_->setEnabled(!busy);
    selectFile_->setEnabled(!p.flashing);
    flash_->setEnabled(!busy && p.image && !p.rows.empty());
    stop_->setEnabled(p.stopEnabled());
    stop_->setText(QString::fromLatin1(p.stopCaption()));
    table_->setRowCount(static_cast<int>(p.rows.size()));
    for (size_t i = 0; i < p.rows.size(); ++i) drawRow(static_cast<int>(i), p.rows[i]);
    unreachable_->setText(toQt(p.unreachable));
    summary_->setText(toQt(p.summary));
    drawing_ = false;
}

void QtFleetWindow::drawRow(int row, const FleetRow& r) {
    const QString tip = plainToolTip(r.detail);
    for (int c = 0; c < kColumnCount; ++c) {
        QTableWidgetItem* item = table_->item(row, c);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table_->setItem(row, c, item);
        }
        const auto column = static_cast<FleetColumn>(c - 1);
        // The bar shows the progress' text.
        if (c != kCheckColumn && column != FleetColumn::Progress) {
            item->setText(toQt(fleetCell(r, column)));
        }
        item->setToolTip(tip);
    }
    QTableWidgetItem* check = table_->item(row, kCheckColumn);
    check->setFlags(r.suits ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                            : Qt::ItemIsSelectable);
    check->setCheckState(r.checked ? Qt::Checked : Qt::Unchecked);
    QTableWidgetItem* phase = table_->item(row, columnOf(FleetColumn::Phase));
    if (r.verdict) {
        const Rgb colour = verdictColour(*r.verdict);
        phase->setForeground(QColor(colour.red, colour.green, colour.blue));
    } else {
        phase->setForeground(palette().color(QPalette::Text));
    }
    QFont font = phase->font();
    font.setBold(r.verdict.has_value());
    phase->setFont(font);

    QProgressBar* bar = progress(row);
    // A row with nothing to show has no bar: the view shows its cell widgets
    // again whenever it lays them out, a hidden one too (as a busy bar).
    if (r.progressMaximum == 0) {
        if (bar) {
            // Deleted later: out of sight now.
            bar->hide();
            table_->removeCellWidget(row, columnOf(FleetColumn::Progress));
        }
        return;
    }
    if (!bar) {
        bar = new QProgressBar;
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setTextVisible(true);
        table_->setCellWidget(row, columnOf(FleetColumn::Progress), bar);
    }
    bar->setRange(0, static_cast<int>(std::min<uint64_t>(r.progressMaximum, INT32_MAX)));
    bar->setValue(static_cast<int>(std::min(r.progressValue, r.progressMaximum)));
    QString format = toQt(r.progressText);
    format.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bar->setFormat(format);
}

void QtFleetWindow::showRowMenu(const QPoint& at) {
    const QModelIndex index = table_->indexAt(at);
    if (!index.isValid()) return;
    const size_t row = static_cast<size_t>(index.row());
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Copy Detail"));
    QAction* history = menu.addAction(QStringLiteral("Show History"));
    QAction* chosen = menu.exec(table_->viewport()->mapToGlobal(at));
    if (chosen == copy) {
        QApplication::clipboard()->setText(toQtLines(logic_.detailOf(row)));
    } else if (chosen == history) {
        logic_.onShowHistory(row);
    }
}

bool QtFleetWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            logic_.onSelectAllCompatible();
            return true;
        }
        const int row = table_->currentRow();
        if (key->key() == Qt::Key_Space && row >= 0) {
            const auto rowIndex = static_cast<size_t>(row);
            if (rowIndex < logic_.picture().rows.size()) {
                logic_.onToggle(rowIndex, !logic_.picture().rows[rowIndex].checked);
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QtFleetWindow::reject() {
    if (logic_.onClose()) QDialog::reject();
}

void QtFleetWindow::closeEvent(QCloseEvent* event) {
    if (logic_.onClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace kv::ui
