#pragma once
// One QApplication for the whole test binary, made on first use on the main thread (where GoogleTest
// runs the tests). It lives until the process ends.

#include <QApplication>

namespace jdsm::test {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "app_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace jdsm::test
