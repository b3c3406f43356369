#include "ui/qt/HistoryWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/HistoryTable.h"
#include "ui/qt/QtText.h"
#include "ui/template/FlashLines.h"

namespace kv::ui {

namespace {

QVariant sortValue(const HistorySortKey& key) {
    if (const auto* time = std::get_if<int64_t>(&key)) return QVariant::fromValue<qint64>(*time);
    if (const auto* count = std::get_if<uint64_t>(&key)) {
        return QVariant::fromValue<quint64>(*count);
    }
    return toQt(std::get<std::string>(key));
}

QLabel* plainLabel(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(toQtLines(text).trimmed());
    label->setVisible(!label->text().isEmpty());
    return label;
}

QList<QStandardItem*> itemsOf(const HistoryRow& row) {
    QList<QStandardItem*> items;
    for (size_t c = 0; c < kHistoryColumnCount; ++c) {
        auto* item = new QStandardItem(toQt(row.cells[c].text));
        item->setData(sortValue(row.cells[c].key), Qt::UserRole);
        item->setEditable(false);
        if (row.interrupted) {
            QFont font = item->font();
            font.setItalic(true);
            item->setFont(font);
        }
        items.append(item);
    }
    const Rgb colour = toneColour(row.tone);
    items[static_cast<int>(HistoryColumn::Outcome)]->setForeground(
        QColor(colour.red, colour.green, colour.blue));
    return items;
}

}  // namespace

HistoryWindow::HistoryWindow(const HistoryView& view, QWidget* parent)
    : QDialog(parent), table_(new QTableView(this)), model_(new QStandardItemModel(this)) {
    setObjectName(QStringLiteral("history"));
    setWindowTitle(toQt(kHistoryCaption));
    QStringList titles;
    for (size_t c = 0; c < kHistoryColumnCount; ++c) {
        titles << toQt(historyColumnTitle(static_cast<HistoryColumn>(c)));
    }
    model_->setHorizontalHeaderLabels(titles);
    model_->setSortRole(Qt::UserRole);
    for (const HistoryRow& row : view.rows) model_->appendRow(itemsOf(row));

    table_->setModel(model_);
    table_->setColumnHidden(static_cast<int>(HistoryColumn::Signature), !view.signatureColumn);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    // File order is start order; a fleet run's rows stay together in it.
    table_->sortByColumn(static_cast<int>(HistoryColumn::Start), Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plainLabel(view.heading, this));
    layout->addWidget(table_);
    layout->addWidget(plainLabel(view.damaged, this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace kv::ui
