// The application's save pass timed against plain writes of the same bytes.
#pragma once

// Starts the application (headless, real plug-ins), grabs `frames` frames,
// saves them through CaptureWindow::savefiles and then writes the same bytes
// with open/write/close; prints both times and their ratio. 0 on success.
int savePassFigure(int frames);
