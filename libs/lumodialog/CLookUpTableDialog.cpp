#include "libs/lumodialog/CLookUpTableDialog.h"

#include "external/ImageFormat.h"
#include "external/LumoParamBlocks.h"
#include "libs/lumodialog/widgets/CCurveEditor.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cstring>

namespace lumodialog {

namespace {

constexpr int CHANNEL_ALL = 0; // the channel choice's first entry; red, green, blue follow
const QColor CHANNEL_COLOURS[] = {Qt::black, Qt::red, Qt::darkGreen, Qt::blue};

int TableKey(uint32_t kind, uint32_t index) {
    return int(kind << 16 | index);
}

} // namespace

CLookUpTableDialog::CLookUpTableDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    BuildControls();
    FillTables();
    ShowTableInUse();
    resize(640, 400);
}

void CLookUpTableDialog::BuildControls() {
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    m_tables = new QListWidget(this);
    Name(*m_tables, "tables", tr("Tables"));
    left->addWidget(m_tables);
    m_keep = new QPushButton(tr("Keep as user table"), this);
    m_keep->setObjectName(QStringLiteral("keepUserTable"));
    m_remove = new QPushButton(tr("Remove user table"), this);
    m_remove->setObjectName(QStringLiteral("removeUserTable"));
    auto* import = new QPushButton(tr("Import CSV..."), this);
    import->setObjectName(QStringLiteral("importCsv"));
    auto* exportButton = new QPushButton(tr("Export CSV..."), this);
    exportButton->setObjectName(QStringLiteral("exportCsv"));
    for (QPushButton* button : {m_keep, m_remove, import, exportButton}) {
        button->setAutoDefault(false);
        left->addWidget(button);
    }
    columns->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    m_inUse = new QLabel(this);
    m_inUse->setObjectName(QStringLiteral("tableInUse"));
    top->addWidget(m_inUse, 1);
    m_channel = new QComboBox(this);
    Name(*m_channel, "channel", tr("Channel"));
    m_channel->addItems({tr("All channels"), tr("Red"), tr("Green"), tr("Blue")});
    top->addWidget(m_channel);
    right->addLayout(top);
    m_editor = new CCurveEditor(this);
    Name(*m_editor, "curve", tr("Curve of the table in use"));
    right->addWidget(m_editor, 1);
    columns->addLayout(right, 2);
    Body().addLayout(columns);

    // Colour mode: the channels can differ only on RGB images or in the module's colour mode.
    // The output record is asked for here only: the dialog is made under the chain lock, so the
    // update thread is not preparing the module's output meanwhile.
    const LumoOutputInfo* info = Module().GetOutputInfo(0);
    const auto setup = ReadBlock<LumoLutSetupBlock>(LUMO_PARAM_BLOCK12);
    m_channel->setVisible((info && info->imageClass == ImageFormat::CLASS_RGB) ||
                          setup.colourMode == 3);

    connect(m_tables, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) {
            const auto key = uint32_t(item->data(TABLE_ROLE).toInt());
            Select(key >> 16, key & 0xFFFF);
        }
        UpdateButtons();
    });
    connect(m_editor, &CCurveEditor::curveChanged, this, &CLookUpTableDialog::ApplyCurve);
    connect(m_channel, &QComboBox::currentIndexChanged, this, [this] { ShowChannel(); });
    connect(m_keep, &QPushButton::clicked, this, &CLookUpTableDialog::KeepAsUserTable);
    connect(m_remove, &QPushButton::clicked, this, &CLookUpTableDialog::RemoveUserTable);
    connect(import, &QPushButton::clicked, this, &CLookUpTableDialog::AskImport);
    connect(exportButton, &QPushButton::clicked, this, &CLookUpTableDialog::AskExport);
}

void CLookUpTableDialog::FillTables() {
    const QSignalBlocker blocker(m_tables);
    m_tables->clear();
    AddTables(KIND_FACTORY);
    AddTables(KIND_USER);
    (void)SetParam(LUMO_PARAM_KIND, 0, 0); // back to the table in use; setting 0 cannot fail
    const auto setup = ReadBlock<LumoLutSetupBlock>(LUMO_PARAM_BLOCK12);
    const int inUse = TableKey(setup.tableKind, setup.tableIndex);
    for (int row = 0; row < m_tables->count(); ++row)
        if (m_tables->item(row)->data(TABLE_ROLE).toInt() == inUse)
            m_tables->setCurrentRow(row);
    UpdateButtons();
}

void CLookUpTableDialog::AddTables(uint32_t kind) {
    uint64_t count = 0;
    if (!SetParam(LUMO_PARAM_KIND, kind, 0) ||
        Module().QueryParam(LUMO_PARAM_STORE, 0, 0, 0, LumoArg(&count)) != LUMO_OK)
        return;
    count = std::min(count, MAX_TABLES);
    for (uint64_t n = 0; n < count; ++n) {
        char name[sizeof(LumoLutSetupBlock::tableName)] = {};
        if (!GetParam(PARAM_TABLE_NAME, uintptr_t(n), LumoArg(name)))
            continue;
        name[sizeof name - 1] = '\0';
        const QString text = kind == KIND_FACTORY
                                 ? QString::fromUtf8(name)
                                 : tr("User %1: %2").arg(n + 1).arg(QString::fromUtf8(name));
        auto* item = new QListWidgetItem(text, m_tables); // the list owns it
        item->setData(TABLE_ROLE, TableKey(kind, uint32_t(n)));
    }
}

void CLookUpTableDialog::ShowTableInUse() {
    if (!GetParam(PARAM_POINTS, LumoArg(m_table.data()), 0))
        m_table = {};
    ShowInUseName();
    ShowChannel();
}

void CLookUpTableDialog::ShowInUseName() {
    const auto setup = ReadBlock<LumoLutSetupBlock>(LUMO_PARAM_BLOCK12);
    char name[sizeof setup.tableName + 1] = {};
    std::memcpy(name, setup.tableName, sizeof setup.tableName);
    m_inUse->setText(tr("In use: %1").arg(QString::fromUtf8(name)));
}

void CLookUpTableDialog::ShowChannel() {
    const int choice = m_channel->currentIndex();
    const size_t channel = choice > CHANNEL_ALL ? size_t(choice - 1) : 0;
    CCurveEditor::Table curve{};
    std::copy_n(m_table.begin() + std::ptrdiff_t(channel * LUT_POINTS), LUT_POINTS, curve.begin());
    m_editor->SetCurveColour(CHANNEL_COLOURS[std::clamp(choice, 0, 3)]);
    m_editor->SetTable(curve);
}

void CLookUpTableDialog::Select(uint32_t kind, uint32_t index) {
    if (!SetParam(PARAM_SELECT, kind, index))
        return;
    RaiseChanged();
    ShowTableInUse();
}

void CLookUpTableDialog::ApplyCurve(const QList<quint16>& points) {
    if (points.size() != qsizetype(LUT_POINTS))
        return;
    LutChannels table = m_table;
    const int choice = m_channel->currentIndex();
    for (size_t c = 0; c < 3; ++c)
        if (choice == CHANNEL_ALL || size_t(choice - 1) == c)
            std::copy(points.begin(), points.end(), table.begin() + std::ptrdiff_t(c * LUT_POINTS));
    if (!WriteTable(table))
        return;
    // The table in use is now the edited one, none of the list.
    const QSignalBlocker blocker(m_tables);
    m_tables->setCurrentRow(-1);
    UpdateButtons();
}

bool CLookUpTableDialog::WriteTable(const LutChannels& table) {
    if (!SetParam(PARAM_POINTS, LumoArg(table.data()), 0))
        return false;
    m_table = table;
    ShowInUseName();
    RaiseChanged();
    return true;
}

void CLookUpTableDialog::KeepAsUserTable() {
    if (!SetParam(PARAM_KEEP_USER, 0, 0))
        return;
    FillTables();
    const QSignalBlocker blocker(m_tables);
    m_tables->setCurrentRow(m_tables->count() - 1); // the new one, last of the user tables
    UpdateButtons();
}

void CLookUpTableDialog::RemoveUserTable() {
    const QListWidgetItem* item = m_tables->currentItem();
    if (!item)
        return;
    const auto key = uint32_t(item->data(TABLE_ROLE).toInt());
    if (key >> 16 != KIND_USER || !SetParam(PARAM_REMOVE_USER, key & 0xFFFF, 0))
        return;
    FillTables();
}

void CLookUpTableDialog::UpdateButtons() {
    const QListWidgetItem* item = m_tables->currentItem();
    m_remove->setEnabled(item && uint32_t(item->data(TABLE_ROLE).toInt()) >> 16 == KIND_USER);
}

bool CLookUpTableDialog::ImportCsv(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowError(tr("%1 cannot be read: %2").arg(fileName, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.read(qint64(LUT_CSV_MAX_BYTES) + 1);
    LutChannels table{};
    std::string error;
    if (!ImportLutCsv(std::string_view(bytes.constData(), size_t(bytes.size())), table, error)) {
        ShowError(tr("%1 is not a table:\n%2").arg(fileName, QString::fromStdString(error)));
        return false;
    }
    if (!WriteTable(table)) {
        ShowError(tr("The module did not take the table of %1.").arg(fileName));
        return false;
    }
    const QSignalBlocker blocker(m_tables);
    m_tables->setCurrentRow(-1);
    UpdateButtons();
    ShowChannel();
    return true;
}

bool CLookUpTableDialog::ExportCsv(const QString& fileName) {
    const std::string text = ExportLutCsv(m_table);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush()) {
        ShowError(tr("%1 cannot be written: %2").arg(fileName, file.errorString()));
        return false;
    }
    return true;
}

void CLookUpTableDialog::AskImport() {
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Import look-up table"), QString(), tr("CSV files (*.csv);;All files (*)"));
    if (!fileName.isEmpty())
        (void)ImportCsv(fileName); // a refusal was shown to the user
}

void CLookUpTableDialog::AskExport() {
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Export look-up table"), QString(), tr("CSV files (*.csv);;All files (*)"));
    if (!fileName.isEmpty())
        (void)ExportCsv(fileName); // a failure was shown to the user
}

void CLookUpTableDialog::ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("lutCsvError"));
    box.exec();
}

} // namespace lumodialog
