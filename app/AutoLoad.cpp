#include "app/AutoLoad.h"

#include "flash/LocalFlash.h"
#include "flash/Selection.h"
#include "printer/discovery/Discovery.h"

namespace kv {

namespace {

// True when the flash's worker started.
bool loadTheImageBesideTheProgram(Context& ctx, PrinterData& printer, bool goOn) {
    AppState& state = ctx.state;
    platform::DialogControls& controls = ctx.controls();
    controls.setText(platform::Control::statusText, "Checking file compatibility");
    // The program is ending: no flash may start now.
    if (!goOn) return false;
    if (ValidateFirmwareFile(ctx.ui(), state.autoLoadFilePath, controls, printer) == 0) {
        platform::box(ctx.ui(), "Validating FW File", "Invalid firmware file selected");
        return false;
    }
    state.firmwareFileName = fitField(state.autoLoadFilePath, kPathSize);
    if (!showImageFacts(ctx, state.firmwareFileName)) {
        state.firmwareFileName.clear();
        return false;
    }
    return FlashPrinterNow(ctx, controls, printer);
}

}  // namespace

void searchAndLoadAutomatically(Context& ctx, PrinterData& printer) {
    refreshPrinterList(ctx, printer, [&ctx, &printer](bool goOn) {
        return loadTheImageBesideTheProgram(ctx, printer, goOn);
    });
}

}  // namespace kv
