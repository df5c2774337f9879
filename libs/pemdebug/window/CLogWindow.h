// The widget of one sink's output window: a read-only monospace text of the last MAX_LINES lines,
// a "Clear" button and an "Auto-scroll" check box. Closing it by the user only hides it and
// reports the close to its owner. Lives on the UI thread.
#pragma once

#include "libs/pemdebug/window/CPendingLines.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace pemlogwindow {

class CLogWindow : public QWidget {
public:
    // `onUserClose` runs when the user closes the window (it is hidden then, not deleted).
    CLogWindow(const QString& sinkName, std::function<void()> onUserClose);

    // Appends the batch in one go: the note of lines not shown first, then the lines.
    void AppendBatch(const CPendingLines::Batch& batch);

    QPlainTextEdit* Text() const { return m_text; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Removes the oldest lines so that `incoming` more fit within MAX_LINES.
    void MakeRoomFor(size_t incoming);

    QPlainTextEdit* m_text = nullptr;  // child, owned by the widget
    QPushButton* m_clear = nullptr;    // child
    QCheckBox* m_autoScroll = nullptr; // child
    std::function<void()> m_onUserClose;
};

} // namespace pemlogwindow
