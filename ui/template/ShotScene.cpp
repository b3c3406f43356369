#include "ui/template/ShotScene.h"

namespace kv::ui {

using platform::Control;

void showFlashUnderWay(platform::DialogControls& c) {
    // A printer found and ready.
    c.setText(Control::statusText, "Found Printer - Printer ready..");
    c.setText(Control::printerModelText, "ZOW3004F");
    c.setText(Control::portText, "USB");
    c.setText(Control::languageText, "FGL-G");
    c.setText(Control::logicBoardText, "MVQ Plus");
    c.setText(Control::currentVersionText, "V5.12");
    for (Control field :
         {Control::programStatusText, Control::programStateText, Control::programGroup,
          Control::programStateLabel, Control::programStatusLabel}) {
        c.enable(field, true);
    }
    for (Control field :
         {Control::ethernetGroup, Control::ethernetPortLabel, Control::ipAddressLabel,
          Control::ipOctetEdit1, Control::ipOctetEdit2, Control::ipOctetEdit3,
          Control::ipOctetEdit4, Control::portEdit, Control::findEthernetButton}) {
        c.show(field, false);
    }
    // A file accepted, the transfer under way.
    c.setText(Control::flashButton, "Flash Printer NOW");
    c.show(Control::flashButton, true);
    c.enable(Control::flashButton, true);
    c.setText(Control::programStatusText, "Programming 100 KBytes");
    c.setText(Control::programStateText, "40 KBytes programmed\r\n");
    c.setProgress({platform::TransferPhase::Data, 40 * 1024, 100 * 1024});
}

}  // namespace kv::ui
