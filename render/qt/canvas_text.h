// Text on a surface's own memory, drawn with Qt: the canvas's text renderer.
#pragma once

// Installs the Qt text renderer for every surface canvas of the process. Needs a
// QGuiApplication.
void InstallQtCanvasTextRenderer();
