#pragma once
// What the monitor needs of the desktop's window system: one main window with five controls, their
// texts in code page 936, and a message loop. The core (globals, handlers, loop) talks to the window
// only through this interface, so it runs against a fake window in tests and against the Qt window in
// the program.
//
// Every operation may be called from any thread. Calls from another thread are carried out on the
// window thread, and none of them waits for it: a worker must never block on a window thread that may
// be busy shutting down.

#include <cstdint>
#include <string_view>

#include "text/Text.h"

namespace jdsm {

// The main window and its controls. The object names are those of the window form; tests find the
// controls by them.
enum class Control : int32_t {
    MainWindow,     // the top-level window; its text is the caption
    ToggleButton,   // "按钮1": starts and pauses monitoring
    LogBox,         // "编辑框日志": multi-line, receives the log lines
    IdBox,          // "编辑框ID": multi-line, one product ID per line
    ProvinceBox,    // "组合框地址": drop-down list of the provinces
    ProvinceLabel,  // "标签1"
};
inline constexpr int32_t kControlCount = 6;

// The UTF-8 object name of a control ("" for the main window, which has none on the form).
std::string_view controlObjectName(Control control);

class WindowOps {
  public:
    virtual ~WindowOps() = default;

    // The whole current text of a control (an edit box, the combo box's current text, a caption), in
    // code page 936, with lines separated by CR LF. Never waits for the window thread.
    virtual Text controlText(Control control) = 0;
    // Replaces a caption (the button's, the window's) or an edit box's text.
    virtual void setControlText(Control control, const Text& text) = 0;
    // Appends an item at the end of the combo box's list, unsorted.
    virtual void addListItem(Control control, const Text& text) = 0;
    // Selects a list item by its 0-based index without raising the list-item-selected event.
    virtual void setCurrentSelection(Control control, int32_t index) = 0;
    // Moves the caret behind the last character, inserts the text there and scrolls it into view.
    // The text already in the box stays; each call's text arrives whole. CR LF starts a new line.
    virtual void appendToEdit(Control control, const Text& text) = 0;
    // The running program's file name with its extension, without its directory.
    virtual Text executableFileName() = 0;
    // Runs the events until the window is closed; the result is the program's exit code.
    virtual int runMessageLoop() = 0;
};

}  // namespace jdsm
