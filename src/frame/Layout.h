#pragma once

#include <QString>

class MainFrame;

// Saves the open browser windows to a layout file and opens them again.
class Layout {
public:
    explicit Layout(MainFrame* frame) : m_frame(frame) {}

    // False (and a message shown) when the file could not be written.
    bool SaveLayout(const QString& sDatei);
    // Opens one window per record; false when the file could not be read.
    bool LoadLayout(const QString& sDatei);

private:
    MainFrame* m_frame;
};
