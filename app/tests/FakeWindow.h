#pragma once
// A window without a window system: keeps the control texts and list items, and records the calls
// that change them, in order.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/WindowOps.h"

namespace jdsm::test {

class FakeWindow : public WindowOps {
  public:
    Text controlText(Control control) override {
        std::lock_guard lock(lock_);
        return texts_[control];
    }
    void setControlText(Control control, const Text& text) override {
        std::lock_guard lock(lock_);
        texts_[control] = text;
        calls_.push_back("setControlText " + name(control));
    }
    void addListItem(Control control, const Text& text) override {
        std::lock_guard lock(lock_);
        if (control == Control::ProvinceBox) items_.push_back(text);
        calls_.push_back("addListItem " + name(control));
    }
    void setCurrentSelection(Control control, int32_t index) override {
        std::lock_guard lock(lock_);
        if (control == Control::ProvinceBox && index >= 0 && index < static_cast<int32_t>(items_.size())) {
            texts_[control] = items_[static_cast<size_t>(index)];
        }
        calls_.push_back("setCurrentSelection " + name(control) + " " + std::to_string(index));
    }
    void appendToEdit(Control control, const Text& text) override {
        std::lock_guard lock(lock_);
        texts_[control] += text;
    }
    Text executableFileName() override { return "jd-stock-monitor"; }
    int runMessageLoop() override { return 0; }

    // What the list shows after the user picked item `index` (the test then raises the event).
    void pick(int32_t index) {
        std::lock_guard lock(lock_);
        texts_[Control::ProvinceBox] = items_.at(static_cast<size_t>(index));
    }
    std::vector<Text> items() {
        std::lock_guard lock(lock_);
        return items_;
    }
    std::vector<std::string> calls() {
        std::lock_guard lock(lock_);
        return calls_;
    }

  private:
    static std::string name(Control control) {
        const std::string_view n = controlObjectName(control);
        return n.empty() ? "window" : std::string(n);
    }

    std::mutex lock_;
    std::map<Control, Text> texts_;
    std::vector<Text> items_;
    std::vector<std::string> calls_;
};

}  // namespace jdsm::test
