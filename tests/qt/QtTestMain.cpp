// One QApplication for the whole test program, always on the offscreen
// platform so that no display is needed and the fonts are the same
// everywhere. A watchdog closes any modal window left open too long, so a
// test that forgets one fails instead of hanging.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace {

constexpr qint64 kModalLimitMs = 15000;

class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
        QApplication::setQuitOnLastWindowClosed(false);
        clock_.start();
        watchdog_ = std::make_unique<QTimer>();
        QObject::connect(watchdog_.get(), &QTimer::timeout, [this] { watch(); });
        watchdog_->start(100);
    }
    void TearDown() override {
        watchdog_.reset();
        app_.reset();
    }

private:
    void watch() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        const QVariant opened = modal->property("kvTestOpenedAt");
        if (!opened.isValid()) {
            modal->setProperty("kvTestOpenedAt", clock_.elapsed());
        } else if (clock_.elapsed() - opened.toLongLong() > kModalLimitMs) {
            ADD_FAILURE() << "a modal window was left open: " << modal->windowTitle().toStdString();
            QMetaObject::invokeMethod(modal, "reject", Qt::DirectConnection);
        }
    }

    int argc_ = 1;
    char name_[10] = "kvtest_qt";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QTimer> watchdog_;
    QElapsedTimer clock_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
