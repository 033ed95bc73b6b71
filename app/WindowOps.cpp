#include "app/WindowOps.h"

namespace jdsm {

std::string_view controlObjectName(Control control) {
    switch (control) {
        case Control::MainWindow:
            return "";
        case Control::ToggleButton:
            return "按钮1";
        case Control::LogBox:
            return "编辑框日志";
        case Control::IdBox:
            return "编辑框ID";
        case Control::ProvinceBox:
            return "组合框地址";
        case Control::ProvinceLabel:
            return "标签1";
    }
    return "";
}

}  // namespace jdsm
