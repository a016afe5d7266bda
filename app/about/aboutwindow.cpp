#include "about/aboutwindow.h"

#include "about/resources.h"
#include "application/app.h"
#include "menu/menu.h"

namespace tavrin {

using K = rb::ControlKind;

std::string versionText(const std::string &longVersion, int nonReleaseVersion) {
    std::string text = "Version: " + longVersion;
    if (nonReleaseVersion == 1) text += " BETA";
    return text;
}

aboutwindow::aboutwindow() : rb::Window("aboutwindow", rb::WindowKind::Document, "About", 350, 331) {
    // The application's menus stay usable while the About box is in front.
    menuBar = &menu();
    rb::Control &banner = add(K::Canvas, "Canvas1", {0, 0, 350, 100});
    banner.backdrop = pictureResource("banner");
    rb::Control &notice = add(K::StaticText, "StaticText1", {20, 112, 310, 104});
    notice.setText(
        "Tavrin! captures still frames from live video while it drives your tape deck over "
        "RS-422 or FireWire.\n\nFrames are written as numbered TIFF files.");
    notice.textSize = 10;
    rb::Control &ok = add(K::PushButton, "PushButton1", {261, 297, 69, 20});
    ok.setCaption("OK");
    ok.isDefault = true;
    ok.on("Action", [this] { close(); });
    rb::Control &logo = add(K::Canvas, "Canvas2", {20, 265, 133, 58});
    logo.backdrop = pictureResource("Vorl");
    add(K::Separator, "Separator1", {0, 206, 350, 10});
    version = &add(K::StaticText, "version", {6, 191, 177, 20});
    version->setText("Version");
    version->textSize = 10;
    version->bold = true;
}

void aboutwindow::Open() {
    rb::Application *a = rb::app();
    version->setText(versionText(a ? a->longVersion : "", a ? a->nonReleaseVersion : 0));
}

}  // namespace tavrin
