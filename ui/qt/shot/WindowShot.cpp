// Renders the main window, filled as during a flash of a found printer, into
// a PNG (the README's picture); with --start as it opens instead; with
// --verified IMAGE after a verified flash of that image file (its line and
// the verdict as kvflash computes them); optionally the icons too.
//   kvflash-window-shot [--start | --verified IMAGE] OUT.png [ICON-FOLDER]
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <string_view>

#include "flash/Verification.h"
#include "image/ImageSummary.h"
#include "platform/linux/PosixFileReader.h"
#include "ui/qt/AppIcons.h"
#include "ui/template/ShotScene.h"
#include "ui/qt/QtDialogSession.h"

using kv::platform::Control;

namespace {

void fillFlashing(kv::platform::DialogControls& c) { kv::ui::showFlashUnderWay(c); }

// The simulated printer's flash from V5.12 to the image's version, ended:
// identified again, the Flash button gone, the verdict shown.
bool fillVerified(kv::platform::DialogControls& c, const char* imagePath) {
    fillFlashing(c);
    const std::string path = imagePath;
    kv::platform::linux_impl::PosixFileReader reader;
    const kv::ImageSummary image = kv::summarizeImageFile(reader, path);
    if (!image.readable) return false;
    kv::platform::ImageFacts facts;
    facts.fileName = path.substr(path.find_last_of('/') + 1);
    facts.readable = true;
    facts.size = image.size;
    facts.version = image.version;
    facts.sha256 = image.sha256;
    c.setImageFacts(facts);
    c.setText(Control::programStatusText, "Printer successfully flashed");
    c.setText(Control::programStateText, " ");
    c.setProgress({});
    c.setText(Control::currentVersionText, image.version);
    c.show(Control::flashButton, false);
    kv::FlashFacts flash;
    flash.bytesSent = image.size;
    flash.cameBack = true;
    flash.before = "V5.12";
    flash.after = image.version;
    flash.imageVersion = image.version;
    c.setVerification(kv::verifyFlash(flash));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool startState = argc > 1 && std::string_view(argv[1]) == "--start";
    const bool verified = argc > 2 && std::string_view(argv[1]) == "--verified";
    const int first = startState ? 2 : verified ? 3 : 1;
    if (argc <= first) {
        std::fputs(
            "usage: kvflash-window-shot [--start | --verified IMAGE] OUT.png [ICON-FOLDER]\n",
            stderr);
        return 2;
    }
    const char* out = argv[first];
    const char* iconFolder = argc > first + 1 ? argv[first + 1] : nullptr;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv::ui::QtDialogSession session;
    kv::platform::DialogControls& c = session.controls();

    // The start state.
    for (Control field :
         {Control::flashButton, Control::programStatusText, Control::programStateText,
          Control::programGroup, Control::programStateLabel, Control::programStatusLabel}) {
        c.enable(field, false);
    }
    c.setText(Control::ipOctetEdit1, "192");
    c.setText(Control::ipOctetEdit2, "168");
    c.setText(Control::ipOctetEdit3, "0");
    c.setText(Control::ipOctetEdit4, "1");
    c.setText(Control::portEdit, "10001");
    c.show(Control::flashButton, false);
    c.show(Control::networkPrintersButton, true);
    if (verified) {
        if (!fillVerified(c, argv[2])) {
            std::fprintf(stderr, "kvflash-window-shot: cannot read %s\n", argv[2]);
            return 1;
        }
    } else if (!startState) {
        fillFlashing(c);
        // The dialog's own flash keeps the network printers' window shut.
        c.enable(Control::networkPrintersButton, false);
    }

    kv::ui::QtDialogWindow& window = session.window();
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(out))) {
        std::fprintf(stderr, "kvflash-window-shot: cannot write %s\n", out);
        return 1;
    }
    if (iconFolder) {
        const QDir folder(QString::fromLocal8Bit(iconFolder));
        kv::ui::iconImage(kv::ui::kLargeIconId, 32).save(folder.filePath("icon-107-32.png"));
        kv::ui::iconImage(kv::ui::kLargeIconId, 16).save(folder.filePath("icon-107-16.png"));
        kv::ui::iconImage(kv::ui::kSmallIconId, 16).save(folder.filePath("icon-108-16.png"));
    }
    return 0;
}
