#include "app/CAppOptionsDlg.h"

#include "platform/MemoryStatus.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cinttypes>
#include <cstdio>

namespace {

QString DisplayStateText(uint32_t state) {
    const char* name = "- Unknown -";
    if (state == 0)
        name = "- Not initialized -";
    else if (state == 1)
        name = "Direct Draw";
    else if (state == 2)
        name = "DIB Draw";
    return QStringLiteral("Currently using\n") + QString::fromLatin1(name);
}

QString BoardLine(const CAppOptionsDlg::Board& board) {
    char serial[32];
    std::snprintf(serial, sizeof serial, " [SN: 0x%08X]", board.serialNumber);
    return QString::fromStdString(board.name) + QString::fromLatin1(serial);
}

QLabel* ValueLabel(const char* objectName) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(objectName));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CAppOptionsDlg::CAppOptionsDlg(QWidget* parent)
    : QDialog(parent), m_probe([] { return platform::MemAvailableBytes(); }) {
    setObjectName(QStringLiteral("AppOptionsDialog"));
    setWindowTitle(QStringLiteral("Application options"));
    BuildControls();
}

CAppOptionsDlg::~CAppOptionsDlg() = default;

void CAppOptionsDlg::SetCamera(std::optional<appoptions::CameraFigures> camera) {
    m_camera = std::move(camera);
}

void CAppOptionsDlg::SetBoards(std::vector<Board> boards) {
    m_boards = std::move(boards);
}

void CAppOptionsDlg::SetFrameRate(double rate, bool measured) {
    m_frameRate = rate;
    m_bRateMeasured = measured;
}

void CAppOptionsDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(BuildBoardList());
    auto* right = new QVBoxLayout;
    right->addWidget(BuildAcquisitionGroup());
    right->addWidget(BuildDisplayGroup());
    top->addLayout(right, 1);
    layout->addLayout(top);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_pOk = buttons->button(QDialogButtonBox::Ok);
    m_pOk->setObjectName(QStringLiteral("okButton"));
    // Enter is handled by the dialog itself (keyPressEvent): no button takes it on its own.
    for (QAbstractButton* button : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(button)) {
            push->setAutoDefault(false);
            push->setDefault(false);
        }
    connect(buttons, &QDialogButtonBox::accepted, this, &CAppOptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAppOptionsDlg::reject);
    layout->addWidget(buttons);
}

QWidget* CAppOptionsDlg::BuildBoardList() {
    auto* box = new QGroupBox(QStringLiteral("Please select grabber order"));
    box->setObjectName(QStringLiteral("boardOrderGroup"));
    auto* layout = new QVBoxLayout(box);
    m_pBoardList = new QListWidget;
    m_pBoardList->setObjectName(QStringLiteral("boardOrderList"));
    m_pBoardList->setAccessibleName(QStringLiteral("Grabber order"));
    m_pBoardList->setMinimumWidth(m_pBoardList->fontMetrics().horizontalAdvance(
                                      QStringLiteral("microEnable IV AD4-CL [SN: 0x00000000]")) +
                                  24);
    layout->addWidget(m_pBoardList);
    auto* moves = new QHBoxLayout;
    auto* up = new QPushButton(QStringLiteral("Move &up"));
    auto* down = new QPushButton(QStringLiteral("Move &down"));
    up->setObjectName(QStringLiteral("moveUpButton"));
    down->setObjectName(QStringLiteral("moveDownButton"));
    up->setAutoDefault(false);
    down->setAutoDefault(false);
    connect(up, &QPushButton::clicked, this, [this] { MoveSelectedBoard(-1); });
    connect(down, &QPushButton::clicked, this, [this] { MoveSelectedBoard(1); });
    moves->addWidget(up);
    moves->addWidget(down);
    layout->addLayout(moves);
    return box;
}

QWidget* CAppOptionsDlg::BuildAcquisitionGroup() {
    auto* box = new QGroupBox(QStringLiteral("Acquisition Parameters"));
    box->setObjectName(QStringLiteral("acquisitionGroup"));
    auto* form = new QFormLayout(box);
    m_pCamera = ValueLabel("currentCamera");
    m_pBytesPerImage = ValueLabel("bytesPerImage");
    m_pHeightEdit = new QLineEdit;
    m_pHeightEdit->setObjectName(QStringLiteral("newYResolution"));
    m_pHeightEdit->setAccessibleName(QStringLiteral("New Y-Resolution"));
    m_pBuffersEdit = new QLineEdit;
    m_pBuffersEdit->setObjectName(QStringLiteral("numberOfBuffers"));
    m_pBuffersEdit->setAccessibleName(QStringLiteral("Number of Buffers"));
    m_pPostTrigger = new QSpinBox;
    m_pPostTrigger->setObjectName(QStringLiteral("postTrigger"));
    m_pPostTrigger->setAccessibleName(QStringLiteral("Post-trigger share"));
    m_pPostTrigger->setToolTip(
        QStringLiteral("Share of the ring a triggered grab records after the trigger frame"));
    m_pPostTrigger->setRange(0, 100);
    m_pPostTrigger->setSuffix(QStringLiteral(" %"));
    connect(m_pPostTrigger, &QSpinBox::valueChanged, this,
            [this](int value) { m_uPostTrigger = uint32_t(value); });
    m_pRequired = ValueLabel("totalMemoryRequired");
    m_pAvailable = ValueLabel("physicalMemoryAvailable");
    m_pRecordingTime = ValueLabel("recordingTime");
    m_pStatus = ValueLabel("bufferStatus");
    m_pStatus->setAccessibleName(QStringLiteral("Buffer status"));
    for (QLineEdit* edit : {m_pHeightEdit, m_pBuffersEdit})
        edit->installEventFilter(this);
    form->addRow(QStringLiteral("Currently selected Camera:"), m_pCamera);
    form->addRow(QStringLiteral("Current Bytes per Image:"), m_pBytesPerImage);
    form->addRow(QStringLiteral("New Y-Resolution:"), m_pHeightEdit);
    form->addRow(QStringLiteral("Number of Buffers:"), m_pBuffersEdit);
    form->addRow(QStringLiteral("Post-trigger:"), m_pPostTrigger);
    form->addRow(QStringLiteral("Total memory required:"), m_pRequired);
    form->addRow(QStringLiteral("Physical memory available:"), m_pAvailable);
    form->addRow(QStringLiteral("Recording time:"), m_pRecordingTime);
    form->addRow(m_pStatus);
    return box;
}

QWidget* CAppOptionsDlg::BuildDisplayGroup() {
    auto* box = new QGroupBox(QStringLiteral("Display Parameters"));
    box->setObjectName(QStringLiteral("displayGroup"));
    auto* layout = new QHBoxLayout(box);
    auto* radios = new QVBoxLayout;
    m_pMethods = new QButtonGroup(this);
    const struct {
        const char* text;
        const char* name;
        uint32_t method;
    } methods[] = {{"Automatic", "methodAutomatic", METHOD_AUTOMATIC},
                   {"DIB", "methodDib", METHOD_DIB},
                   {"Direct Draw", "methodDirectDraw", METHOD_DIRECT_DRAW}};
    for (const auto& m : methods) {
        auto* radio = new QRadioButton(QString::fromLatin1(m.text));
        radio->setObjectName(QString::fromLatin1(m.name));
        m_pMethods->addButton(radio, int(m.method));
        radios->addWidget(radio);
    }
    connect(m_pMethods, &QButtonGroup::idClicked, this,
            [this](int id) { m_uDisplayMethod = uint32_t(id); });
    layout->addLayout(radios);
    m_pDisplayState = ValueLabel("displayState");
    layout->addWidget(m_pDisplayState);
    return box;
}

void CAppOptionsDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CAppOptionsDlg::InitDialog() {
    m_pBoardList->clear();
    for (const Board& board : m_boards) {
        auto* item = new QListWidgetItem(BoardLine(board), m_pBoardList);
        item->setData(Qt::UserRole, QVariant::fromValue(board.serialNumber));
    }
    m_pHeightEdit->setText(QString::number(m_request.newHeight));
    m_pBuffersEdit->setText(QString::number(m_request.bufferCount));
    m_pPostTrigger->setValue(int(m_uPostTrigger));
    RecomputeTexts();
    if (QAbstractButton* radio = m_pMethods->button(int(m_uDisplayMethod)))
        radio->setChecked(true);
    m_pDisplayState->setText(DisplayStateText(m_uDisplayState));
}

void CAppOptionsDlg::SetPostTriggerPercent(uint32_t percent) {
    m_uPostTrigger = percent > 100 ? 100 : percent;
}

std::optional<uint64_t> CAppOptionsDlg::MemoryAvailable() const {
    return m_probe ? m_probe() : std::nullopt;
}

void CAppOptionsDlg::RecomputeTexts() {
    const appoptions::CameraFigures* camera = m_camera ? &*m_camera : nullptr;
    m_texts = appoptions::ComputeTexts(camera, m_request, MemoryAvailable(), m_frameRate,
                                       m_bRateMeasured);
    m_pCamera->setText(QString::fromStdString(m_texts.camera));
    m_pBytesPerImage->setText(QString::fromStdString(m_texts.bytesPerImage));
    m_pRequired->setText(QString::fromStdString(m_texts.required));
    m_pAvailable->setText(QString::fromStdString(m_texts.available));
    m_pRecordingTime->setText(QString::fromStdString(m_texts.recordingTime));
    m_pStatus->setText(QString::fromStdString(m_texts.status));
    QPalette palette = m_pStatus->palette();
    palette.setColor(QPalette::WindowText, m_texts.colour == appoptions::StatusColour::Red
                                               ? QColor(128, 0, 0)
                                           : m_texts.colour == appoptions::StatusColour::Green
                                               ? QColor(0, 128, 0)
                                               : this->palette().color(QPalette::WindowText));
    m_pStatus->setPalette(palette);
}

void CAppOptionsDlg::ApplyHeightEdit() {
    if (auto value = appoptions::ParseUnsigned(m_pHeightEdit->text().toStdString(), UINT32_MAX))
        m_request.newHeight = uint32_t(*value);
    m_pHeightEdit->setText(QString::number(m_request.newHeight));
    RecomputeTexts();
}

void CAppOptionsDlg::ApplyBuffersEdit() {
    if (auto value = appoptions::ParseUnsigned(m_pBuffersEdit->text().toStdString(), UINT64_MAX))
        m_request.bufferCount = *value;
    m_pBuffersEdit->setText(QString::number(m_request.bufferCount));
    RecomputeTexts();
}

bool CAppOptionsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == m_pHeightEdit)
            ApplyHeightEdit();
        else if (watched == m_pBuffersEdit)
            ApplyBuffersEdit();
    }
    return QDialog::eventFilter(watched, event);
}

void CAppOptionsDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Enter applies the number of buffers and stays; on OK it is OK; elsewhere it does nothing.
    QWidget* focus = focusWidget();
    if (focus == m_pBuffersEdit)
        ApplyBuffersEdit();
    else if (focus == m_pOk)
        accept();
    event->accept();
}

void CAppOptionsDlg::MoveSelectedBoard(int step) {
    const int row = m_pBoardList->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_pBoardList->count())
        return;
    QListWidgetItem* item = m_pBoardList->takeItem(row);
    m_pBoardList->insertItem(target, item);
    m_pBoardList->setCurrentRow(target);
}

void CAppOptionsDlg::accept() {
    // A click on OK that did not move the focus still takes what the fields show.
    ApplyHeightEdit();
    ApplyBuffersEdit();
    const appoptions::CameraFigures* camera = m_camera ? &*m_camera : nullptr;
    if (!appoptions::IsValid(camera, m_request, MemoryAvailable())) {
        QMessageBox::critical(this, QStringLiteral("Error"), QStringLiteral("Invalid settings!"));
        return;
    }
    std::vector<uint32_t> serials;
    for (int row = 0; row < m_pBoardList->count(); ++row)
        serials.push_back(m_pBoardList->item(row)->data(Qt::UserRole).toUInt());
    if (m_reorder)
        m_reorder(serials);
    QDialog::accept();
}
