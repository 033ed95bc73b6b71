#pragma once
// The main window on Qt Widgets: the five controls at their places, the three events, and the window
// operations carried out on the window thread.
//
// Reads never wait for the window thread: the window keeps a code page 936 copy of every control's
// text, brought up to date on the window thread whenever a control changes, so a worker reads the
// text as the window thread last left it. Changes from other threads are queued under a lock and
// carried out on the window thread in one go, however many arrive before it gets to them: a second
// with many log lines costs one wake-up, not one per line.
//
// Other threads never call into Qt. They wake the window thread through an event descriptor that a
// socket notifier on the window thread watches; everything else passes through the locked queue.
// Qt's own cross-thread posting synchronises through locks that ThreadSanitizer cannot see, and
// would leave it reporting races inside Qt; this way every hand-over is one it can check.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/WindowOps.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace jdsm {

class QtMainWindow final : public WindowOps {
  public:
    struct Events {
        std::function<void()> created;           // the window and its controls exist
        std::function<void()> toggleClicked;     // 按钮1 clicked
        std::function<void()> provinceSelected;  // the user picked an item of 组合框地址
    };

    // The log box keeps its newest lines only, so that a monitor left running for days neither grows
    // without bound nor slows down: at most this many line breaks are kept (about 1.5 MB of text).
    static constexpr int32_t kDefaultLogLineCap = 20000;

    // Builds the window and its controls, not yet shown. Must run on the thread of the QApplication,
    // which becomes the window thread.
    explicit QtMainWindow(Events events, int32_t logLineCap = kDefaultLogLineCap);
    ~QtMainWindow() override;
    QtMainWindow(const QtMainWindow&) = delete;
    QtMainWindow& operator=(const QtMainWindow&) = delete;

    // Raises the created event, then shows the window.
    void createAndShow();
    // Called on the window thread once the message loop has ended: destroys the widgets; from then on
    // the operations change nothing and reads give the last texts, so workers may still call in.
    void detach();

    QWidget* widget() const { return root_.get(); }

    Text controlText(Control control) override;
    void setControlText(Control control, const Text& text) override;
    void addListItem(Control control, const Text& text) override;
    void setCurrentSelection(Control control, int32_t index) override;
    void appendToEdit(Control control, const Text& text) override;
    Text executableFileName() override;
    int runMessageLoop() override;

  private:
    struct Change {
        enum class Kind { SetText, AddItem, Select, Append };
        Kind kind;
        Control control;
        Text text;
        int32_t index = 0;
    };

    bool onWindowThread() const { return std::this_thread::get_id() == windowThread_; }
    // Queues a change; on the window thread it is carried out at once, behind those queued before it.
    void submit(Change change);
    // Carries out the queued changes, on the window thread.
    void flushPending();
    void apply(const Change& change);
    void setMirror(Control control, Text text);
    void applySetText(Control control, const Text& text);
    void applyAppend(Control control, const Text& text);

    Events events_;
    int32_t logLineCap_;
    std::thread::id windowThread_;
    Text executableName_;

    std::unique_ptr<QWidget> root_;
    QPushButton* toggleButton_ = nullptr;
    QPlainTextEdit* logBox_ = nullptr;
    QPlainTextEdit* idBox_ = nullptr;
    QComboBox* provinceBox_ = nullptr;
    QLabel* provinceLabel_ = nullptr;

    std::mutex lock_;  // guards everything below
    bool detached_ = false;
    std::array<Text, kControlCount> mirror_;
    std::vector<Change> pending_;
    bool flushQueued_ = false;
    int wakeFd_ = -1;  // an eventfd; -1 when none could be made (the window thread then polls)
};

}  // namespace jdsm
