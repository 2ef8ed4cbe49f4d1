// The widget-based targets need one application for the whole run, on the headless platform.
#pragma once

#include <QApplication>

inline void StartOffscreenApplication()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "glbase_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}
