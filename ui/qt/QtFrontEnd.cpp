#include "ui/qt/QtFrontEnd.h"

#include <QApplication>
#include <cstdlib>

#include "ui/qt/AppIcons.h"
#include "ui/qt/QtDialogSession.h"
#include "ui/qt/QtPlatformChoice.h"

namespace kv::ui {

namespace {
bool setInEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}
}  // namespace

bool desktopAvailable() {
    return setInEnvironment("QT_QPA_PLATFORM") || setInEnvironment("DISPLAY") ||
           setInEnvironment("WAYLAND_DISPLAY");
}

struct QtFrontEnd::Impl {
    Impl(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
    QtDialogSession session;
};

QtFrontEnd::QtFrontEnd(int& argc, char** argv) {
    // Before the application exists: it reads the platform once.
    if (auto platform =
            qtPlatformToChoose(std::getenv("PKEXEC_UID"), std::getenv("QT_QPA_PLATFORM"))) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
    }
    QApplication::setApplicationName(QStringLiteral("kvflash"));
    impl_ = std::make_unique<Impl>(argc, argv);
    // The dialog's end, not its last window, ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(dialogIcon());
}

QtFrontEnd::~QtFrontEnd() = default;

platform::DialogControls& QtFrontEnd::controls() { return impl_->session.controls(); }
DialogHost& QtFrontEnd::host() { return impl_->session.host(); }
platform::Ui& QtFrontEnd::ui() { return impl_->session.ui(); }
void QtFrontEnd::offerFleetWindow(Context& ctx) { impl_->session.host().offerFleetWindow(ctx); }
int QtFrontEnd::run(DialogEvents& events) { return impl_->session.run(events); }

}  // namespace kv::ui
