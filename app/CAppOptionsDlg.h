// The "Application options" dialog: the image height to grab, the number of frame buffers, the
// share of the ring a triggered grab records after the trigger, the order in which the grabber
// boards are used and the display method. It checks live whether the requested buffers fit into
// physical memory and shows the result in a coloured status line.
//
// The caller fills it with the setters, runs it with exec() and reads the values back after OK.
// OK runs the validity check ("Invalid settings!" when it fails, and the dialog stays open),
// then hands the serial numbers of the board list, top to bottom, to the reorder callback.
//
// Thread: the user-interface thread only.
#pragma once

#include "app/AppOptionsFigures.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

class CAppOptionsDlg final : public QDialog {
    Q_OBJECT

public:
    struct Board {
        std::string name;
        uint32_t serialNumber = 0;
    };
    using MemoryProbe = std::function<std::optional<uint64_t>()>;
    using ReorderBoards = std::function<void(const std::vector<uint32_t>& serials)>;

    static constexpr uint32_t METHOD_DIRECT_DRAW = 1;
    static constexpr uint32_t METHOD_DIB = 2;
    static constexpr uint32_t METHOD_AUTOMATIC = 3;

    explicit CAppOptionsDlg(QWidget* parent = nullptr);
    ~CAppOptionsDlg() override;

    // Before the dialog is shown.
    void SetCamera(std::optional<appoptions::CameraFigures> camera);
    void SetBoards(std::vector<Board> boards);
    void SetNewHeight(uint32_t height) { m_request.newHeight = height; }
    void SetBufferCount(uint64_t count) { m_request.bufferCount = count; }
    // 0 .. 100 (%).
    void SetPostTriggerPercent(uint32_t percent);
    void SetDisplayMethod(uint32_t method) { m_uDisplayMethod = method; }
    void SetDisplayState(uint32_t state) { m_uDisplayState = state; }
    // The rate the recording time is given for: measured in a grab, or the camera's nominal one.
    void SetFrameRate(double rate, bool measured);
    // Where the free physical memory is read (default: the kernel's figure).
    void SetMemoryProbe(MemoryProbe probe) { m_probe = std::move(probe); }
    void SetReorderBoards(ReorderBoards reorder) { m_reorder = std::move(reorder); }

    // After OK.
    uint32_t GetNewHeight() const { return m_request.newHeight; }
    uint64_t GetBufferCount() const { return m_request.bufferCount; }
    uint32_t GetPostTriggerPercent() const { return m_uPostTrigger; }
    uint32_t GetDisplayMethod() const { return m_uDisplayMethod; }

    // The texts shown now (tests read them).
    const appoptions::Texts& CurrentTexts() const { return m_texts; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildAcquisitionGroup();
    QWidget* BuildDisplayGroup();
    QWidget* BuildBoardList();
    void InitDialog();
    // Reads the edit field as its focus is lost: one number read replaces the stored one,
    // otherwise the old value stays; the field is rewritten and the texts recomputed.
    void ApplyHeightEdit();
    void ApplyBuffersEdit();
    void RecomputeTexts();
    void MoveSelectedBoard(int step);
    std::optional<uint64_t> MemoryAvailable() const;

    std::optional<appoptions::CameraFigures> m_camera;
    std::vector<Board> m_boards;
    appoptions::Request m_request;
    uint32_t m_uDisplayMethod = METHOD_AUTOMATIC;
    uint32_t m_uDisplayState = 0;
    uint32_t m_uPostTrigger = 50;
    double m_frameRate = 0.0;
    bool m_bRateMeasured = false;
    MemoryProbe m_probe;
    ReorderBoards m_reorder;
    appoptions::Texts m_texts;
    bool m_bInitialised = false;

    QListWidget* m_pBoardList = nullptr;
    QLabel* m_pCamera = nullptr;
    QLabel* m_pBytesPerImage = nullptr;
    QLineEdit* m_pHeightEdit = nullptr;
    QLineEdit* m_pBuffersEdit = nullptr;
    QSpinBox* m_pPostTrigger = nullptr;
    QLabel* m_pRequired = nullptr;
    QLabel* m_pAvailable = nullptr;
    QLabel* m_pRecordingTime = nullptr;
    QLabel* m_pStatus = nullptr;
    QButtonGroup* m_pMethods = nullptr;
    QLabel* m_pDisplayState = nullptr;
    QPushButton* m_pOk = nullptr;
};
