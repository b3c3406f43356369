#pragma once
#include <QDialog>

#include "app/HistoryRows.h"

class QStandardItemModel;
class QTableView;

namespace kv::ui {

// The flash history as a table: one row per flash, sortable by any column
// over the cells' typed values (a time as a time, a count as a number), the
// outcome in the verdict's colour, an interrupted flash in italics. Device
// text is shown as plain text only.
class HistoryWindow final : public QDialog {
    Q_OBJECT

public:
    HistoryWindow(const HistoryView& view, QWidget* parent);

    QTableView* table() const { return table_; }
    QStandardItemModel* model() const { return model_; }

private:
    QTableView* table_;
    QStandardItemModel* model_;
};

}  // namespace kv::ui
