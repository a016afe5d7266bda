// The event-handler installers of the wrapper classes, one table per class,
// one row per event in the class's order:
//
//   M(C, member, "event name")
//
// Each member installs a callback for that event on the held object; the
// names go to the host exactly as written here ("Lostfocus" on a canvas and
// the unclosed "Action(index as integer" of a menu item are what the host
// expects). Derived classes inherit their bases' installers.
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_EVENTS_XThread(M, C) M(C, runhandler, "Run")

#define HW_EVENTS_XTimer(M, C) M(C, action_handler, "Action")

#define HW_EVENTS_XSocketCore(M, C)              \
    M(C, dataavailable_handler, "DataAvailable") \
    M(C, error_handler, "Error")                 \
    M(C, sendcomplete_handler, "SendComplete")

#define HW_EVENTS_XTCPSocket(M, C)       \
    M(C, connected_handler, "Connected") \
    M(C, sendprogress_handler, "SendProgress")

#define HW_EVENTS_XControl(M, C)           \
    M(C, close_handler, "Close")           \
    M(C, createpane_handler, "CreatePane") \
    M(C, open_handler, "Open")

#define HW_EVENTS_XRectControl(M, C)                                 \
    M(C, dropobject_handler, "DropObject")                           \
    M(C, mouseenter_handler, "MouseEnter")                           \
    M(C, mouseexit_handler, "MouseExit")                             \
    M(C, mousemove_handler, "MouseMove")                             \
    M(C, mousewheel_handler, "MouseWheel")                           \
    M(C, constructcontextualmenu_handler, "ConstructContextualMenu") \
    M(C, contextualmenuaction_handler, "ContextualMenuAction")       \
    M(C, dragenter_handler, "DragEnter")                             \
    M(C, dragexit_handler, "DragExit")                               \
    M(C, dragover_handler, "DragOver")

#define HW_EVENTS_XWindow(M, C)                                      \
    M(C, activate_handler, "Activate")                               \
    M(C, addmenuhandlers_handler, "AddMenuHandlers")                 \
    M(C, cancelclose_handler, "CancelClose")                         \
    M(C, close_handler, "Close")                                     \
    M(C, constructcontextualmenu_handler, "ConstructContextualMenu") \
    M(C, contextualmenuaction_handler, "ContextualMenuAction")       \
    M(C, createcontrols_handler, "CreateControls")                   \
    M(C, deactivate_handler, "Deactivate")                           \
    M(C, dropobject_handler, "DropObject")                           \
    M(C, enablemenuitems_handler, "EnableMenuItems")                 \
    M(C, keydown_handler, "KeyDown")                                 \
    M(C, layout_handler, "Layout")                                   \
    M(C, maximize_handler, "Maximize")                               \
    M(C, minimize_handler, "Minimize")                               \
    M(C, mousedown_handler, "MouseDown")                             \
    M(C, mousedrag_handler, "MouseDrag")                             \
    M(C, mouseenter_handler, "MouseEnter")                           \
    M(C, mouseexit_handler, "MouseExit")                             \
    M(C, mousemove_handler, "MouseMove")                             \
    M(C, mouseup_handler, "MouseUp")                                 \
    M(C, mousewheel_handler, "MouseWheel")                           \
    M(C, moved_handler, "Moved")                                     \
    M(C, open_handler, "Open")                                       \
    M(C, paint_handler, "Paint")                                     \
    M(C, resized_handler, "Resized")                                 \
    M(C, resizing_handler, "Resizing")                               \
    M(C, restore_handler, "Restore")                                 \
    M(C, dragenter_handler, "DragEnter")                             \
    M(C, dragexit_handler, "DragExit")                               \
    M(C, dragover_handler, "DragOver")

#define HW_EVENTS_XEmbeddableWindow(M, C) \
    M(C, gotfocus_handler, "GotFocus")    \
    M(C, lostfocus_handler, "LostFocus")

#define HW_EVENTS_XSlider(M, C)          \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mousedrag_handler, "MouseDrag") \
    M(C, mouseup_handler, "MouseUp")     \
    M(C, valuechanged_handler, "ValueChanged")

#define HW_EVENTS_XProgressBar(M, C)     \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mousedrag_handler, "MouseDrag") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XScrollBar(M, C)       \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mousedrag_handler, "MouseDrag") \
    M(C, mouseup_handler, "MouseUp")     \
    M(C, valuechanged_handler, "ValueChanged")

#define HW_EVENTS_XCanvas(M, C)                      \
    M(C, keydown_handler, "KeyDown")                 \
    M(C, enablemenuitems_handler, "EnableMenuItems") \
    M(C, gotfocus_handler, "GotFocus")               \
    M(C, lostfocus_handler, "Lostfocus")             \
    M(C, mousedown_handler, "MouseDown")             \
    M(C, mousedrag_handler, "MouseDrag")             \
    M(C, mouseup_handler, "MouseUp")                 \
    M(C, paint_handler, "Paint")

#define HW_EVENTS_XContextualMenu(M, C) M(C, action_handler, "Action")

#define HW_EVENTS_XGroupBox(M, C)        \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mousedrag_handler, "MouseDrag") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XPushButton(M, C)      \
    M(C, action_handler, "Action")       \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XCheckBox(M, C)        \
    M(C, action_handler, "Action")       \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mousedrag_handler, "MouseDrag") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XStaticText(M, C)                \
    M(C, acceleratorkey_handler, "AcceleratorKey") \
    M(C, mousedown_handler, "MouseDown")           \
    M(C, mousedrag_handler, "MouseDrag")           \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XRadioButton(M, C)     \
    M(C, action_handler, "Action")       \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XPopupMenu(M, C)       \
    M(C, change_handler, "Change")       \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XComboBox(M, C) M(C, textchanged_handler, "TextChanged")

#define HW_EVENTS_XPagePanel(M, C) M(C, change_handler, "Change")

#define HW_EVENTS_XTabPanel(M, C)        \
    M(C, gotfocus_handler, "GotFocus")   \
    M(C, lostfocus_handler, "LostFocus") \
    M(C, mousedown_handler, "MouseDown") \
    M(C, mousedrag_handler, "MouseDrag") \
    M(C, mouseup_handler, "MouseUp")

#define HW_EVENTS_XMenuItem(M, C)                        \
    M(C, action_handler, "Action")                       \
    M(C, actionindex_handler, "Action(index as integer") \
    M(C, enablemenu_handler, "EnableMenu")

#define HW_EVENTS_XMenuBar(M, C)   \
    M(C, action_handler, "Action") \
    M(C, enablemenu_handler, "EnableMenu")

#define HW_EVENTS_XEditField(M, C)         \
    M(C, gotfocus_handler, "GotFocus")     \
    M(C, keydown_handler, "KeyDown")       \
    M(C, lostfocus_handler, "LostFocus")   \
    M(C, mousedown_handler, "MouseDown")   \
    M(C, selchange_handler, "SelChange")   \
    M(C, textchange_handler, "TextChange") \
    M(C, validationerror_handler, "ValidationError")

#define HW_EVENTS_XLittleArrows(M, C) \
    M(C, down_handler, "Down")        \
    M(C, up_handler, "Up")

// Every class with installers of its own.
#define HW_EVENT_CLASSES(M) \
    M(XThread)              \
    M(XTimer)               \
    M(XSocketCore)          \
    M(XTCPSocket)           \
    M(XControl)             \
    M(XRectControl)         \
    M(XWindow)              \
    M(XEmbeddableWindow)    \
    M(XSlider)              \
    M(XProgressBar)         \
    M(XScrollBar)           \
    M(XCanvas)              \
    M(XContextualMenu)      \
    M(XGroupBox)            \
    M(XPushButton)          \
    M(XCheckBox)            \
    M(XStaticText)          \
    M(XRadioButton)         \
    M(XPopupMenu)           \
    M(XComboBox)            \
    M(XPagePanel)           \
    M(XTabPanel)            \
    M(XMenuItem)            \
    M(XMenuBar)             \
    M(XEditField)           \
    M(XLittleArrows)
// clang-format on
