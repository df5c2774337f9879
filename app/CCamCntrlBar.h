// The dockable pane "Camera Control": up to eight toggle buttons, one per camera-control line
// of the current camera. A pressed button means the line's bit is set. Every click reports the
// whole new mask to the owner (the main frame, which hands it to the document).
//
// Thread: the user-interface thread only.
#pragma once

#include <QDockWidget>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QPushButton;

class CCamCntrlBar final : public QDockWidget {
    Q_OBJECT

public:
    static constexpr int LINES = 8;
    // (command 0, the whole new state); an empty handler means no owner.
    using Notify = std::function<void(uint32_t command, uint32_t state)>;

    explicit CCamCntrlBar(QWidget* parent = nullptr);
    ~CCamCntrlBar() override;

    void SetNotify(Notify notify);
    void SetEnabled(bool enabled);
    void SetLineCount(uint64_t count);
    // Index 8 and above are ignored.
    void SetLineName(uint64_t index, const QString& name);
    void SetState(uint32_t bits);
    uint32_t GetState() const { return m_uState; }
    // Button i, for tests and screen readers; null past the last.
    QPushButton* Button(int i) const;

private:
    struct Controls;

    void Refresh();
    void OnButtonClicked(int i);

    std::array<QString, LINES> m_names;
    Notify m_notify;
    uint64_t m_ullLineCount = 0;
    uint32_t m_uState = 0;
    bool m_bEnabled = true;
    // The widgets go first when the pane is destroyed, while the members above still hold.
    std::unique_ptr<Controls> m_pControls;
};
