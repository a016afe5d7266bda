// The save-file and folder dialogs are the desktop's own: GTK's file chooser
// (through the desktop portal where one runs), shown without blocking. Its
// answer comes in the runtime's loop, which runs GLib's main context for it
// (loop/glib_pump.cpp), so that timers, sources and cooperative threads go
// on behind the chooser.
#include "desktop/gtk_file_dialogs.h"

#include "desktop/lost_display.h"
#include "loop/glib_pump.h"

#include <rb/loop.h>
#include <rb/screen.h>
#include <rb/thread.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <optional>
#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace rb::screen {

namespace {

// Xlib has one error handler for the whole process, and GTK's start sets
// GDK's, which passes over the errors of connections not its own: each
// connection's errors go to its own handler, GDK's to GDK's, the others'
// (FLTK's) to the one there before.
XErrorHandler gEarlierXErrors = nullptr, gGdkXErrors = nullptr;
Display *gGdkDisplay = nullptr;

int xErrorToItsHandler(Display *d, XErrorEvent *e) {
    XErrorHandler handler = d == gGdkDisplay ? gGdkXErrors : gEarlierXErrors;
    return handler ? handler(d, e) : 0;
}

}  // namespace

// GTK on FLTK's display, X11 only (FLTK's windows are X windows); once.
bool prepareFileDialogs() {
    static int ready = -1;
    if (ready >= 0) return ready;
    gdk_set_allowed_backends("x11");
    std::string display = std::string("--display=") + DisplayString(fl_display);
    std::string name = program_invocation_short_name;
    char *args[] = {name.data(), display.data(), nullptr};
    int argc = 2;
    char **argv = args;
    gEarlierXErrors = XSetErrorHandler(nullptr);
    XSetErrorHandler(gEarlierXErrors);
    {
        AwayFromLoop gtkAtWork;
        ready = gtk_init_check(&argc, &argv) ? 1 : 0;
    }
    if (ready) gGdkDisplay = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    gGdkXErrors = XSetErrorHandler(xErrorToItsHandler);
    // GDK's handler of a lost connection ends the process: the runtime's
    // takes its place, for GDK's connection too.
    if (ready) watchForLostDisplay(gGdkDisplay);
    if (ready) startGlibPump();
    return ready;
}

namespace {

// While a chooser is open FLTK's windows take no clicks, keys or close
// requests, as under any modal dialog; a click brings the chooser to the
// front. A message box shown meanwhile (FLTK's modal window) still answers.
GtkWindow *gChooserWindow = nullptr;
int gChoosersOpen = 0;
Fl_Event_Dispatch gEarlierDispatch = nullptr;

int dispatchWhileChoosing(int event, Fl_Window *w) {
    if (!Fl::modal()) {
        switch (event) {
            case FL_PUSH:
                if (gChooserWindow) gtk_window_present(gChooserWindow);
                return 0;
            case FL_RELEASE:
            case FL_DRAG:
            case FL_MOUSEWHEEL:
            case FL_KEYDOWN:
            case FL_KEYUP:
            case FL_SHORTCUT:
            case FL_CLOSE:
            case FL_DND_ENTER:
            case FL_DND_DRAG:
            case FL_DND_RELEASE:
            case FL_PASTE:
                return 0;
            default:
                break;
        }
    }
    return gEarlierDispatch ? gEarlierDispatch(event, w) : Fl::handle_(event, w);
}

// GTK's chooser dialog shown just now (none where the portal shows it).
GtkWindow *shownChooser() {
    GtkWindow *found = nullptr;
    GList *all = gtk_window_list_toplevels();
    for (GList *l = all; l; l = l->next) {
        auto *w = GTK_WINDOW(l->data);
        if (GTK_IS_FILE_CHOOSER_DIALOG(w) && gtk_widget_get_visible(GTK_WIDGET(w)) &&
            !g_object_get_data(G_OBJECT(w), "tavrin-seen"))
            found = w;
    }
    g_list_free(all);
    if (found) g_object_set_data(G_OBJECT(found), "tavrin-seen", found);
    return found;
}

// A caption as GTK shows it: underscores stand for themselves.
std::string literal(const std::string &caption) {
    std::string out;
    for (char ch : caption) {
        if (ch == '_') out += '_';
        out += ch;
    }
    return out;
}

struct Response {
    bool answered = false;
    int id = GTK_RESPONSE_CANCEL;
};

void responded(GtkNativeDialog *, gint id, gpointer data) {
    auto *r = static_cast<Response *>(data);
    r->answered = true;
    r->id = id;
}

// The chooser's dialog stays above the window in front of the application
// and shows the prompt above its list, where it has one.
class ChooserDecoration {
public:
    ChooserDecoration(GtkWindow *dialog, ::Window front, const std::string &prompt) : dialog_(dialog) {
        if (!dialog_) return;
        GdkWindow *own = gtk_widget_get_window(GTK_WIDGET(dialog_));
        if (front && own) {
            parent_ = gdk_x11_window_foreign_new_for_display(gdk_window_get_display(own), front);
            if (parent_) gdk_window_set_transient_for(own, parent_);
        }
        if (!prompt.empty()) {
            GtkWidget *label = gtk_label_new(prompt.c_str());
            gtk_label_set_xalign(GTK_LABEL(label), 0);
            gtk_widget_set_margin_start(label, 6);
            gtk_widget_set_margin_top(label, 6);
            GtkWidget *area = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
            gtk_box_pack_start(GTK_BOX(area), label, FALSE, FALSE, 0);
            gtk_box_reorder_child(GTK_BOX(area), label, 0);
            gtk_widget_show(label);
        }
    }
    ~ChooserDecoration() {
        if (parent_) g_object_unref(parent_);
    }
    // Left as it is: its display went away.
    void forget() { parent_ = nullptr; }
    ChooserDecoration(const ChooserDecoration &) = delete;
    ChooserDecoration &operator=(const ChooserDecoration &) = delete;

private:
    GtkWindow *dialog_;
    GdkWindow *parent_ = nullptr;
};

}  // namespace

DialogAnswer chooseFile(const DialogRequest &r) {
    if (displayLost()) return dismissedAnswer(r);
    if (!prepareFileDialogs()) {
        std::fprintf(stderr, "%s: GTK could not open the display; the file dialog is cancelled\n",
                     program_invocation_short_name);
        return defaultAnswer(r);
    }
    bool save = r.kind == DialogRequest::SaveFile;
    std::string title = !r.title.empty() ? r.title : r.actionCaption;
    std::string accept = literal(r.actionCaption.empty() ? (save ? "Save" : "Choose") : r.actionCaption);
    Fl_Window *inFront = Fl::first_window();
    ::Window front = inFront ? fl_xid(inFront) : 0;
    if (gChoosersOpen++ == 0) {
        gEarlierDispatch = Fl::event_dispatch();
        Fl::event_dispatch(dispatchWhileChoosing);
    }
    Response response;
    GtkFileChooserNative *native = nullptr;
    GtkWindow *dialog = nullptr;
    std::optional<ChooserDecoration> decoration;
    {
        // GTK (its first chooser above all) takes long; it touches nothing of the
        // runtime's, and the capture's grabs come on time meanwhile.
        AwayFromLoop gtkAtWork;
        native = gtk_file_chooser_native_new(
            title.c_str(), nullptr, save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
            accept.c_str(), nullptr);
        GtkFileChooser *chooser = GTK_FILE_CHOOSER(native);
        gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native), TRUE);
        gtk_file_chooser_set_local_only(chooser, TRUE);
        gtk_file_chooser_set_current_folder(chooser, r.folder.empty() ? g_get_home_dir() : r.folder.c_str());
        if (save && !r.suggestedName.empty()) gtk_file_chooser_set_current_name(chooser, r.suggestedName.c_str());
        g_signal_connect(native, "response", G_CALLBACK(responded), &response);
        gtk_native_dialog_show(GTK_NATIVE_DIALOG(native));
        dialog = shownChooser();
        decoration.emplace(dialog, front, save ? r.prompt : std::string());
    }
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(native);
    GtkWindow *outer = gChooserWindow;
    gChooserWindow = dialog;
    runGlibPass();
    runModalLoop([&response] { return response.answered; });
    gChooserWindow = outer;
    if (--gChoosersOpen == 0) Fl::event_dispatch(gEarlierDispatch);

    DialogAnswer a;
    if (displayLost()) {
        // GTK's connection is gone: the chooser is left as it is, GTK is
        // not run again.
        g_signal_handlers_disconnect_by_data(native, &response);
        decoration->forget();
        return dismissedAnswer(r);
    }
    if (!response.answered) {
        gtk_native_dialog_hide(GTK_NATIVE_DIALOG(native));
        a = dismissedAnswer(r);
    } else if (response.id == GTK_RESPONSE_ACCEPT) {
        if (gchar *chosen = gtk_file_chooser_get_filename(chooser)) {
            a.path = chosen;
            g_free(chosen);
        }
        a.cancelled = a.path.empty();
    } else {
        a.cancelled = true;
    }
    g_signal_handlers_disconnect_by_data(native, &response);
    {
        AwayFromLoop gtkAtWork;
        decoration.reset();
        gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(native));
        g_object_unref(native);
        // The chooser leaves the screen now, not at GLib's next wake-up.
        gdk_display_flush(gdk_display_get_default());
    }
    runGlibPass();
    return a;
}

}  // namespace rb::screen
