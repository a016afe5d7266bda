#include "menu/menu.h"

namespace tavrin {

namespace {

struct TopMenu {
    const char *name, *caption;
};

struct Item {
    const char *menu;
    rb::MenuItem::Kind kind;
    const char *name, *caption, *shortcut;
    bool autoEnable;
};

constexpr TopMenu kMenus[] = {
    {"UntitledMenu2", "File"},
    {"UntitledMenu0", "Edit"},
    {"VideoMenu", "Settings"},
    {"HelpMenu", "Help"},
};

using K = rb::MenuItem::Kind;
constexpr Item kItems[] = {
    {"UntitledMenu2", K::Quit, "FileQuit", "Quit", "Cmd+Q", true},
    {"UntitledMenu0", K::Item, "EditUndo", "Undo", "Cmd+Z", false},
    {"UntitledMenu0", K::Item, "UntitledMenu1", "-", "", false},
    {"UntitledMenu0", K::Item, "EditCut", "Cut", "Cmd+X", false},
    {"UntitledMenu0", K::Item, "EditCopy", "Copy", "Cmd+C", false},
    {"UntitledMenu0", K::Item, "EditPaste", "Paste", "Cmd+V", false},
    {"UntitledMenu0", K::Item, "EditClear", "Clear", "", false},
    {"UntitledMenu0", K::Item, "EditSelectAll", "Select All", "Cmd+A", false},
    {"VideoMenu", K::Item, "VideoSetteingsMenu", "Video Settings", "", false},
    {"VideoMenu", K::Item, "SettingsResetVideoDevice", "Reset Video Device", "", true},
    {"VideoMenu", K::Item, "VideoDeckControl", "Deck Control Settings", "", false},
    {"HelpMenu", K::Item, "HelpDocumentation", "Documentation", "Cmd+?", true},
    {"HelpMenu", K::Apple, "aboutmenu", "About Tavrin!", "", false},
    {"HelpMenu", K::Apple, "HelpCheckforUpdates", "Check for Updates", "", true},
};

}  // namespace

Menu::Menu() {
    for (const TopMenu &m : kMenus) {
        rb::MenuItem top;
        top.name = m.name;
        top.autoEnable = false;
        top.text = m.caption;
        append(std::move(top));
    }
    for (const Item &i : kItems) {
        rb::MenuItem item;
        item.kind = i.kind;
        item.name = i.name;
        item.autoEnable = i.autoEnable;
        item.text = i.caption;
        item.shortcut = i.shortcut;
        appendTo(i.menu, std::move(item));
    }
}

Menu &menu() {
    static Menu *m = new Menu;  // lives as long as the process
    return *m;
}

}  // namespace tavrin
