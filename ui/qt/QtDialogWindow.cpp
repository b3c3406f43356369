#include "ui/qt/QtDialogWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include "platform/DialogItemIds.h"
#include "ui/qt/AppIcons.h"
#include "ui/qt/QtText.h"
#include "ui/template/FlashLines.h"

namespace kv::ui {

namespace {

constexpr const char* kMultiLineProperty = "kvMultiLine";

BaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The mean of the 52 letters, rounded.
    return {(width / 26 + 1) / 2, metrics.height()};
}

// The worker ends its count line with a line break; a one-line text shows
// the first line only, so trailing breaks would only shift it.
QString labelText(std::string_view text) {
    QString shown = toQtLines(text);
    while (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
    return shown;
}

int captionWidth(const QPushButton& button) {
    const QStyle* style = button.style();
    return button.width() - style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) -
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
}

}  // namespace

QtDialogWindow::QtDialogWindow(QWidget* parent) : QDialog(parent) {
    const DialogFrame& frame = mainDialogFrame();
    // Caption, system menu and close box; a fixed frame; a taskbar button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(toQt(frame.title));
    setWindowIcon(dialogIcon());
    base_ = baseUnitsOf(font());
    setFixedSize(toPixelsX(frame.rect.width, base_), toPixelsY(frame.rect.height, base_));

    std::vector<QWidget*> tabStops;
    for (const DialogItem& item : mainDialogItems()) {
        QWidget* widget = createItem(item);
        items_.push_back(widget);
        if (item.styles & kTabStop) tabStops.push_back(widget);
    }
    // Frames stay behind the controls they surround, whatever their place in
    // the template.
    for (QWidget* widget : items_) {
        if (qobject_cast<QGroupBox*>(widget)) widget->lower();
    }
    for (std::size_t i = 1; i < tabStops.size(); ++i) setTabOrder(tabStops[i - 1], tabStops[i]);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("transferProgress"));
    progress_->setGeometry(toPixels(kTransferProgressRect));
    progress_->setTextVisible(true);
    progress_->setFocusPolicy(Qt::NoFocus);
    progress_->hide();
}

QtDialogWindow::~QtDialogWindow() = default;

QRect QtDialogWindow::toPixels(const DialogRect& rect) const {
    return {toPixelsX(rect.x, base_), toPixelsY(rect.y, base_), toPixelsX(rect.width, base_),
            toPixelsY(rect.height, base_)};
}

QWidget* QtDialogWindow::createItem(const DialogItem& item) {
    const QString caption = toQt(item.caption);
    const int id = item.id;
    QWidget* widget = nullptr;
    switch (item.kind) {
        case ItemKind::PushButton: {
            auto* button = new QPushButton(this);
            button->setProperty(kMultiLineProperty, (item.styles & kMultiLine) != 0);
            connect(button, &QPushButton::clicked, this, [this, id] { forwardCommand(id); });
            widget = button;
            break;
        }
        case ItemKind::Text: {
            auto* label = new QLabel(this);
            // Device data shows as typed, never as markup.
            label->setTextFormat(Qt::PlainText);
            // One line shows: these texts are about one font height tall.
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            if (item.styles & kSunken) {
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                label->setLineWidth(1);
            }
            widget = label;
            break;
        }
        case ItemKind::GroupBox: widget = new QGroupBox(this); break;
        case ItemKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setFrame((item.styles & kBorder) != 0);
            connect(edit, &QLineEdit::textChanged, this, [this, id](const QString& text) {
                if (events_) events_->onEditChanged(id, fromQt(text));
            });
            widget = edit;
            break;
        }
        case ItemKind::DropDownList: {
            auto* list = new QComboBox(this);
            connect(list, &QComboBox::activated, this, [this](int index) {
                if (events_) events_->onOptionSelected(index);
            });
            widget = list;
            break;
        }
    }

    widget->setGeometry(toPixels(item.rect));
    if (id != kNoItemId) widget->setObjectName(QStringLiteral("item%1").arg(id));
    widget->setProperty("dialogItemId", id);
    if (!(item.styles & kTabStop) && widget->focusPolicy() != Qt::NoFocus) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
    if (item.styles & kDisabled) widget->setEnabled(false);
    if (item.styles & kHidden) widget->setHidden(true);

    // The caption goes through the same path as later texts.
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(button->property(kMultiLineProperty).toBool()
                            ? wrapCaption(caption, button->fontMetrics(), captionWidth(*button))
                            : caption);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(caption);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(caption);
    }
    return widget;
}

QWidget* QtDialogWindow::control(platform::Control control) const {
    return items_.at(itemIndexOf(control));
}

void QtDialogWindow::applyText(platform::Control which, const std::string& text) {
    QWidget* widget = control(which);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        const QString caption = toQtLines(text);
        button->setText(button->property(kMultiLineProperty).toBool()
                            ? wrapCaption(caption, button->fontMetrics(), captionWidth(*button))
                            : caption);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(labelText(text));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(toQt(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(toQt(text));
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        list->setCurrentText(toQt(text));
    }
}

void QtDialogWindow::applyProgress(const platform::TransferProgress& progress) {
    tracker_.update(progress);
    updateProgress();
}

void QtDialogWindow::applyImageFacts(const std::optional<platform::ImageFacts>& facts) {
    auto* label = qobject_cast<QLabel*>(items_.at(*itemIndexOfId(dialog::kImageText)));
    label->setText(facts ? toQt(imageLine(*facts)) : QString());
}

void QtDialogWindow::applyVerification(const std::optional<platform::Verification>& verification) {
    auto* label = qobject_cast<QLabel*>(items_.at(*itemIndexOfId(dialog::kVerifyText)));
    QPalette palette = label->palette();
    if (verification) {
        const Rgb colour = verdictColour(verification->outcome);
        palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
    } else {
        palette.setColor(QPalette::WindowText, this->palette().color(QPalette::WindowText));
    }
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setText(verification ? toQt(verification->line) : QString());
}

void QtDialogWindow::applyEnabled(platform::Control which, bool enabled) {
    const auto i = static_cast<size_t>(which);
    if (held_[i]) {
        wanted_[i] = enabled;
    } else {
        control(which)->setEnabled(enabled);
    }
}

void QtDialogWindow::applyHeld(platform::Control which, bool held) {
    const auto i = static_cast<size_t>(which);
    if (held_[i] == held) return;
    QWidget* widget = control(which);
    if (held) wanted_[i] = widget->isEnabledTo(this);
    held_[i] = held;
    widget->setEnabled(!held && wanted_[i]);
}

void QtDialogWindow::applyVisible(platform::Control which, bool visible) {
    control(which)->setVisible(visible);
    // Every transfer's local ending hides the Flash button; so does every
    // road outside a transfer.
    if (which == platform::Control::flashButton && !visible) {
        tracker_.clear();
        updateProgress();
    }
}

void QtDialogWindow::updateProgress() {
    const ProgressView& view = tracker_.view();
    progress_->setRange(0, view.maximum);
    progress_->setValue(view.value);
    QString text = toQt(view.text);
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    progress_->setFormat(text);
    progress_->setVisible(view.visible);
}

void QtDialogWindow::forwardCommand(int id) {
    if (events_) events_->onCommand(id);
}

void QtDialogWindow::forwardTimer(int id) {
    if (events_) events_->onTimer(id);
}

void QtDialogWindow::finish(int result) {
    if (finished_) return;
    finished_ = true;
    finishResult_ = result;
    QDialog::done(result);
}

void QtDialogWindow::focusFirstControl() {
    const auto items = mainDialogItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QWidget* widget = items_[i];
        if ((items[i].styles & kTabStop) && widget->isEnabled() && !widget->isHidden()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void QtDialogWindow::reject() { forwardCommand(dialog::kCancel); }

void QtDialogWindow::closeEvent(QCloseEvent* event) {
    if (!finished_) forwardCommand(dialog::kCancel);
    // Only the dialog logic ends the dialog; a refused close leaves it open.
    if (finished_) {
        event->accept();
    } else {
        event->ignore();
    }
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
    // A focused button takes Enter itself; elsewhere Enter names no command
    // of this dialog, so no button is pressed on its behalf.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kv::ui
