// The main frame's status bar: the message pane (with the progress bar of long saves) and five
// panes the view writes by id (pixel under the cursor, lost images, display rate, grab rate,
// zoom), each sized by its template text, which is also its first text.
//
// Thread: the user-interface thread only.
#pragma once

#include <QStatusBar>

#include <cstdint>

class QLabel;
class QProgressBar;

class CMainStatusBar final : public QStatusBar {
    Q_OBJECT

public:
    explicit CMainStatusBar(QWidget* parent = nullptr);

    // Pane ids 118 (pixel), 119 (lost), 120 (display rate), 121 (grab rate), 122 (zoom).
    // Unknown ids are ignored.
    void SetPaneText(uint32_t id, const QString& text);
    QString PaneText(uint32_t id) const;
    // The progress bar in the message pane: shown with `total` steps, moved, hidden.
    void ProgressOn(int64_t total);
    void ProgressPosition(int64_t position);
    void ProgressOff();
    bool IsProgressOn() const;
    int64_t ProgressValue() const;
    int64_t ProgressTotal() const;

    // The template texts that size the panes, in pane order (ids 118 ... 122).
    static const char* const TEMPLATES[5];

private:
    QLabel* m_panes[5] = {};
    QProgressBar* m_pProgress = nullptr;
    int m_progressScale = 1; // totals beyond int are shown in steps of this many
};
